#include <QDateTime>
#include <QElapsedTimer>
#include <QtTest>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
}

#include "FrameStamp.h"
#include "SimProcess.h"

namespace {

// One RTSP client over TCP with libavformat and libavcodec, the way the application pulls video.
class StreamReader {
public:
    ~StreamReader() { close(); }

    bool open(const QString& url, QString* error) {
        AVDictionary* options = nullptr;
        av_dict_set(&options, "rtsp_transport", "tcp", 0);
        av_dict_set(&options, "timeout", "3000000", 0);
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
        while (av_read_frame(m_format, m_packet) >= 0) {
            const bool video = m_packet->stream_index == m_stream;
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

    void close() {
        av_packet_free(&m_packet);
        av_frame_free(&m_frame);
        avcodec_free_context(&m_codec);
        avformat_close_input(&m_format);
    }

private:
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
};

}  // namespace

// The simulator's video as a client sees it: every path opens over RTSP/TCP, every picture carries
// a stamp with the current time and a counter that grows by one per frame, and an outage closes
// the stream and is followed by a stream that opens again.
class TestSimRtsp : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { av_log_set_level(AV_LOG_FATAL); }

    void streamCarriesTimeAndConsecutiveCounters_data() {
        QTest::addColumn<QString>("codec");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("size");
        QTest::newRow("h264-live0") << "h264"
                                    << "/live0"
                                    << "640x360";
        QTest::newRow("h264-videoh264_chn0-720p") << "h264"
                                                  << "/videoh264_chn0"
                                                  << "1280x720";
        QTest::newRow("h265-live-single") << "h265"
                                          << "/live/single"
                                          << "640x360";
    }

    void streamCarriesTimeAndConsecutiveCounters() {
        QFETCH(QString, codec);
        QFETCH(QString, path);
        QFETCH(QString, size);
        const quint16 port = SimProcess::freeTcpPort();
        SimProcess sim;
        QVERIFY2(sim.start({"--no-udp", "--rtsp-port", QString::number(port), "--codec", codec, "--video-size", size},
                           {"RTSP ready"}),
                 qPrintable(sim.errorOutput()));
        QCOMPARE(sim.readyValue("RTSP ready"), QStringLiteral("rtsp://127.0.0.1:%1/live0").arg(port));

        StreamReader reader;
        QString error;
        QVERIFY2(reader.open(QStringLiteral("rtsp://127.0.0.1:%1%2").arg(port).arg(path), &error), qPrintable(error));
        QCOMPARE(reader.codecId(), codec == "h265" ? AV_CODEC_ID_HEVC : AV_CODEC_ID_H264);

        int stamped = 0;
        int pictures = 0;
        qint64 previousCounter = -1;
        int consecutiveSteps = 0;
        while (stamped < 30 && pictures < 90) {
            FrameStamp::Decoded stamp;
            QSize pictureSize;
            QVERIFY2(reader.nextStamp(&stamp, &pictureSize), "stream ended early");
            ++pictures;
            QCOMPARE(QStringLiteral("%1x%2").arg(pictureSize.width()).arg(pictureSize.height()), size);
            if (!stamp.ok) {
                // Only pictures decoded before the first key frame may lack a readable stamp.
                QVERIFY2(stamped == 0, "a picture after the first key frame had no readable stamp");
                continue;
            }
            ++stamped;
            const qint64 age = QDateTime::currentMSecsSinceEpoch() - stamp.epochMs;
            QVERIFY2(age >= -50 && age < 1000, qPrintable(QStringLiteral("stamp %1 ms old").arg(age)));
            if (previousCounter >= 0) {
                QVERIFY2(
                    stamp.frameCounter > previousCounter,
                    qPrintable(QStringLiteral("counter %1 after %2").arg(stamp.frameCounter).arg(previousCounter)));
                consecutiveSteps += stamp.frameCounter == previousCounter + 1 ? 1 : 0;
            }
            previousCounter = stamp.frameCounter;
        }
        QCOMPARE(stamped, 30);
        // A live source drops its oldest frame when the encoder falls behind (a loaded machine, a
        // sanitizer build), so a gap may appear; the counter must still count frames one by one.
        QVERIFY2(consecutiveSteps >= 25,
                 qPrintable(QStringLiteral("only %1 of 29 steps were +1").arg(consecutiveSteps)));
    }

    // Clients come and go: a second client after the first has left still gets pictures.
    void clientsComeAndGo() {
        const quint16 port = SimProcess::freeTcpPort();
        SimProcess sim;
        QVERIFY2(
            sim.start({"--no-udp", "--rtsp-port", QString::number(port), "--video-size", "640x360"}, {"RTSP ready"}),
            qPrintable(sim.errorOutput()));
        const QString url = QStringLiteral("rtsp://127.0.0.1:%1/live0").arg(port);
        for (int round = 0; round < 3; ++round) {
            StreamReader reader;
            QString error;
            QVERIFY2(reader.open(url, &error), qPrintable(QStringLiteral("round %1: %2").arg(round).arg(error)));
            int stamped = 0;
            for (int i = 0; i < 40 && stamped < 3; ++i) {
                FrameStamp::Decoded stamp;
                QSize pictureSize;
                QVERIFY(reader.nextStamp(&stamp, &pictureSize));
                stamped += stamp.ok ? 1 : 0;
            }
            QVERIFY2(stamped == 3, qPrintable(QStringLiteral("round %1: no stamped pictures").arg(round)));
        }
        QVERIFY(sim.running());
    }

    void outageStopsAndRestartsTheStream() {
        const quint16 port = SimProcess::freeTcpPort();
        SimProcess sim;
        QVERIFY2(sim.start({"--no-udp", "--rtsp-port", QString::number(port), "--video-size", "640x360",
                            "--rtsp-outage", "1.5:1.5"},
                           {"RTSP ready"}),
                 qPrintable(sim.errorOutput()));
        const QString url = QStringLiteral("rtsp://127.0.0.1:%1/live0").arg(port);
        StreamReader reader;
        QString error;
        QVERIFY2(reader.open(url, &error), qPrintable(error));
        QElapsedTimer clock;
        clock.start();
        FrameStamp::Decoded stamp;
        QSize pictureSize;
        while (reader.nextStamp(&stamp, &pictureSize) && clock.elapsed() < 8000) {
        }
        QVERIFY2(clock.elapsed() < 6000, "the stream did not stop for the outage");
        reader.close();

        // While the outage lasts the server refuses the stream; afterwards it serves it again.
        bool reopened = false;
        while (!reopened && clock.elapsed() < 10000) {
            StreamReader again;
            if (again.open(url, &error)) {
                for (int i = 0; i < 40 && !reopened; ++i) {
                    if (!again.nextStamp(&stamp, &pictureSize))
                        break;
                    reopened = stamp.ok;
                }
            } else {
                QTest::qWait(250);
            }
        }
        QVERIFY2(reopened, qPrintable(QStringLiteral("no stamped picture after the outage: %1").arg(error)));
    }
};

QTEST_GUILESS_MAIN(TestSimRtsp)
#include "tst_simrtsp.moc"
