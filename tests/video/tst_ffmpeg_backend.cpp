// The FFmpeg backend against the simulator's RTSP stream on loopback: opening, picture size and
// geometry, painting, latency log lines, reopening, prompt close on a silent server, unreachable
// URLs, recovery after the server stopped and restarted the stream, hostile servers, pictures beyond
// the size limit and passwords kept out of the logs.
#include <QPainter>
#include <QProcess>
#include <QQuickWindow>
#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

#include "FrameStamp.h"
#include "TestSupport.h"
#include "VideoTestSupport.h"
#include "video/FFmpegItem.h"
#include "video/FFmpegThread.h"

extern "C" {
#include <libavutil/avutil.h>
#include <libavutil/mem.h>
}

using VideoTestSupport::DebugCapture;
using VideoTestSupport::HostileServer;
using VideoTestSupport::logged;
using VideoTestSupport::sessionLog;
using VideoTestSupport::sessionLogLines;
using VideoTestSupport::SilentServer;

namespace {

constexpr int kStreamTimeoutMs = 15000;

// Counts the pictures a thread hands over, keeping only the last one (holding every picture
// would starve the thread's image pool, which then drops pictures on purpose).
struct PictureCounter {
    int count = 0;
    QImage last;
    QMetaObject::Connection connection;
    explicit PictureCounter(FFmpegThread* thread) {
        connection = QObject::connect(thread, &FFmpegThread::receiveImage, [this](const QImage& image) {
            ++count;
            last = image;
        });
    }
    ~PictureCounter() { QObject::disconnect(connection); }
};

int stampCounter(const QImage& image) {
    const FrameStamp::Decoded stamp = FrameStamp::decode(image);
    return stamp.ok ? int(stamp.frameCounter) : -1;
}

}  // namespace

class FFmpegBackendTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        DebugCapture::install();
        QVERIFY(AppLog::start());
        QVERIFY(TestSupport::writeConfig("[Video]\nBackend=ffmpeg\nLatencyLogIntervalSec=1\n"));
        QVERIFY2(m_sim.start(), qPrintable(m_sim.errorOutput()));
    }

    void cleanupTestCase() {
        m_sim.stop();
        TestSupport::removeConfig();
    }

    void logsRealLibraryVersionAndApi() {
        FFmpegThread thread;
        const QString expected = QStringLiteral("FFmpeg lib init ok version=%1 decode_api=%2")
                                     .arg(QString::fromUtf8(av_version_info()), FFmpegThread::decodeApiName());
        const QStringList lines = sessionLogLines(QStringLiteral("FFmpeg lib init ok"));
        QCOMPARE(lines.size(), 1);  // once per process
        QVERIFY2(lines.first().endsWith(expected), qPrintable(lines.first()));
        QVERIFY2(FFmpegThread::decodeApiName().contains(QStringLiteral("send_packet/receive_frame (libavcodec 59.")),
                 qPrintable(FFmpegThread::decodeApiName()));
        QVERIFY(DebugCapture::contains(QStringLiteral("init ffmpeg lib ok")));
        QCOMPARE(
            sessionLogLines(QStringLiteral("FFmpeg allocations capped at 144 MB, pictures up to 8192x8192")).size(), 1);
        void* hostileBlock = av_malloc(2000000001);
        QVERIFY2(!hostileBlock, "no FFmpeg allocation may take what a server announces");
        av_free(hostileBlock);
    }

    // A server that announces a 2 GB answer and streams it, or one that trickles its answer for ever:
    // the 2 GB are never allocated (FFmpeg then reads the rest of the answer as the next one, which never
    // ends), the open ends at its deadline, memory stays far below what the server announced and the
    // stream is tried again. First among the streaming tests, so that the process's peak memory is
    // still that of a small program.
    void hostileServerIsLeftAndTriedAgain_data() { VideoTestSupport::hostileServerRows(); }

    void hostileServerIsLeftAndTriedAgain() {
        QFETCH(qint64, announced);
        QFETCH(qint64, burst);
        HostileServer hostile(announced, burst);
        const int logStart = sessionLog().size();
        const qint64 peakBeforeMb = VideoTestSupport::peakResidentMb();
        FFmpegItem item;
        item.setUrl(hostile.url());
        item.open();
        QTRY_VERIFY_WITH_TIMEOUT(hostile.closedByClient() >= 1, 30000);
        QTRY_VERIFY_WITH_TIMEOUT(hostile.connections() >= 2, 30000);
        QVERIFY(item.isPlaying());
        const QStringList failures =
            sessionLogLines(QStringLiteral("FFmpeg open input error url=") + hostile.url(), logStart);
        QVERIFY(!failures.isEmpty());
        QVERIFY2(failures.first().endsWith(QStringLiteral("(no stream within 8000 ms)")), qPrintable(failures.first()));
        QVERIFY(logged(QStringLiteral("open attempt 2 in 500 ms url=") + hostile.url(), logStart));
        const qint64 grownMb = VideoTestSupport::peakResidentMb() - peakBeforeMb;
        QVERIFY2(grownMb < 192, qPrintable(QStringLiteral("peak memory grew by %1 MB").arg(grownMb)));
        item.close();
        QTRY_VERIFY_WITH_TIMEOUT(!item.isPlaying(), 10000);
    }

    // A picture larger than Video/MaxPictureSize is refused before it is decoded: the operator is told
    // why, nothing is shown and the stream is tried again (the camera may be set smaller meanwhile).
    void pictureBeyondSizeLimitIsRefused() {
        QVERIFY(TestSupport::writeConfig("[Video]\nBackend=ffmpeg\nMaxPictureSize=640x480\n"));
        const int logStart = sessionLog().size();
        FFmpegItem item;
        QSignalSpy problems(&item, &VideoFrameItem::streamProblemChanged);
        item.setUrl(m_sim.url());
        PictureCounter pictures(item.thread());
        item.open();
        QTRY_COMPARE_WITH_TIMEOUT(item.streamProblem().value(QStringLiteral("kind")).toString(),
                                  QStringLiteral("pictureTooLarge"), kStreamTimeoutMs);
        QCOMPARE(item.streamProblem().value(QStringLiteral("detail")).toString(), QStringLiteral("1280x720 > 640x480"));
        QTRY_VERIFY_WITH_TIMEOUT(logged(QStringLiteral("open attempt 3 in 1000 ms url=") + m_sim.url(), logStart),
                                 kStreamTimeoutMs);
        QVERIFY(logged(QStringLiteral("FFmpeg stream refused, picture 1280x720 larger than 640x480"), logStart));
        QCOMPARE(problems.count(), 1);  // told once, not at every attempt
        QCOMPARE(pictures.count, 0);
        QCOMPARE(item.streamStatus(), QStringLiteral("connecting"));
        item.close();
        QVERIFY(item.streamProblem().isEmpty());
        QCOMPARE(item.streamStatus(), QStringLiteral("idle"));
        QVERIFY(TestSupport::writeConfig("[Video]\nBackend=ffmpeg\nLatencyLogIntervalSec=1\n"));
    }

    void opensStreamPaintsAndLogsLatency() {
        const int logStart = sessionLog().size();
        // Shown in an offscreen window, so that painting really happens.
        QQuickWindow window;
        window.resize(1000, 800);
        std::unique_ptr<FFmpegItem> item(new FFmpegItem(window.contentItem()));
        item->setSize(QSizeF(1000, 800));
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QSignalSpy rectSpy(item.get(), &FFmpegItem::contentRectChanged);
        QCOMPARE(item->contentRect(), QRectF(0, 0, 1000, 800));
        item->setUrl(m_sim.url());
        item->open();
        QTRY_VERIFY_WITH_TIMEOUT(!item->image().isNull(), kStreamTimeoutMs);
        QCOMPARE(item->videoSize(), QSize(1280, 720));
        QCOMPARE(item->image().size(), QSize(1280, 720));
        QCOMPARE(item->image().format(), QImage::Format_RGB32);
        QCOMPARE(item->contentRect(), QRectF(0, 119, 1000, 562));
        QVERIFY(rectSpy.count() >= 1);
        QVERIFY2(stampCounter(item->image()) >= 0, "the simulator's frame stamp must survive decoding and conversion");
        const QStringList opened = sessionLogLines(QStringLiteral("FFmpeg open url="), logStart);
        QVERIFY(!opened.isEmpty());
        QVERIFY2(opened.first().endsWith(
                     QStringLiteral("FFmpeg open url=%1 decoder=h264 1280x720 format=rtsp").arg(m_sim.url())),
                 qPrintable(opened.first()));

        // Letter-boxed: black bar above the picture, picture in the middle.
        // The next frame as it reached the window (the offscreen platform hands a software-rendered
        // window back through its screen).
        QSignalSpy swaps(&window, &QQuickWindow::frameSwapped);
        window.update();
        QVERIFY(swaps.wait(10000));
        const QImage painted = window.screen()->grabWindow(window.winId()).toImage();
        QCOMPARE(painted.pixelColor(500, 60).rgb(), QColor(Qt::black).rgb());
        QVERIFY2(painted.pixelColor(500, 400).lightness() > 20, "the picture is drawn in the middle");

        // Windows of about 1 s: every summary is well formed, and once a window held pictures with time
        // stamps it carries the backlog and the end-to-end estimate. How many pictures a window holds
        // depends on the machine, so the test waits for such a window instead of taking the first.
        const QRegularExpression summary(
            QStringLiteral("延迟统计\\[窗口\\d+\\.\\d秒\\]: 解码帧率\\d+\\.\\d帧/秒\\(共\\d+帧\\)"));
        const QRegularExpression frames(QStringLiteral("画面帧: 解码\\d+ 绘制\\d+ 替换\\d+$"));
        QTRY_VERIFY_WITH_TIMEOUT(
            sessionLogLines(QStringLiteral("延迟统计[窗口"), logStart).filter(QStringLiteral("端到端估计约")).size() >=
                1,
            30000);
        for (const QString& stats : sessionLogLines(QStringLiteral("延迟统计[窗口"), logStart)) {
            QVERIFY2(summary.match(stats).hasMatch(), qPrintable(stats));
            QVERIFY2(frames.match(stats).hasMatch(), qPrintable(stats));
            QVERIFY2(stats.contains(QStringLiteral("缓冲积压均")) == stats.contains(QStringLiteral("端到端估计约")),
                     qPrintable(stats));
        }
        item->close();
        QVERIFY(!item->isPlaying());
    }

    void statsWithoutTimeStampsUseShortFormat() {
        const int logStart = sessionLog().size();
        FFmpegItem item;
        FFmpegDecodeStats stats;
        stats.windowSeconds = 2.0;
        stats.decodedFrames = 50;
        stats.decodeFps = 25.0;
        stats.pipelineAvgMs = 7.5;
        QVERIFY(QMetaObject::invokeMethod(&item, "onDecodeStatsReady", Q_ARG(FFmpegDecodeStats, stats)));
        const QStringList lines = sessionLogLines(QStringLiteral("延迟统计[窗口2.0秒]"), logStart);
        QCOMPARE(lines.size(), 1);
        QVERIFY2(lines.first().contains(QStringLiteral("解码帧率25.0帧/秒(共50帧)")), qPrintable(lines.first()));
        QVERIFY2(lines.first().contains(QStringLiteral("缓冲积压无有效PTS")), qPrintable(lines.first()));
        QVERIFY2(lines.first().endsWith(QStringLiteral("应用内处理约7.5毫秒 | 画面帧: 解码0 绘制0 替换0")),
                 qPrintable(lines.first()));
        QVERIFY(!lines.first().contains(QStringLiteral("端到端估计")));
    }

    void handedImageOwnsItsPixels() {
        FFmpegItem item;
        item.setUrl(m_sim.url());
        PictureCounter pictures(item.thread());
        item.open();
        QTRY_VERIFY_WITH_TIMEOUT(pictures.count >= 1, kStreamTimeoutMs);
        // Keep one picture the way a GUI would and let the thread decode many more.
        const QImage held = pictures.last;
        const QImage snapshot = held.copy();
        const int before = pictures.count;
        QTRY_VERIFY_WITH_TIMEOUT(pictures.count >= before + 20, kStreamTimeoutMs);
        item.close();
        QVERIFY2(held == snapshot, "a picture handed to the GUI was rewritten by the decode thread");
        QVERIFY(stampCounter(held) >= 0);
        QVERIFY2(stampCounter(pictures.last) > stampCounter(held), "later pictures must carry later frame counters");
    }

    void pictureSizeChangeMidStream() {
        // Two clips of different picture sizes back to back in one transport stream, made by the ffmpeg tool.
        QTemporaryDir dir;
        const QString joined = dir.path() + QStringLiteral("/joined.ts");
        for (const QString& size : {QStringLiteral("320x240"), QStringLiteral("640x360")}) {
            QProcess ffmpeg;
            ffmpeg.start(QStringLiteral("ffmpeg"),
                         {"-v", "error", "-f", "lavfi", "-i", QStringLiteral("testsrc=size=%1:rate=30").arg(size), "-t",
                          "1", "-c:v", "libx264", "-pix_fmt", "yuv420p", "-f", "mpegts",
                          dir.path() + QLatin1Char('/') + size + QStringLiteral(".ts")});
            QVERIFY(ffmpeg.waitForFinished(30000));
            QCOMPARE(ffmpeg.exitCode(), 0);
            QFile part(dir.path() + QLatin1Char('/') + size + QStringLiteral(".ts"));
            QFile out(joined);
            QVERIFY(part.open(QIODevice::ReadOnly) && out.open(QIODevice::Append));
            out.write(part.readAll());
        }
        FFmpegItem item;
        item.setSize(QSizeF(1000, 500));
        QSignalSpy sizes(item.thread(), &FFmpegThread::receiveImageSize);
        QSignalSpy rect(&item, &FFmpegItem::contentRectChanged);
        PictureCounter pictures(item.thread());
        item.setUrl(joined);
        item.open();
        QTRY_VERIFY_WITH_TIMEOUT(sizes.count() >= 1, kStreamTimeoutMs);
        QCOMPARE(sizes.first(), (QList<QVariant>{320, 240}));
        QTRY_VERIFY_WITH_TIMEOUT(item.videoSize() == QSize(640, 360), kStreamTimeoutMs);
        QCOMPARE(item.contentRect(), QRectF(56, 0, 888, 500));
        QVERIFY(rect.count() >= 2);
        QTRY_VERIFY_WITH_TIMEOUT(pictures.last.size() == QSize(640, 360), kStreamTimeoutMs);
        item.close();
    }

    // A second open of the stream still being connected to carries on; one of a stream playing, or of
    // another URL, starts over.
    void openAgainWhileConnectingOrPlaying() {
        FFmpegItem item;
        item.setUrl(m_sim.url());
        QSignalSpy finished(item.thread(), &QThread::finished);
        PictureCounter pictures(item.thread());
        item.open();
        item.open();
        QTRY_VERIFY_WITH_TIMEOUT(!item.image().isNull(), kStreamTimeoutMs);
        QCOMPARE(finished.count(), 0);

        item.open();
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, kStreamTimeoutMs);
        // The restart runs when the item handles the thread's end, a turn of the event loop later.
        QTRY_VERIFY2_WITH_TIMEOUT(item.isPlaying(), "the thread must start again once it has finished",
                                  kStreamTimeoutMs);
        const int before = pictures.count;
        QTRY_VERIFY_WITH_TIMEOUT(pictures.count > before, kStreamTimeoutMs);
        QTRY_VERIFY_WITH_TIMEOUT(!item.image().isNull(), kStreamTimeoutMs);
        item.close();
        QVERIFY(!item.isPlaying());

        item.open();
        item.setUrl(m_sim.url(QStringLiteral("/live/single")));
        item.open();
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 3, kStreamTimeoutMs);
        QTRY_VERIFY_WITH_TIMEOUT(!item.image().isNull(), kStreamTimeoutMs);
        item.close();
    }

    // The operator can tell a stream being opened (a camera still booting) from no stream at all. A
    // picture the old stream queued never shows for the next one, and a new address ends the retries
    // of the old one (the item opens the new one when it is asked to).
    void streamStatusAndRetriesAcrossAddresses() {
        FFmpegItem item;
        QSignalSpy changes(&item, &FFmpegItem::streamStatusChanged);
        QCOMPARE(item.streamStatus(), QStringLiteral("idle"));
        item.setUrl(m_sim.url());
        item.open();
        QCOMPARE(item.streamStatus(), QStringLiteral("connecting"));
        QTRY_COMPARE_WITH_TIMEOUT(item.streamStatus(), QStringLiteral("playing"), kStreamTimeoutMs);
        // A busy GUI thread: the decode thread queues pictures that are not delivered yet.
        QTest::qSleep(300);
        item.close();
        QVERIFY(!item.isPlaying());
        QCOMPARE(item.streamStatus(), QStringLiteral("playing"));  // the last picture stays

        const QString unreachable = QStringLiteral("rtsp://127.0.0.1:%1/live0").arg(SimProcess::freeTcpPort());
        const int logStart = sessionLog().size();
        item.setUrl(unreachable);
        item.open();
        QVERIFY(item.image().isNull());
        QCOMPARE(item.streamStatus(), QStringLiteral("connecting"));
        // The failed open was handled on the GUI side too (its log line comes after the old stream's queue).
        QTRY_VERIFY_WITH_TIMEOUT(logged(QStringLiteral("open attempt 2 in 500 ms url=") + unreachable, logStart),
                                 kStreamTimeoutMs);
        QCoreApplication::processEvents();
        QVERIFY2(item.image().isNull(), "a picture the old stream queued was shown for the new, unreachable one");

        item.setUrl(m_sim.url());
        QTRY_VERIFY_WITH_TIMEOUT(!item.isPlaying(), kStreamTimeoutMs);
        QVERIFY(logged(QStringLiteral("FFmpeg stops retrying url=") + unreachable, logStart));
        QVERIFY(item.image().isNull());
        QTRY_COMPARE_WITH_TIMEOUT(item.streamStatus(), QStringLiteral("idle"), kStreamTimeoutMs);
        // connecting, playing, idle (the old picture cleared), connecting, idle
        QCOMPARE(changes.count(), 5);
    }

    // A read blocked on a silent server ends at once when the item is closed, and when it is destroyed.
    // Left alone, the 3 s socket time-out gives up the open (without it the thread would wait for
    // ever); the server may be a camera still booting, so the stream is asked for again.
    void silentServerIsLeftAtOnceOnCloseOrDestroyAndAfterTimeOut() {
        SilentServer silent;
        DebugCapture::clear();
        std::unique_ptr<FFmpegItem> item(new FFmpegItem);
        item->setUrl(silent.url());
        item->open();
        QTRY_VERIFY_WITH_TIMEOUT(silent.connections() >= 1, kStreamTimeoutMs);
        QVERIFY(item->isPlaying());
        QElapsedTimer timer;
        timer.start();
        item->close();
        // Without the interrupt the thread would sit in the read until the 3 s socket time-out; with
        // it, it ends within milliseconds, far inside this bound even on a slow machine.
        QTRY_VERIFY_WITH_TIMEOUT(!item->isPlaying(), 10000);
        QVERIFY2(timer.elapsed() < 2500,
                 qPrintable(QStringLiteral("the blocked read ended only after %1 ms").arg(timer.elapsed())));
        QVERIFY(item->image().isNull());
        QVERIFY(DebugCapture::contains(QStringLiteral("stop ffmpeg thread")));

        DebugCapture::clear();
        const int logStart = sessionLog().size();
        item->open();
        QTRY_VERIFY_WITH_TIMEOUT(DebugCapture::contains(QStringLiteral("open input error")), 20000);
        QTRY_VERIFY_WITH_TIMEOUT(silent.connections() >= 3, 20000);
        QVERIFY(item->isPlaying());
        QVERIFY(logged(QStringLiteral("FFmpeg stream not available yet, open attempt 2 in 500 ms url=") + silent.url(),
                       logStart));
        QPointer<FFmpegThread> thread = item->thread();
        QSignalSpy finished(thread.data(), &QThread::finished);
        item.reset();
        QVERIFY(thread.isNull());
        QCOMPARE(finished.count(), 1);
    }

    // A server that hangs mid-stream (frozen, its connection left open) is left after the 3 s socket
    // time-out, and the stream opened again once it answers.
    void hungServerIsLeftAfterSocketTimeOut() {
        VideoTestSupport::Simulator sim;
        QVERIFY2(sim.start(), qPrintable(sim.errorOutput()));
        const int logStart = sessionLog().size();
        FFmpegItem item;
        item.setUrl(sim.url());
        PictureCounter pictures(item.thread());
        item.open();
        QTRY_VERIFY_WITH_TIMEOUT(pictures.count >= 3, kStreamTimeoutMs);
        QVERIFY(sim.pause());
        QTRY_VERIFY_WITH_TIMEOUT(logged(QStringLiteral("FFmpeg stream lost ("), logStart), 30000);
        QVERIFY(sim.resume());
        QTRY_VERIFY_WITH_TIMEOUT(item.thread()->reopenCount() >= 1, 30000);
        const int before = pictures.count;
        QTRY_VERIFY_WITH_TIMEOUT(pictures.count >= before + 3, kStreamTimeoutMs);
        const QString lost = sessionLogLines(QStringLiteral("FFmpeg stream lost ("), logStart).first();
        QVERIFY2(lost.contains(QStringLiteral("reopen attempt 1 in 500 ms url=") + sim.url()), qPrintable(lost));
        item.close();
    }

    // The ground station is often started before the camera has booted, and the camera's stream may
    // stop for a while: the picture comes up by itself, the last one stays while the stream is away and
    // comes back. The camera's password is part of its URL here: every line about the stream names it
    // as "admin:***@", and the password is nowhere in the session log (which holds what went to
    // standard output) nor in the debug output.
    void pictureComesUpLateAndBackAfterOutage() {
        const int logStart = sessionLog().size();
        DebugCapture::clear();
        const quint16 port = SimProcess::freeTcpPort();
        const QString plain = QStringLiteral("rtsp://127.0.0.1:%1/videoh264_chn0").arg(port);
        const QString secret = QStringLiteral("Pa55-w0rd");
        const QString shown = VideoTestSupport::withCredentials(plain, QStringLiteral("admin"), QString());
        FFmpegItem item;
        item.setUrl(VideoTestSupport::withCredentials(plain, QStringLiteral("admin"), secret));
        PictureCounter pictures(item.thread());
        item.open();
        QTRY_VERIFY_WITH_TIMEOUT(logged(QStringLiteral("FFmpeg open input error url=") + shown, logStart),
                                 kStreamTimeoutMs);
        QTest::qWait(4000);
        VideoTestSupport::Simulator late;
        QVERIFY2(late.start(VideoTestSupport::repeatingOutage(5, 1.5, 10), port), qPrintable(late.errorOutput()));
        QTRY_VERIFY_WITH_TIMEOUT(!item.image().isNull(), 30000);
        QVERIFY(stampCounter(item.image()) >= 0);
        QVERIFY(logged(QStringLiteral("FFmpeg first picture 1280x720 after "), logStart));

        QTRY_VERIFY_WITH_TIMEOUT(item.thread()->reopenCount() >= 1, 30000);
        QVERIFY2(!item.image().isNull(), "the last picture stays while the stream is away");
        const int before = pictures.count;
        QTRY_VERIFY_WITH_TIMEOUT(pictures.count >= before + 5, kStreamTimeoutMs);
        QVERIFY(item.isPlaying());
        const QStringList lost = sessionLogLines(QStringLiteral("FFmpeg stream lost ("), logStart);
        QVERIFY2(!lost.isEmpty(), "every reopen attempt is logged");
        QVERIFY2(lost.first().contains(QStringLiteral("reopen attempt 1 in 500 ms url=") + shown),
                 qPrintable(lost.first()));
        QVERIFY(logged(QStringLiteral("FFmpeg stream reopened url=") + shown, logStart));
        QVERIFY(logged(QStringLiteral("FFmpeg open url=") + shown, logStart));
        QVERIFY(logged(QStringLiteral("FFmpegItem open url=") + shown, logStart));
        item.close();
        QVERIFY2(!sessionLog().mid(logStart).contains(secret), "the password went into the session log");
        QVERIFY2(!DebugCapture::contains(secret), "the password went into the debug output");
    }

private:
    VideoTestSupport::Simulator m_sim;
};

QTEST_MAIN(FFmpegBackendTest)
#include "tst_ffmpeg_backend.moc"
