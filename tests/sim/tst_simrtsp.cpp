#include <QBuffer>
#include <QDateTime>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <QRandomGenerator>
#include <QtTest>

#include <atomic>
#include <cstring>
#include <thread>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
}

#include "FrameStamp.h"
#include "SimProcess.h"

namespace {

QString errorText(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return QString::fromUtf8(text);
}

// One RTSP client over TCP with libavformat and libavcodec, the way the application pulls video.
class StreamReader {
public:
    ~StreamReader() { close(); }

    // Gives up whatever it is doing giveUpAfterMs after open() starts (0: never), like a client that
    // is stopped in the middle of setting up the stream.
    bool open(const QString& url, QString* error, int giveUpAfterMs = 0) {
        m_giveUpAfterMs = giveUpAfterMs;
        m_clock.start();
        m_format = avformat_alloc_context();
        m_format->interrupt_callback.callback = &StreamReader::interrupted;
        m_format->interrupt_callback.opaque = this;
        AVDictionary* options = nullptr;
        av_dict_set(&options, "rtsp_transport", "tcp", 0);
        // Generous: a busy machine may take seconds to bring a stream up.
        av_dict_set(&options, "timeout", "15000000", 0);
        av_dict_set(&options, "fflags", "nobuffer", 0);
        av_dict_set(&options, "analyzeduration", "500000", 0);
        const int opened = avformat_open_input(&m_format, url.toUtf8().constData(), nullptr, &options);
        av_dict_free(&options);
        if (opened < 0)
            return fail(error, QStringLiteral("avformat_open_input %1").arg(opened));
        if (avformat_find_stream_info(m_format, nullptr) < 0)
            return fail(error, QStringLiteral("no stream info"));
        m_stream = av_find_best_stream(m_format, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
        if (m_stream < 0)
            return fail(error, QStringLiteral("no video stream"));
        const AVCodecParameters* parameters = m_format->streams[m_stream]->codecpar;
        m_codecId = parameters->codec_id;
        const AVCodec* codec = avcodec_find_decoder(parameters->codec_id);
        m_codec = avcodec_alloc_context3(codec);
        avcodec_parameters_to_context(m_codec, parameters);
        if (!codec || avcodec_open2(m_codec, codec, nullptr) < 0)
            return fail(error, QStringLiteral("no decoder"));
        m_frame = av_frame_alloc();
        m_packet = av_packet_alloc();
        return true;
    }

    // Next decoded picture's stamp; false when the stream ends or breaks.
    bool nextStamp(FrameStamp::Decoded* stamp, QSize* size) {
        while ((m_lastRead = av_read_frame(m_format, m_packet)) >= 0) {
            const bool video = m_packet->stream_index == m_stream;
            m_packetsRead += video ? 1 : 0;
            if (video)
                avcodec_send_packet(m_codec, m_packet);
            av_packet_unref(m_packet);
            if (video && avcodec_receive_frame(m_codec, m_frame) == 0) {
                // The luma plane is a grey picture; the stamp is black and white.
                *stamp = FrameStamp::decode(m_frame->data[0], m_frame->width, m_frame->height, m_frame->linesize[0],
                                            FrameStamp::PixelFormat::Gray8);
                *size = QSize(m_frame->width, m_frame->height);
                av_frame_unref(m_frame);
                return true;
            }
        }
        return false;
    }

    AVCodecID codecId() const { return m_codecId; }

    // Reads until `wanted` pictures with a readable stamp came (at most `limit` pictures); what went
    // wrong otherwise goes to *why.
    bool readStamped(int wanted, QString* why = nullptr, int limit = 90) {
        int stamped = 0;
        int pictures = 0;
        FrameStamp::Decoded stamp;
        QSize size;
        for (; pictures < limit && stamped < wanted; ++pictures) {
            if (!nextStamp(&stamp, &size)) {
                if (why)
                    *why = QStringLiteral("stream ended after %1 pictures (%2 stamped, %3 packets): %4")
                               .arg(pictures)
                               .arg(stamped)
                               .arg(m_packetsRead)
                               .arg(errorText(m_lastRead));
                return false;
            }
            stamped += stamp.ok ? 1 : 0;
        }
        if (stamped < wanted && why)
            *why = QStringLiteral("%1 of %2 pictures stamped").arg(stamped).arg(pictures);
        return stamped == wanted;
    }

    void close() {
        av_packet_free(&m_packet);
        av_frame_free(&m_frame);
        avcodec_free_context(&m_codec);
        avformat_close_input(&m_format);
    }

private:
    // Nothing a test client does may take longer than this: a stalled stream fails the test with a
    // message instead of running into the test's watchdog.
    static constexpr qint64 kLifetimeMs = 60000;

    static int interrupted(void* opaque) {
        const auto* self = static_cast<StreamReader*>(opaque);
        const qint64 elapsed = self->m_clock.elapsed();
        return (self->m_giveUpAfterMs > 0 && elapsed >= self->m_giveUpAfterMs) || elapsed >= kLifetimeMs ? 1 : 0;
    }

    bool fail(QString* error, const QString& what) {
        *error = what;
        close();
        return false;
    }

    AVFormatContext* m_format = nullptr;
    AVCodecContext* m_codec = nullptr;
    AVFrame* m_frame = nullptr;
    AVPacket* m_packet = nullptr;
    AVCodecID m_codecId = AV_CODEC_ID_NONE;
    int m_stream = -1;
    int m_giveUpAfterMs = 0;
    int m_lastRead = 0;
    int m_packetsRead = 0;
    QElapsedTimer m_clock;
};

}  // namespace

// The simulator's video over RTSP/TCP, stamped with the time and a growing counter, for clients
// that come together or give up half-way; the stamp through compression, noise, scaling and raw
// buffers, refused when untrustworthy. (Outages show in the player's and recorder's tests.)
class TestSimRtsp : public QObject {
    Q_OBJECT

private:
    static QImage scene(QSize size, qint64 epochMs, quint32 counter) {
        QImage image(size, QImage::Format_RGB32);
        QPainter painter(&image);
        QLinearGradient gradient(0, 0, size.width(), size.height());
        gradient.setColorAt(0, QColor(30, 90, 160));
        gradient.setColorAt(1, QColor(200, 180, 60));
        painter.fillRect(image.rect(), gradient);
        painter.end();
        FrameStamp::paint(image, epochMs, counter);
        return image;
    }

    static QImage jpegRoundTrip(const QImage& image, int quality) {
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "JPEG", quality);
        return QImage::fromData(bytes, "JPEG").convertToFormat(QImage::Format_RGB32);
    }

    static void addNoise(QImage& image, int amplitude, quint32 seed) {
        QRandomGenerator random(seed);
        for (int y = 0; y < image.height(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
            for (int x = 0; x < image.width(); ++x) {
                const int delta = random.bounded(-amplitude, amplitude + 1);
                const QRgb p = line[x];
                line[x] = qRgb(qBound(0, qRed(p) + delta, 255), qBound(0, qGreen(p) + delta, 255),
                               qBound(0, qBlue(p) + delta, 255));
            }
        }
    }

    const qint64 now = QDateTime::currentMSecsSinceEpoch();

private slots:
    void initTestCase() { av_log_set_level(AV_LOG_FATAL); }

    void streamCarriesTimeAndConsecutiveCounters_data() {
        QTest::addColumn<QString>("codec");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("size");
        QTest::newRow("h264-live0") << QString("h264") << QString("/live0") << "640x360";
        QTest::newRow("h264-videoh264_chn0-720p") << QString("h264") << QString("/videoh264_chn0") << "1280x720";
        QTest::newRow("h265-live-single") << QString("h265") << QString("/live/single") << "640x360";
    }

    void streamCarriesTimeAndConsecutiveCounters() {
        QFETCH(QString, codec);
        QFETCH(QString, path);
        QFETCH(QString, size);
        SimProcess sim;
        const QString url = startStream(&sim, {"--codec", codec}, size);
        QVERIFY2(url.startsWith("rtsp://127.0.0.1:") && url.endsWith("/live0"), qPrintable(sim.errorOutput()));

        StreamReader reader;
        QString error;
        QVERIFY2(reader.open(QString(url).replace("/live0", path), &error), qPrintable(error));
        QCOMPARE(reader.codecId(), codec == "h265" ? AV_CODEC_ID_HEVC : AV_CODEC_ID_H264);

        QVector<FrameStamp::Decoded> stamps;
        for (int pictures = 0; stamps.size() < 30 && pictures < 90; ++pictures) {
            FrameStamp::Decoded stamp;
            QSize pictureSize;
            QVERIFY2(reader.nextStamp(&stamp, &pictureSize), "stream ended early");
            QCOMPARE(QStringLiteral("%1x%2").arg(pictureSize.width()).arg(pictureSize.height()), size);
            // Only pictures decoded before the first key frame may lack a readable stamp.
            QVERIFY2(stamp.ok || stamps.isEmpty(), "a picture after the first key frame had no readable stamp");
            if (!stamp.ok)
                continue;
            // The stamp is the time the frame was drawn: recent, though a busy machine may take seconds.
            const qint64 age = QDateTime::currentMSecsSinceEpoch() - stamp.epochMs;
            QVERIFY2(age >= -50 && age < 10000, qPrintable(QStringLiteral("stamp %1 ms old").arg(age)));
            const qint64 previous = stamps.isEmpty() ? -1 : qint64(stamps.last().frameCounter);
            QVERIFY2(stamp.frameCounter > previous,
                     qPrintable(QStringLiteral("counter %1 after %2").arg(stamp.frameCounter).arg(previous)));
            stamps << stamp;
        }
        QCOMPARE(stamps.size(), 30);
        // A live source drops its oldest frame when the encoder falls behind (a loaded machine, a
        // sanitizer build), so gaps may appear. The counter still counts drawn frames: it never runs
        // ahead of the 30 frames a second the simulator draws, however slow the machine.
        const double seconds = qMax<qint64>(1, stamps.last().epochMs - stamps.first().epochMs) / 1000.0;
        const double counted = double(stamps.last().frameCounter - stamps.first().frameCounter);
        QVERIFY2(counted / seconds <= 36.0,
                 qPrintable(QStringLiteral("%1 frames counted in %2 s").arg(counted).arg(seconds)));
    }

    // A simulator serving a stream on a free port; the /live0 URL it announces, empty when it did
    // not start. Another test may take the port between finding it free and the simulator binding
    // it: then another port is tried.
    static QString startStream(SimProcess* sim, const QStringList& extraArgs = {}, const QString& size = "640x360") {
        for (int attempt = 0; attempt < 5; ++attempt) {
            const QString port = QString::number(SimProcess::freeTcpPort());
            if (sim->start(QStringList{"--no-udp", "--rtsp-port", port, "--video-size", size} + extraArgs,
                           {"RTSP ready"}))
                return sim->readyValue("RTSP ready");
            sim->stop();
        }
        return QString();
    }

    // Clients that arrive at the same instant all play: several viewers (or a program that opens the
    // stream twice at start) must not be refused while the first one's stream is being set up, nor
    // when one of them leaves again at once.
    void simultaneousClientsAllPlay_data() {
        QTest::addColumn<int>("clients");
        QTest::addColumn<bool>("firstLeavesAtOnce");
        QTest::newRow("three-together") << 3 << false;
        QTest::newRow("one-leaves-as-the-other-arrives") << 2 << true;
    }

    void simultaneousClientsAllPlay() {
        QFETCH(int, clients);
        QFETCH(bool, firstLeavesAtOnce);
        SimProcess sim;
        const QString url = startStream(&sim);
        QVERIFY2(!url.isEmpty(), qPrintable(sim.errorOutput()));
        for (int round = 0; round < 3; ++round) {
            std::atomic<int> ready{0};
            std::vector<QString> outcome(static_cast<size_t>(clients), QString());
            std::vector<std::thread> threads;
            for (int i = 0; i < clients; ++i) {
                threads.emplace_back([&, i] {
                    ++ready;
                    while (ready < clients) {
                    }
                    StreamReader reader;
                    QString why;
                    const bool played =
                        reader.open(url, &why) && ((firstLeavesAtOnce && i == 0) || reader.readStamped(3, &why));
                    outcome[size_t(i)] = played ? QStringLiteral("ok") : why;
                });
            }
            for (std::thread& thread : threads)
                thread.join();
            for (int i = 0; i < clients; ++i) {
                QVERIFY2(
                    outcome[size_t(i)] == QLatin1String("ok"),
                    qPrintable(QStringLiteral("round %1, client %2: %3").arg(round).arg(i).arg(outcome[size_t(i)])));
            }
        }
        QVERIFY(sim.running());
    }

    // A client stopped at any point while it sets up the stream (a player that is told to open again
    // at once) must not spoil the stream for the client right behind it. Clients come and go: each
    // one after the one before has left still gets pictures.
    void clientBehindAnAbandonedSetUpPlays() {
        SimProcess sim;
        const QString url = startStream(&sim);
        QVERIFY2(!url.isEmpty(), qPrintable(sim.errorOutput()));
        for (int giveUpMs : {1, 5, 10, 20, 40, 80, 160, 320}) {
            {
                StreamReader abandoned;
                QString ignored;
                abandoned.open(url, &ignored, giveUpMs);
            }
            StreamReader next;
            QString error;
            QVERIFY2(next.open(url, &error), qPrintable(QStringLiteral("after %1 ms: %2").arg(giveUpMs).arg(error)));
            QVERIFY2(next.readStamped(3, &error),
                     qPrintable(QStringLiteral("after %1 ms: %2").arg(giveUpMs).arg(error)));
        }
    }

    void decodesAfterDegradation_data() {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<quint32>("counter");
        QTest::addColumn<int>("jpegQuality");  // 0: not compressed
        QTest::addColumn<int>("noise");
        QTest::addColumn<QSize>("scaledTo");  // empty: not scaled
        QTest::addColumn<bool>("nearest");
        const QSize p720(1280, 720);
        const QSize p1080(1920, 1080);
        QTest::newRow("1080p-clean-max-counter") << p1080 << 0xFFFFFFFFu << 0 << 0 << QSize() << false;
        QTest::newRow("720p-jpeg-q25") << p720 << 123456u << 25 << 0 << QSize() << false;
        QTest::newRow("1080p-jpeg-q15") << p1080 << 7u << 15 << 0 << QSize() << false;
        QTest::newRow("720p-noise-40") << p720 << 99u << 0 << 40 << QSize() << false;
        QTest::newRow("720p-scaled-to-half") << p720 << 31337u << 0 << 0 << QSize(640, 360) << false;
        QTest::newRow("small-320x240") << QSize(320, 240) << 5u << 0 << 0 << QSize() << false;
        // Shown in a window: blocks of a fraction of a pixel more or less than a whole number.
        QTest::newRow("720p-scaled-to-810-smooth") << p720 << 77u << 0 << 0 << QSize(810, 456) << false;
        QTest::newRow("1080p-scaled-to-810-nearest") << p1080 << 78u << 0 << 0 << QSize(810, 456) << true;
        QTest::newRow("720p-scaled-up-1.37-smooth") << p720 << 79u << 0 << 0 << QSize(1754, 986) << false;
    }

    void decodesAfterDegradation() {
        QFETCH(QSize, size);
        QFETCH(quint32, counter);
        QFETCH(int, jpegQuality);
        QFETCH(int, noise);
        QFETCH(QSize, scaledTo);
        QFETCH(bool, nearest);
        QImage image = scene(size, now, counter);
        if (jpegQuality > 0)
            image = jpegRoundTrip(image, jpegQuality);
        if (noise > 0)
            addNoise(image, noise, counter);
        if (scaledTo.isValid())
            image = image.scaled(scaledTo, Qt::IgnoreAspectRatio,
                                 nearest ? Qt::FastTransformation : Qt::SmoothTransformation);
        const FrameStamp::Decoded decoded = FrameStamp::decode(image);
        QVERIFY2(decoded.ok, qPrintable(QString("no stamp read from %1x%2").arg(image.width()).arg(image.height())));
        QCOMPARE(decoded.epochMs, now);
        QCOMPARE(decoded.frameCounter, counter);
    }

    // A scaled picture somewhere inside a screen capture, among other black and white shapes.
    void locatesStampInsideCapture() {
        const QImage picture = scene(QSize(1920, 1080), now, 4242)
                                   .scaled(QSize(810, 456), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        QImage capture(QSize(1280, 800), QImage::Format_RGB32);
        capture.fill(QColor(40, 44, 52));
        QPainter painter(&capture);
        painter.fillRect(QRect(10, 10, 30, 60), Qt::white);
        painter.fillRect(QRect(40, 10, 30, 60), Qt::black);
        painter.fillRect(QRect(20, 700, 400, 40), Qt::white);
        painter.drawImage(QPoint(37, 121), picture);
        painter.end();

        const FrameStamp::Location location = FrameStamp::locate(capture);
        QVERIFY(location.found);
        QVERIFY2(qAbs(location.origin.x() - 37) <= 1.5 && qAbs(location.origin.y() - 121) <= 1.5,
                 qPrintable(QString("found at %1,%2").arg(location.origin.x()).arg(location.origin.y())));
        QVERIFY2(qAbs(location.blockEdge - 810 / 80.0) <= 0.3, qPrintable(QString::number(location.blockEdge)));
        const FrameStamp::Decoded decoded =
            FrameStamp::decodeAt(capture.constBits(), capture.width(), capture.height(), capture.bytesPerLine(),
                                 FrameStamp::PixelFormat::Rgb32, location.origin, location.blockEdge);
        QVERIFY(decoded.ok);
        QCOMPARE(decoded.frameCounter, 4242u);

        capture.fill(QColor(40, 44, 52));
        QVERIFY(!FrameStamp::locate(capture).found);
    }

    void decodesRawBuffers_data() {
        QTest::addColumn<int>("format");
        QTest::addColumn<int>("qtFormat");
        QTest::addColumn<int>("bytesPerPixel");
        QTest::newRow("rgb32") << int(FrameStamp::PixelFormat::Rgb32) << int(QImage::Format_RGBX8888) << 4;
        QTest::newRow("rgb24") << int(FrameStamp::PixelFormat::Rgb24) << int(QImage::Format_RGB888) << 3;
        QTest::newRow("gray8") << int(FrameStamp::PixelFormat::Gray8) << int(QImage::Format_Grayscale8) << 1;
    }

    // Buffers with padded lines, as decoders and scalers hand them out.
    void decodesRawBuffers() {
        QFETCH(int, format);
        QFETCH(int, qtFormat);
        QFETCH(int, bytesPerPixel);
        const QImage image = scene(QSize(1280, 720), now, 42).convertToFormat(QImage::Format(qtFormat));
        const int stride = image.width() * bytesPerPixel + 64;
        QByteArray buffer(stride * image.height(), char(0x55));
        for (int y = 0; y < image.height(); ++y)
            std::memcpy(buffer.data() + y * stride, image.constScanLine(y), size_t(image.width() * bytesPerPixel));
        const auto decoded = FrameStamp::decode(reinterpret_cast<const uchar*>(buffer.constData()), image.width(),
                                                image.height(), stride, FrameStamp::PixelFormat(format));
        QVERIFY(decoded.ok);
        QCOMPARE(decoded.epochMs, now);
        QCOMPARE(decoded.frameCounter, 42u);
    }

    void rejectsUntrustworthyPictures_data() {
        QTest::addColumn<QString>("damage");
        QTest::newRow("one-data-block-flipped") << "flip";
        QTest::newRow("no-stamp-at-all") << "blank";
        QTest::newRow("contrast-washed-out") << "washed";
        QTest::newRow("too-small") << "tiny";
        QTest::newRow("stride-shorter-than-line") << "stride";
    }

    void rejectsUntrustworthyPictures() {
        QFETCH(QString, damage);
        QImage image = scene(QSize(1280, 720), now, 1000);
        const int size = FrameStamp::blockSize(image.width());
        if (damage == "flip") {
            // Invert the tenth data block of the first row.
            const QRect block((1 + 2 + 9) * size, size, size, size);
            const bool white = qGray(image.pixel(block.center())) > 128;
            QPainter(&image).fillRect(block, white ? Qt::black : Qt::white);
        }
        if (damage == "blank")
            image.fill(Qt::darkGray);
        if (damage == "washed") {
            QPainter painter(&image);
            painter.setOpacity(0.85);
            painter.fillRect(image.rect(), Qt::gray);
        }
        if (damage == "tiny")
            image = image.scaled(80, 45);
        FrameStamp::Decoded decoded;
        if (damage == "stride")
            decoded = FrameStamp::decode(image.constBits(), image.width(), image.height(), image.width() * 2,
                                         FrameStamp::PixelFormat::Rgb32);
        else
            decoded = FrameStamp::decode(image);
        QVERIFY(!decoded.ok);
    }
};

QTEST_GUILESS_MAIN(TestSimRtsp)
#include "tst_simrtsp.moc"
