#include <QBuffer>
#include <QDateTime>
#include <QImage>
#include <QPainter>
#include <QRandomGenerator>
#include <QtTest>

#include <atomic>
#include <cstring>
#include <thread>
#include <vector>

#include "FrameStamp.h"
#include "SimProcess.h"
#include "StreamReader.h"

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
    // One simulator with the default stream (H.264, 640x360) for every test that needs no other.
    SimProcess m_sim;

private slots:
    void initTestCase() {
        av_log_set_level(AV_LOG_FATAL);
        QVERIFY2(m_sim.startRtsp({"--video-size", "640x360"}), qPrintable(m_sim.errorOutput()));
    }

    // The camera's own path at 1280x720 and H.265 are played and recorded by the video tests.
    void streamCarriesTimeAndConsecutiveCounters() {
        StreamReader reader;
        QString error;
        QVERIFY2(reader.open(m_sim.url(), &error), qPrintable(error));
        QCOMPARE(reader.videoStream()->codecpar->codec_id, AV_CODEC_ID_H264);

        QVector<FrameStamp::Decoded> stamps;
        for (int pictures = 0; stamps.size() < 30 && pictures < 90; ++pictures) {
            FrameStamp::Decoded stamp;
            QVERIFY2(reader.nextStamp(&stamp), "stream ended early");
            QCOMPARE(QSize(reader.frame()->width, reader.frame()->height), QSize(640, 360));
            // Only pictures decoded before the first key frame may lack a readable stamp.
            QVERIFY2(stamp.ok || stamps.isEmpty(), "a picture after the first key frame had no readable stamp");
            if (!stamp.ok)
                continue;
            // The stamp is the time the frame was drawn: recent, though a busy machine may take seconds.
            const qint64 age = QDateTime::currentMSecsSinceEpoch() - stamp.epochMs;
            QVERIFY2(age >= -50 && age < 10000, qPrintable(QStringLiteral("stamp %1 ms old").arg(age)));
            stamps << stamp;
        }
        QCOMPARE(stamps.size(), 30);
        QVERIFY2(counterFault(stamps).isEmpty(), qPrintable(counterFault(stamps)));
        // A live source drops its oldest frame when the encoder falls behind (a loaded machine, a
        // sanitizer build), so gaps may appear. The counter still counts drawn frames: it never runs
        // ahead of the 30 frames a second the simulator draws, however slow the machine.
        const double seconds = qMax<qint64>(1, stamps.last().epochMs - stamps.first().epochMs) / 1000.0;
        const double counted = double(stamps.last().frameCounter - stamps.first().frameCounter);
        QVERIFY2(counted / seconds <= 36.0,
                 qPrintable(QStringLiteral("%1 frames counted in %2 s").arg(counted).arg(seconds)));
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
        const QString url = m_sim.url();
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
        QVERIFY(m_sim.running());
    }

    // A client stopped at any point while it sets up the stream (a player that is told to open again
    // at once) must not spoil the stream for the client right behind it. Clients come and go: each
    // one after the one before has left still gets pictures.
    void clientBehindAnAbandonedSetUpPlays() {
        const QString url = m_sim.url();
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

    // Buffers with padded lines, as decoders and scalers hand them out, are read; pictures whose
    // stamp cannot be trusted are refused.
    void readsTrustworthyStampsOnly_data() {
        QTest::addColumn<QString>("damage");
        QTest::addColumn<int>("format");    // read from a buffer in this format; -1: from the picture
        QTest::addColumn<int>("qtFormat");  // the buffer's lines as this format lays them out
        const int rgb32 = int(FrameStamp::PixelFormat::Rgb32);
        QTest::newRow("rgb32-buffer") << "" << rgb32 << int(QImage::Format_RGBX8888);
        QTest::newRow("rgb24-buffer") << "" << int(FrameStamp::PixelFormat::Rgb24) << int(QImage::Format_RGB888);
        QTest::newRow("gray8-buffer") << "" << int(FrameStamp::PixelFormat::Gray8) << int(QImage::Format_Grayscale8);
        QTest::newRow("stride-shorter-than-line") << "stride" << rgb32 << int(QImage::Format_RGBX8888);
        QTest::newRow("one-data-block-flipped") << "flip" << -1 << -1;
        QTest::newRow("no-stamp-at-all") << "blank" << -1 << -1;
        QTest::newRow("contrast-washed-out") << "washed" << -1 << -1;
        QTest::newRow("too-small") << "tiny" << -1 << -1;
    }

    void readsTrustworthyStampsOnly() {
        QFETCH(QString, damage);
        QFETCH(int, format);
        QFETCH(int, qtFormat);
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
        FrameStamp::Decoded decoded = FrameStamp::decode(image);
        if (format >= 0) {
            image = image.convertToFormat(QImage::Format(qtFormat));
            const int line = image.width() * image.depth() / 8;
            const int stride = damage == "stride" ? line / 2 : line + 64;
            QByteArray buffer(stride * image.height() + line, char(0x55));
            for (int y = 0; y < image.height(); ++y)
                std::memcpy(buffer.data() + y * stride, image.constScanLine(y), size_t(line));
            decoded = FrameStamp::decode(reinterpret_cast<const uchar*>(buffer.constData()), image.width(),
                                         image.height(), stride, FrameStamp::PixelFormat(format));
        }
        QCOMPARE(decoded.ok, damage.isEmpty());
        QVERIFY(!decoded.ok || (decoded.epochMs == now && decoded.frameCounter == 1000u));
    }
};

QTEST_GUILESS_MAIN(TestSimRtsp)
#include "tst_simrtsp.moc"
