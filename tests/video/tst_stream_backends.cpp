// Both stream backends against the simulator's RTSP stream on loopback, hostile servers and pictures
// beyond the size limit. The FFmpeg backend's opening, reopening and closing; the player-library
// backend's candidate search, start failures, notices and its stand-in library. Passwords stay out
// of the logs.
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QWidget>
#include <QtTest>
#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include "FrameStamp.h"
#include "TestSupport.h"
#include "VideoTestSupport.h"
#include "video/EasyPlayerAbi.h"
#include "video/EasyPlayerItem.h"
#include "video/FFmpegItem.h"
#include "video/FFmpegThread.h"
#include "video/PlatformLibrary.h"
#include "video/QtEasyPlayerStreamPuller.h"
#include "video/VideoPlayerItem.h"

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

const QByteArray kConfig = "[Video]\nBackend=ffmpeg\nLatencyLogIntervalSec=1\n";

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

QString besideExecutable() {
    return TestSupport::appDir() + QStringLiteral("/libEasyPlayer.so");
}

bool placeBesideExecutable() {
    QFile::remove(besideExecutable());
    return QFile::copy(QStringLiteral(STANDIN_PLAYER_PATH), besideExecutable());
}

// Calls the frame callback from a thread of its own, the way the library does.
void deliverFromLibraryThread(int channelId, void* puller, int frameType, char* buffer, easyplayer::FrameInfo* info) {
    std::thread([=] { QtEasyPlayerStreamPuller::frameCallback(channelId, puller, frameType, buffer, info); }).join();
}

// A picture of packed RGB bytes, announced as width x height, from the library's thread.
void deliverPicture(int channelId, void* puller, QByteArray pixels, int width, int height) {
    easyplayer::FrameInfo info = {};
    info.width = width;
    info.height = height;
    info.length = uint32_t(pixels.size());
    deliverFromLibraryThread(channelId, puller, easyplayer::kFrameTypeRgbPicture, pixels.data(), &info);
}

// What a deliberately slow caller of the stand-in library saw.
struct SlowCaller {
    std::atomic<int> pictures{0};
    std::atomic<unsigned> lastLost{0};
    static int callback(int, void* user, int frameType, char*, easyplayer::FrameInfo* info) {
        auto* self = static_cast<SlowCaller*>(user);
        if (frameType != easyplayer::kFrameTypeRgbPicture || !info)
            return 0;
        ++self->pictures;
        self->lastLost = info->lostPackets;
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        return 0;
    }
};

std::unique_ptr<VideoFrameItem> makeItem(bool ffmpeg) {
    return ffmpeg ? std::unique_ptr<VideoFrameItem>(new FFmpegItem) : std::make_unique<EasyPlayerItem>();
}

}  // namespace

class StreamBackendsTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        DebugCapture::install();
        QVERIFY(AppLog::start());
        QVERIFY(QFileInfo::exists(QStringLiteral(STANDIN_PLAYER_PATH)));
        QVERIFY(QFileInfo::exists(QStringLiteral(BROKEN_PLAYER_PATH)));
        QVERIFY(TestSupport::writeConfig(kConfig));
        QVERIFY2(m_sim.startRtsp(), qPrintable(m_sim.errorOutput()));
        QFile notALibrary(m_notALibrary);
        QVERIFY(notALibrary.open(QIODevice::WriteOnly) && notALibrary.write("not an ELF file") > 0);
    }

    void init() {
        qunsetenv("EASYPLAYER_DLL_PATH");
        QFile::remove(besideExecutable());
        DebugCapture::clear();
    }

    void cleanupTestCase() {
        m_sim.stop();
        TestSupport::removeConfig();
        QFile::remove(besideExecutable());
    }

    void logsRealLibraryVersionAndApi() {
        FFmpegThread thread;
        const QString expected = QStringLiteral("FFmpeg lib init ok version=%1 decode_api=%2")
                                     .arg(QString::fromUtf8(av_version_info()), FFmpegThread::decodeApiName());
        QCOMPARE(sessionLogLines(QStringLiteral("FFmpeg lib init ok")).size(), 1);  // once per process
        QVERIFY2(logged(expected + '\n'), qPrintable(sessionLog()));
        QCOMPARE(
            sessionLogLines(QStringLiteral("FFmpeg allocations capped at 144 MB, pictures up to 8192x8192")).size(), 1);
        void* hostileBlock = av_malloc(2000000001);
        QVERIFY2(!hostileBlock, "no FFmpeg allocation may take what a server announces");
        av_free(hostileBlock);
    }

    // A server that announces a 2 GB answer and streams it, or one that trickles its answer for ever:
    // the 2 GB are never allocated, the open ends at its deadline, memory stays far below what the
    // server announced and the stream is tried again. First among the streaming tests, so that the
    // process's peak memory is still that of a small program.
    void hostileServerIsLeftAndTriedAgain_data() {
        QTest::addColumn<bool>("ffmpeg");
        QTest::addColumn<qint64>("announced");
        QTest::addColumn<qint64>("burst");
        for (const bool ffmpeg : {false, true}) {
            const char* backend = ffmpeg ? "ffmpeg" : "easyplayer";
            QTest::addRow("%s-2-GB-answer", backend) << ffmpeg << qint64(2000000000) << qint64(384) * 1024 * 1024;
            QTest::addRow("%s-endless-trickle", backend) << ffmpeg << qint64(100000) << qint64(0);
        }
    }

    void hostileServerIsLeftAndTriedAgain() {
        QFETCH(bool, ffmpeg);
        QFETCH(qint64, announced);
        QFETCH(qint64, burst);
        QVERIFY(placeBesideExecutable());
        HostileServer hostile(announced, burst);
        const qint64 peakBeforeMb = VideoTestSupport::peakResidentMb();
        const std::unique_ptr<VideoFrameItem> item = makeItem(ffmpeg);
        item->setUrl(hostile.url());
        item->open();
        QTRY_VERIFY_WITH_TIMEOUT(hostile.closedByClient() >= 1, 30000);
        QTRY_VERIFY_WITH_TIMEOUT(hostile.connections() >= 2, 30000);
        const qint64 grownMb = VideoTestSupport::peakResidentMb() - peakBeforeMb;
        QVERIFY2(grownMb < 192, qPrintable(QStringLiteral("peak memory grew by %1 MB").arg(grownMb)));
        item->close();
    }

    // A picture larger than Video/MaxPictureSize is refused before it is decoded: the operator is told
    // why, once and not at every attempt, nothing is shown and the stream is tried again (the camera
    // may be set smaller meanwhile).
    void pictureBeyondSizeLimitIsRefused_data() {
        QTest::addColumn<bool>("ffmpeg");
        QTest::newRow("ffmpeg") << true;
        QTest::newRow("easyplayer") << false;
    }

    void pictureBeyondSizeLimitIsRefused() {
        QFETCH(bool, ffmpeg);
        QVERIFY(placeBesideExecutable());
        QVERIFY(TestSupport::writeConfig(kConfig + "MaxPictureSize=640x480\n"));
        const int logStart = sessionLog().size();
        const std::unique_ptr<VideoFrameItem> item = makeItem(ffmpeg);
        QSignalSpy problems(item.get(), &VideoFrameItem::streamProblemChanged);
        int reconnects = 0;
        if (auto* easy = qobject_cast<EasyPlayerItem*>(item.get()))
            connect(easy->puller(), &QtEasyPlayerStreamPuller::reconnectRequested, this, [&] { ++reconnects; });
        item->setUrl(m_sim.url());
        item->open();
        QTRY_COMPARE_WITH_TIMEOUT(item->streamProblem().value(QStringLiteral("kind")).toString(),
                                  QStringLiteral("pictureTooLarge"), kStreamTimeoutMs);
        QCOMPARE(item->streamProblem().value(QStringLiteral("detail")).toString(),
                 QStringLiteral("1280x720 > 640x480"));
        if (ffmpeg)
            QTRY_VERIFY_WITH_TIMEOUT(logged("open attempt 3 in 1000 ms url=" + m_sim.url(), logStart),
                                     kStreamTimeoutMs);
        else
            QTRY_VERIFY_WITH_TIMEOUT(reconnects >= 2, kStreamTimeoutMs);
        QVERIFY(logged(QStringLiteral("%1 stream refused, picture 1280x720 larger than 640x480")
                           .arg(ffmpeg ? "FFmpeg" : "EasyPlayer"),
                       logStart));
        QCOMPARE(problems.count(), 1);
        QCOMPARE(item->frameCounts().decoded, 0);
        QVERIFY(item->image().isNull());
        QCOMPARE(item->streamStatus(), QStringLiteral("connecting"));
        item->close();
        QVERIFY(item->streamProblem().isEmpty());
        QVERIFY(TestSupport::writeConfig(kConfig));
    }

    void opensStreamAndLogsLatency() {
        const int logStart = sessionLog().size();
        // What reaches the screen is checked by tst_video_picture; here the item's own picture.
        std::unique_ptr<FFmpegItem> item(new FFmpegItem);
        item->setSize(QSizeF(1000, 800));
        item->setUrl(m_sim.url());
        PictureCounter pictures(item->thread());
        item->open();
        QTRY_VERIFY_WITH_TIMEOUT(!item->image().isNull() && pictures.count >= 1, kStreamTimeoutMs);
        // One picture kept the way a GUI would, while the thread decodes many more.
        const QImage held = pictures.last;
        const QImage snapshot = held.copy();
        QCOMPARE(item->videoSize(), QSize(1280, 720));
        QCOMPARE(item->image().size(), QSize(1280, 720));
        QCOMPARE(item->image().format(), QImage::Format_RGB32);
        QCOMPARE(item->contentRect(), QRectF(0, 119, 1000, 562));
        QVERIFY2(stampCounter(item->image()) >= 0, "the simulator's frame stamp must survive decoding and conversion");
        QVERIFY(logged(QStringLiteral("FFmpeg open url=%1 decoder=h264 1280x720 format=rtsp\n").arg(m_sim.url()),
                       logStart));

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
        QTRY_VERIFY_WITH_TIMEOUT(pictures.count >= 20, kStreamTimeoutMs);
        item->close();
        QVERIFY(!item->isPlaying());
        QVERIFY2(held == snapshot, "a picture handed to the GUI was rewritten by the decode thread");
        QVERIFY2(stampCounter(pictures.last) > stampCounter(held), "later pictures must carry later frame counters");
    }

    void pictureSizeChangeMidStream() {
        // Two clips of different picture sizes back to back in one transport stream, made by the ffmpeg tool.
        QTemporaryDir dir;
        const QString joined = dir.path() + QStringLiteral("/joined.ts");
        for (const QString& size : {QStringLiteral("320x240"), QStringLiteral("640x360")}) {
            QProcess ffmpeg;
            ffmpeg.setStandardOutputFile(joined, QIODevice::Append);
            ffmpeg.start(QStringLiteral("ffmpeg"),
                         {"-v", "error", "-f", "lavfi", "-i", QStringLiteral("testsrc=size=%1:rate=30").arg(size), "-t",
                          "1", "-c:v", "libx264", "-pix_fmt", "yuv420p", "-f", "mpegts", "-"});
            QVERIFY(ffmpeg.waitForFinished(30000));
            QCOMPARE(ffmpeg.exitCode(), 0);
        }
        FFmpegItem item;
        QSignalSpy sizes(item.thread(), &FFmpegThread::receiveImageSize);
        PictureCounter pictures(item.thread());
        item.setUrl(joined);
        item.open();
        QTRY_VERIFY_WITH_TIMEOUT(sizes.count() >= 1, kStreamTimeoutMs);
        QCOMPARE(sizes.first(), (QList<QVariant>{320, 240}));
        QTRY_COMPARE_WITH_TIMEOUT(item.videoSize(), QSize(640, 360), kStreamTimeoutMs);
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
        const int logStart = sessionLog().size();
        FFmpegItem item;
        item.setUrl(m_sim.url());
        PictureCounter pictures(item.thread());
        item.open();
        QTRY_VERIFY_WITH_TIMEOUT(pictures.count >= 3, kStreamTimeoutMs);
        QVERIFY(m_sim.pause());
        QTRY_VERIFY_WITH_TIMEOUT(logged(QStringLiteral("FFmpeg stream lost ("), logStart), 30000);
        QVERIFY(m_sim.resume());
        QTRY_VERIFY_WITH_TIMEOUT(item.thread()->reopenCount() >= 1, 30000);
        const int before = pictures.count;
        QTRY_VERIFY_WITH_TIMEOUT(pictures.count >= before + 3, kStreamTimeoutMs);
        const QString lost = sessionLogLines(QStringLiteral("FFmpeg stream lost ("), logStart).first();
        QVERIFY2(lost.contains(QStringLiteral("reopen attempt 1 in 500 ms url=") + m_sim.url()), qPrintable(lost));
        item.close();
    }

    // The ground station is often started before the camera has booted, and the camera's stream may
    // stop for a while: the picture comes up by itself, the last one stays while the stream is away and
    // comes back. The camera's password is part of its URL here: every line about the stream names it
    // as "admin@" (the password taken out), and the password is nowhere in the session log (which holds what went to
    // standard output) nor in the debug output.
    void picturesComeUpLateAndBackAfterOutage_data() {
        QTest::addColumn<bool>("ffmpeg");
        QTest::addColumn<QString>("failedLine");  // logged when there is no stream yet
        QTest::addColumn<QString>("lostLine");    // logged when the stream went away
        QTest::addColumn<QStringList>("naming");  // further lines that name the stream
        const QString reconnecting = QStringLiteral("EasyPlayer stream lost or not available yet, reconnecting url=");
        QTest::newRow("ffmpeg") << true << QStringLiteral("FFmpeg open input error url=")
                                << QStringLiteral("reopen attempt 1 in 500 ms url=")
                                << QStringList{
                                       "FFmpeg stream reopened url=", "FFmpeg open url=", "FFmpegItem open url="};
        QTest::newRow("easyplayer") << false << reconnecting << reconnecting
                                    << QStringList{"EasyPlayer open url=", "EasyPlayer first picture"};
    }

    void picturesComeUpLateAndBackAfterOutage() {
        QFETCH(bool, ffmpeg);
        QFETCH(QString, failedLine);
        QFETCH(QString, lostLine);
        QFETCH(QStringList, naming);
        QVERIFY(placeBesideExecutable());
        const int logStart = sessionLog().size();
        const quint16 port = SimProcess::freeTcpPort();
        const QString secret = QStringLiteral("Pa55-w0rd");
        const QString shown = QStringLiteral("rtsp://admin@127.0.0.1:%1/videoh264_chn0").arg(port);
        const std::unique_ptr<VideoFrameItem> item = makeItem(ffmpeg);
        item->setUrl(QString(shown).replace(QStringLiteral("admin@"), "admin:" + secret + '@'));
        item->open();
        QTRY_VERIFY_WITH_TIMEOUT(logged(failedLine + shown, logStart), kStreamTimeoutMs);
        QCOMPARE(item->streamStatus(), QStringLiteral("connecting"));  // still, across the attempts
        QTest::qWait(4000);
        SimProcess late;
        QVERIFY2(late.startRtsp(VideoTestSupport::repeatingOutage(5, 1.5, 10), port), qPrintable(late.errorOutput()));
        QTRY_VERIFY_WITH_TIMEOUT(!item->image().isNull(), 30000);
        QVERIFY(stampCounter(item->image()) >= 0);
        QVERIFY(
            logged((ffmpeg ? "FFmpeg" : "EasyPlayer") + QStringLiteral(" first picture 1280x720 after "), logStart));
        QCOMPARE(item->streamStatus(), QStringLiteral("playing"));

        const int lostBeforeOutage = sessionLogLines(lostLine, logStart).size();
        QTRY_VERIFY_WITH_TIMEOUT(sessionLogLines(lostLine, logStart).size() > lostBeforeOutage, 30000);
        QVERIFY2(!item->image().isNull(), "the last picture stays while the stream is away");
        const qint64 before = item->frameCounts().decoded;
        QTRY_VERIFY_WITH_TIMEOUT(item->frameCounts().decoded >= before + 5, 30000);
        item->close();
        for (const QString& line : naming + QStringList{lostLine}) {
            const QStringList found = sessionLogLines(line, logStart);
            QVERIFY2(!found.isEmpty() && found.first().contains(shown), qPrintable(line));
        }
        QVERIFY2(!sessionLog().mid(logStart).contains(secret), "the password went into the session log");
        QVERIFY2(!DebugCapture::contains(secret), "the password went into the debug output");
    }

    // EASYPLAYER_DLL_PATH (trimmed) is tried before the copy beside the executable, whose folder alone
    // is put in front of PATH; a candidate that is missing, no library at all or lacks an entry point
    // is left with its reason and the next tried.
    void candidateSearch_data() {
        QTest::addColumn<QByteArray>("explicitPath");
        QTest::addColumn<bool>("beside");
        QTest::addColumn<QString>("loaded");  // none: nothing loads
        QTest::addColumn<QString>("error");   // a pattern of the last error, when one is left
        const QString broken = QStringLiteral(BROKEN_PLAYER_PATH);
        QTest::newRow("explicit-missing")
            << QByteArray("  /nonexistent/dir/libEasyPlayer.so  ") << false << QString()
            << QStringLiteral("^candidate not exists: /nonexistent/dir/libEasyPlayer\\.so$");
        QTest::newRow("explicit-first") << QByteArray(STANDIN_PLAYER_PATH) << true
                                        << QStringLiteral(STANDIN_PLAYER_PATH) << QString();
        QTest::newRow("explicit-broken-unloaded")
            << QFile::encodeName(broken) << true << besideExecutable()
            << QStringLiteral("^resolve api failed: %1$").arg(QRegularExpression::escape(broken));
        QTest::newRow("not-a-library") << QFile::encodeName(m_notALibrary) << false << QString()
                                       << QStringLiteral("^LoadLibrary failed: %1 \\(.*(ELF|short)")
                                              .arg(QRegularExpression::escape(m_notALibrary));
        QTest::newRow("beside-only") << QByteArray() << true << besideExecutable() << QString();
    }

    void candidateSearch() {
        QFETCH(QByteArray, explicitPath);
        QFETCH(bool, beside);
        QFETCH(QString, loaded);
        QFETCH(QString, error);
        qputenv("EASYPLAYER_DLL_PATH", explicitPath);
        QVERIFY(!beside || placeBesideExecutable());
        const QByteArray oldPath = qgetenv("PATH");
        QtEasyPlayerStreamPuller puller;
        QCOMPARE(puller.loadLibrary(), !loaded.isEmpty());
        QCOMPARE(puller.loadedLibraryPath(), loaded);
        QVERIFY(loaded.isEmpty() || PlatformLibrary::isLoaded(loaded));
        QVERIFY2(error.isEmpty() || QRegularExpression(error).match(puller.lastError()).hasMatch(),
                 qPrintable(puller.lastError()));
        // Loaded once per puller: a second call is satisfied at once and prepends nothing more.
        QVERIFY(loaded.isEmpty() || puller.loadLibrary());
        if (beside)
            QCOMPARE(qgetenv("PATH"), QFile::encodeName(TestSupport::appDir()) + ':' + oldPath);
        qputenv("PATH", oldPath);
        QVERIFY2(!PlatformLibrary::isLoaded(QStringLiteral(BROKEN_PLAYER_PATH)), "an incomplete library stays loaded");
    }

    void startFailuresCarryTheirCodes_data() {
        QTest::addColumn<QByteArray>("explicitPath");  // none: the library beside the executable
        QTest::addColumn<bool>("withWidget");
        QTest::addColumn<QString>("url");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("reason");
        QTest::newRow("no-render-widget") << QByteArray() << false << QStringLiteral("rtsp://127.0.0.1:1/live0") << -2
                                          << QStringLiteral("renderWidget is null");
        QTest::newRow("library-refuses-empty-url")
            << QByteArray() << true << QString() << -1 << QStringLiteral("EasyPlayer_OpenStream failed");
        QTest::newRow("only-broken-candidate")
            << QByteArray(BROKEN_PLAYER_PATH) << true << QStringLiteral("rtsp://127.0.0.1:1/live0") << -100
            << QStringLiteral("resolve api failed: %1").arg(BROKEN_PLAYER_PATH);
    }

    void startFailuresCarryTheirCodes() {
        QFETCH(QByteArray, explicitPath);
        QFETCH(bool, withWidget);
        QFETCH(QString, url);
        QFETCH(int, code);
        QFETCH(QString, reason);
        if (explicitPath.isEmpty())
            QVERIFY(placeBesideExecutable());
        else
            qputenv("EASYPLAYER_DLL_PATH", explicitPath);
        QWidget widget;
        QtEasyPlayerStreamPuller puller;
        QSignalSpy failed(&puller, &QtEasyPlayerStreamPuller::streamStartFailed);
        QSignalSpy started(&puller, &QtEasyPlayerStreamPuller::streamStarted);
        QVERIFY(!puller.startPull(url, withWidget ? &widget : nullptr, true, {}, {}, false,
                                  easyplayer::kRenderFormatRgb24));
        QCOMPARE(failed.count(), 1);
        QCOMPARE(failed.first().at(0).toInt(), code);
        QCOMPARE(failed.first().at(1).toString(), reason);
        QCOMPARE(started.count(), 0);
        QCOMPARE(puller.channelId(), -1);
    }

    // No configuration file: the video item takes the player library. Without any library it fails
    // with code -100; it plays once one is placed beside the executable, letter-boxed.
    void picturesArriveThroughStandInLibrary() {
        TestSupport::removeConfig();
        const int logStart = sessionLog().size();
        const QString url = m_sim.url(QStringLiteral("/live/single"));
        std::unique_ptr<VideoPlayerItem> facade(new VideoPlayerItem);
        facade->setSize(QSizeF(1000, 500));
        facade->setUrl(url);
        auto* item = qobject_cast<EasyPlayerItem*>(facade->implementation());
        QVERIFY2(item, "the default backend is the player library");
        QSignalSpy failed(item->puller(), &QtEasyPlayerStreamPuller::streamStartFailed);
        QSignalSpy started(item->puller(), &QtEasyPlayerStreamPuller::streamStarted);
        QSignalSpy stopped(item->puller(), &QtEasyPlayerStreamPuller::streamStopped);
        facade->open();
        QCOMPARE(failed.count(), 1);
        QCOMPARE(failed.first().at(0).toInt(), -100);
        QVERIFY(!item->puller()->isPulling());
        const QStringList lines = sessionLogLines(QStringLiteral("EasyPlayer stream failed"), logStart);
        QVERIFY2(lines.size() == 1 && lines.first().endsWith("code=-100 reason=all candidates failed url=" + url),
                 qPrintable(lines.join('\n')));

        QVERIFY(placeBesideExecutable());
        facade->open();
        QCOMPARE(started.count(), 1);
        const int channel = started.first().first().toInt();
        QVERIFY(channel >= 1);
        QVERIFY(DebugCapture::contains(QStringLiteral("[EasyPlayer] Frame cache set to 2 (runtime), result: 0")));
        QTRY_VERIFY_WITH_TIMEOUT(!item->image().isNull(), kStreamTimeoutMs);
        QCOMPARE(item->image().size(), QSize(1280, 720));
        QCOMPARE(item->image().format(), QImage::Format_RGB888);
        QCOMPARE(facade->contentRect(), QRectF(56, 0, 888, 500));
        QVERIFY2(FrameStamp::decode(item->image()).ok,
                 "the frame stamp must survive the library's RGB conversion and the copy");
        QVERIFY(logged(QStringLiteral("EasyPlayer stream started channel=%1 url=%2").arg(channel).arg(url), logStart));

        // Opening again closes the running channel first. A busy machine may already have made the
        // library reconnect once (a new channel), so the counts are taken from here on.
        const int runningChannel = item->puller()->channelId();
        const int stoppedBefore = stopped.count();
        const int startedBefore = started.count();
        item->open();
        QCOMPARE(stopped.count(), stoppedBefore + 1);
        QCOMPARE(started.count(), startedBefore + 1);
        QVERIFY(started.last().first().toInt() != runningChannel);
        QVERIFY(item->image().isNull());
        QTRY_VERIFY_WITH_TIMEOUT(!item->image().isNull(), kStreamTimeoutMs);
        const int stoppedBeforeClose = stopped.count();
        item->close();
        QCOMPARE(stopped.count(), stoppedBeforeClose + 1);
        QVERIFY(!item->puller()->isPulling());
    }

    void standInFrameCacheBoundsWaitingPictures() {
        QString error;
        PlatformLibrary::Handle library = PlatformLibrary::load(QStringLiteral(STANDIN_PLAYER_PATH), &error);
        QVERIFY2(library, qPrintable(error));
        const auto entry = [library](const char* name) { return PlatformLibrary::resolve(library, name); };
        auto init = reinterpret_cast<easyplayer::InitFn>(entry("EasyPlayer_Init"));
        auto release = reinterpret_cast<easyplayer::ReleaseFn>(entry("EasyPlayer_Release"));
        auto openStream = reinterpret_cast<easyplayer::OpenStreamFn>(entry("EasyPlayer_OpenStream"));
        auto closeStream = reinterpret_cast<easyplayer::CloseStreamFn>(entry("EasyPlayer_CloseStream"));
        auto setFrameCache = reinterpret_cast<easyplayer::SetFrameCacheFn>(entry("EasyPlayer_SetFrameCache"));
        QVERIFY(init && release && openStream && closeStream && setFrameCache);
        QCOMPARE(init(), 0);
        SlowCaller caller;
        const QByteArray url = m_sim.url().toUtf8();
        const int channel = openStream(url.constData(), nullptr, easyplayer::kRenderFormatRgb24, 1, nullptr, nullptr,
                                       &SlowCaller::callback, &caller, false, nullptr, nullptr, 1.0f);
        QVERIFY(channel >= 1);
        QCOMPARE(setFrameCache(channel, 2), 0);
        QCOMPARE(setFrameCache(channel + 1000, 2), -1);
        // A caller taking 150 ms per picture of a 30 fps stream: pictures are dropped, not hoarded.
        QTRY_VERIFY_WITH_TIMEOUT(caller.lastLost > 10, kStreamTimeoutMs);
        closeStream(channel);
        const int delivered = caller.pictures;
        QTest::qWait(300);
        QCOMPARE(caller.pictures.load(), delivered);  // nothing after the channel closed
        release();
        PlatformLibrary::unload(library);
    }

    // Notices on an open channel of the stand-in library that brings no pictures of its own: a
    // reconnect without an address opens the last one again; pictures are checked, copied row by
    // row, and dropped once their channel is closed.
    void pictureNoticesAreCheckedCopiedAndDroppedWhenClosed() {
        QVERIFY(placeBesideExecutable());
        VideoTestSupport::SilentServer silent;
        EasyPlayerItem item;
        item.setSize(QSizeF(100, 100));
        item.setUrl(silent.url());
        QtEasyPlayerStreamPuller* puller = item.puller();
        QSignalSpy started(puller, &QtEasyPlayerStreamPuller::streamStarted);
        QSignalSpy reconnect(puller, &QtEasyPlayerStreamPuller::reconnectRequested);
        item.open();
        const int first = puller->channelId();
        deliverFromLibraryThread(first, puller, easyplayer::kFrameTypeReconnect, nullptr, nullptr);
        QTRY_COMPARE_WITH_TIMEOUT(reconnect.count(), 1, 2000);
        QCOMPARE(reconnect.first().first().toString(), silent.url());
        QCOMPARE(started.count(), 2);
        const int channel = puller->channelId();
        QVERIFY(first >= 1 && channel >= 1 && channel != first);
        // Too few bytes for the announced size: ignored.
        deliverPicture(channel, puller, QByteArray(10, 'x'), 4, 4);
        QCoreApplication::processEvents();
        QVERIFY(item.image().isNull());
        QCOMPARE(item.contentRect(), QRectF(0, 0, 100, 100));

        // A 5-pixel-wide picture: 15-byte rows land in 16-byte image rows one by one.
        QByteArray pixels(5 * 3 * 3, Qt::Uninitialized);
        for (int i = 0; i < pixels.size(); ++i)
            pixels[i] = char(i * 5 + 3);
        deliverPicture(channel, puller, pixels, 5, 3);
        QTRY_VERIFY_WITH_TIMEOUT(!item.image().isNull(), 2000);
        // Row by row copying itself is checked in tst_video_backend; here the last pixel arrives.
        QCOMPARE(item.image().size(), QSize(5, 3));
        QCOMPARE(item.image().pixel(4, 2), qRgb(uchar(pixels[42]), uchar(pixels[43]), uchar(pixels[44])));
        QCOMPARE(item.contentRect(), QRectF(0, 20, 100, 60));

        // Any other frame type goes out as frameArrived with the copied record and no payload.
        QSignalSpy arrived(puller, &QtEasyPlayerStreamPuller::frameArrived);
        easyplayer::FrameInfo info = {};
        info.width = 640;
        info.length = 100;
        deliverFromLibraryThread(channel, puller, 0x08, pixels.data(), &info);
        QTRY_COMPARE_WITH_TIMEOUT(arrived.count(), 1, 2000);
        QCOMPARE(arrived.first().at(0).toInt(), 0x08);
        QVERIFY(arrived.first().at(1).toByteArray().isEmpty());
        QCOMPARE(arrived.first().at(2).value<QtRtspFrameInfo>().width(), 640);

        // Queued by the library just before the operator closed the stream: a picture and a reconnect.
        QByteArray oldUrl = silent.url().toUtf8();
        const auto lateNotices = [&] {
            deliverPicture(channel, puller, QByteArray(2 * 2 * 3, char(0x77)), 2, 2);
            deliverFromLibraryThread(channel, puller, easyplayer::kFrameTypeReconnect, oldUrl.data(), nullptr);
        };
        lateNotices();
        item.close();
        QTest::qWait(200);
        QVERIFY2(!puller->isPulling(), "a reconnect notice of a closed channel must not reopen the stream");
        QCOMPARE(item.image().size(), QSize(5, 3));

        // Opening anew blanks the item; the old channel's late picture must not come back over it.
        item.open();
        QVERIFY(puller->channelId() >= 1 && puller->channelId() != channel);
        lateNotices();
        QTest::qWait(200);
        QVERIFY2(item.image().isNull(), "a picture of the closed channel was painted over the new stream");
        QCOMPARE(reconnect.count(), 1);
        QCOMPARE(started.count(), 3);
        item.close();
    }

    void heldBufferIsNeverRewritten() {
        QtEasyPlayerStreamPuller puller;
        deliverPicture(1, &puller, QByteArray(12, 'a'), 2, 2);
        const QByteArray held = puller.frameBuffer(0);
        QCOMPARE(held, QByteArray(12, 'a'));
        deliverPicture(1, &puller, QByteArray(12, 'b'), 2, 2);
        deliverPicture(1, &puller, QByteArray(12, 'b'), 2, 2);
        QCOMPARE(puller.frameBuffer(0), QByteArray(12, 'b'));
        QCOMPARE(held, QByteArray(12, 'a'));
        QVERIFY(puller.frameBuffer(2).isEmpty());
        QCoreApplication::processEvents();
    }

private:
    SimProcess m_sim;
    QTemporaryDir m_scratch;
    const QString m_notALibrary = m_scratch.filePath(QStringLiteral("libEasyPlayer.so"));
};

QTEST_MAIN(StreamBackendsTest)
#include "tst_stream_backends.moc"
