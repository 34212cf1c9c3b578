// The player-library backend: the candidate search and its precedence, a broken candidate, start
// failures with their codes, pictures through the project's stand-in libEasyPlayer.so from the
// simulator's RTSP stream, reconnect notices, hostile servers, pictures beyond the size limit and
// passwords kept out of the logs.
#include <QDir>
#include <QFile>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QWidget>
#include <QtTest>
#include <atomic>
#include <chrono>
#include <thread>

#include "FrameStamp.h"
#include "TestSupport.h"
#include "VideoTestSupport.h"
#include "app/QmlTypes.h"
#include "video/EasyPlayerAbi.h"
#include "video/EasyPlayerItem.h"
#include "video/PlatformLibrary.h"
#include "video/QtEasyPlayerStreamPuller.h"
#include "video/VideoPlayerItem.h"

using VideoTestSupport::DebugCapture;
using VideoTestSupport::HostileServer;
using VideoTestSupport::logged;
using VideoTestSupport::sessionLog;
using VideoTestSupport::sessionLogLines;

namespace {

constexpr int kStreamTimeoutMs = 15000;

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

}  // namespace

class EasyPlayerBackendTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        DebugCapture::install();
        QVERIFY(AppLog::start());
        QVERIFY(QFileInfo::exists(QStringLiteral(STANDIN_PLAYER_PATH)));
        QVERIFY(QFileInfo::exists(QStringLiteral(BROKEN_PLAYER_PATH)));
        QVERIFY2(m_sim.start(), qPrintable(m_sim.errorOutput()));
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
        QFile::remove(besideExecutable());
    }

    void noLibraryFailsWithCode100() {
        const int logStart = sessionLog().size();
        EasyPlayerItem item;
        QSignalSpy failed(item.puller(), &QtEasyPlayerStreamPuller::streamStartFailed);
        item.setUrl(m_sim.url());
        item.open();
        QCOMPARE(failed.count(), 1);
        QCOMPARE(failed.first().at(0).toInt(), -100);
        QVERIFY(!item.puller()->isPulling());
        const QStringList lines = sessionLogLines(QStringLiteral("EasyPlayer stream failed"), logStart);
        QCOMPARE(lines.size(), 1);
        QVERIFY2(lines.first().endsWith(
                     QStringLiteral("EasyPlayer stream failed code=-100 reason=all candidates failed url=%1")
                         .arg(m_sim.url())),
                 qPrintable(lines.first()));
    }

    // EASYPLAYER_DLL_PATH (trimmed) is tried before the copy beside the executable; a candidate that is
    // missing, no library at all or lacks an entry point is left with its reason and the next tried.
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
    }

    void candidateSearch() {
        QFETCH(QByteArray, explicitPath);
        QFETCH(bool, beside);
        QFETCH(QString, loaded);
        QFETCH(QString, error);
        qputenv("EASYPLAYER_DLL_PATH", explicitPath);
        QVERIFY(!beside || placeBesideExecutable());
        QtEasyPlayerStreamPuller puller;
        QCOMPARE(puller.loadLibrary(), !loaded.isEmpty());
        QCOMPARE(puller.loadedLibraryPath(), loaded);
        QVERIFY(loaded.isEmpty() || PlatformLibrary::isLoaded(loaded));
        QVERIFY2(error.isEmpty() || QRegularExpression(error).match(puller.lastError()).hasMatch(),
                 qPrintable(puller.lastError()));
        QVERIFY2(!PlatformLibrary::isLoaded(QStringLiteral(BROKEN_PLAYER_PATH)), "an incomplete library stays loaded");
    }

    void besideExecutableIsFoundAndOnlyItsDirectoryPrependedToPath() {
        QVERIFY(placeBesideExecutable());
        const QByteArray oldPath = qgetenv("PATH");
        QtEasyPlayerStreamPuller puller;
        QVERIFY2(puller.loadLibrary(), qPrintable(puller.lastError()));
        QCOMPARE(puller.loadedLibraryPath(), besideExecutable());
        QVERIFY(DebugCapture::contains(QStringLiteral("[EasyPlayer] load success:")));
        // Loaded once per puller: a second call is satisfied at once and prepends nothing more.
        QVERIFY(puller.loadLibrary());
        QCOMPARE(qgetenv("PATH"), QFile::encodeName(TestSupport::appDir()) + ':' + oldPath);
        qputenv("PATH", oldPath);
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

    // A server that announces a 2 GB answer and streams it, or one that trickles its answer for ever:
    // the stand-in library gives the open up, memory stays far below what the server announced and the
    // library asks for the stream again. First among the streaming tests, so that the process's peak
    // memory is still that of a small program.
    void hostileServerIsLeftAndTriedAgain_data() { VideoTestSupport::hostileServerRows(); }

    void hostileServerIsLeftAndTriedAgain() {
        QFETCH(qint64, announced);
        QFETCH(qint64, burst);
        QVERIFY(placeBesideExecutable());
        HostileServer hostile(announced, burst);
        const qint64 peakBeforeMb = VideoTestSupport::peakResidentMb();
        EasyPlayerItem item;
        QSignalSpy reconnect(item.puller(), &QtEasyPlayerStreamPuller::reconnectRequested);
        item.setUrl(hostile.url());
        item.open();
        QTRY_VERIFY_WITH_TIMEOUT(hostile.closedByClient() >= 1, 30000);
        QTRY_VERIFY_WITH_TIMEOUT(reconnect.count() >= 1 && hostile.connections() >= 2, 30000);
        QVERIFY(item.puller()->isPulling());
        const qint64 grownMb = VideoTestSupport::peakResidentMb() - peakBeforeMb;
        QVERIFY2(grownMb < 192, qPrintable(QStringLiteral("peak memory grew by %1 MB").arg(grownMb)));
        item.close();
    }

    // A picture larger than Video/MaxPictureSize is refused by the library before it is decoded: the
    // operator is told why, nothing is shown and the library asks for the stream again.
    void pictureBeyondSizeLimitIsRefused() {
        QVERIFY(placeBesideExecutable());
        QVERIFY(TestSupport::writeConfig("[Video]\nMaxPictureSize=640x480\n"));
        const int logStart = sessionLog().size();
        EasyPlayerItem item;
        QSignalSpy problems(&item, &VideoFrameItem::streamProblemChanged);
        QSignalSpy reconnect(item.puller(), &QtEasyPlayerStreamPuller::reconnectRequested);
        QSignalSpy frames(item.puller(), &QtEasyPlayerStreamPuller::frameBufferReady);
        item.setUrl(m_sim.url());
        item.open();
        QTRY_COMPARE_WITH_TIMEOUT(item.streamProblem().value(QStringLiteral("kind")).toString(),
                                  QStringLiteral("pictureTooLarge"), kStreamTimeoutMs);
        QCOMPARE(item.streamProblem().value(QStringLiteral("detail")).toString(), QStringLiteral("1280x720 > 640x480"));
        QTRY_VERIFY_WITH_TIMEOUT(reconnect.count() >= 2, kStreamTimeoutMs);
        QVERIFY(logged(QStringLiteral("EasyPlayer stream refused, picture 1280x720 larger than 640x480"), logStart));
        QCOMPARE(problems.count(), 1);  // told once, not at every attempt
        QCOMPARE(frames.count(), 0);
        QVERIFY(item.image().isNull());
        item.close();
        QVERIFY(item.streamProblem().isEmpty());
        TestSupport::removeConfig();
    }

    // No configuration file: the QML video item plays through the player library found beside the
    // executable, letter-boxed.
    void picturesArriveThroughStandInLibraryFromQml() {
        TestSupport::removeConfig();
        QVERIFY(placeBesideExecutable());
        const int logStart = sessionLog().size();
        const QString url = m_sim.url(QStringLiteral("/live/single"));
        registerQmlTypes();
        QQmlEngine engine;
        QQmlComponent component(&engine);
        component.setData(QStringLiteral("import QtQuick 2.15\nimport Skyvane 1.0\n"
                                         "FFmpegItem { width: 1000; height: 500; url: \"%1\" }")
                              .arg(url)
                              .toUtf8(),
                          QUrl());
        QScopedPointer<QObject> root(component.create());
        QVERIFY2(root, qPrintable(component.errorString()));
        auto* facade = qobject_cast<VideoPlayerItem*>(root.data());
        QVERIFY(facade);
        auto* item = qobject_cast<EasyPlayerItem*>(facade->implementation());
        QVERIFY2(item, "the default backend is the player library");
        QSignalSpy started(item->puller(), &QtEasyPlayerStreamPuller::streamStarted);
        QSignalSpy stopped(item->puller(), &QtEasyPlayerStreamPuller::streamStopped);
        facade->open();
        QCOMPARE(started.count(), 1);
        const int channel = started.first().first().toInt();
        QVERIFY(channel >= 1);
        QVERIFY(DebugCapture::contains(QStringLiteral("[EasyPlayer] Frame cache set to 2 (runtime), result: 0")));
        QTRY_VERIFY_WITH_TIMEOUT(!item->image().isNull(), kStreamTimeoutMs);
        QCOMPARE(item->image().size(), QSize(1280, 720));
        QCOMPARE(item->image().format(), QImage::Format_RGB888);
        QCOMPARE(facade->property("contentRect").toRectF(), QRectF(56, 0, 888, 500));
        QCOMPARE(item->puller()->loadedLibraryPath(), besideExecutable());
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

    void reconnectNoticeWithoutUrlRestartsLastUrl() {
        QVERIFY(placeBesideExecutable());
        EasyPlayerItem item;
        item.setUrl(m_sim.url());
        QSignalSpy started(item.puller(), &QtEasyPlayerStreamPuller::streamStarted);
        QSignalSpy stopped(item.puller(), &QtEasyPlayerStreamPuller::streamStopped);
        QSignalSpy reconnect(item.puller(), &QtEasyPlayerStreamPuller::reconnectRequested);
        item.open();
        QCOMPARE(started.count(), 1);
        // The library may have reconnected on its own on a busy machine: counts are taken from here.
        const int channel = item.puller()->channelId();
        const int reconnectsBefore = reconnect.count();
        const int stoppedBefore = stopped.count();
        const int startedBefore = started.count();
        deliverFromLibraryThread(channel, item.puller(), easyplayer::kFrameTypeReconnect, nullptr, nullptr);
        QTRY_VERIFY_WITH_TIMEOUT(reconnect.count() > reconnectsBefore, 2000);
        QCOMPARE(reconnect.at(reconnectsBefore).first().toString(), m_sim.url());
        QCOMPARE(stopped.count(), stoppedBefore + 1);
        QCOMPARE(started.count(), startedBefore + 1);
        QVERIFY(item.puller()->channelId() != channel);
        QCOMPARE(item.puller()->url(), m_sim.url());
        QSignalSpy frames(item.puller(), &QtEasyPlayerStreamPuller::frameBufferReady);
        QTRY_VERIFY_WITH_TIMEOUT(frames.count() >= 3, kStreamTimeoutMs);
        item.close();
    }

    // Started before the camera has booted, then a stream outage: the library's reconnect notices,
    // sent after a growing pause, bring the picture up by themselves, and back; the last picture stays
    // meanwhile. With the camera's password in its URL, no line about the stream gives it away.
    void picturesComeUpLateAndBackAfterOutage() {
        QVERIFY(placeBesideExecutable());
        const int logStart = sessionLog().size();
        const quint16 port = SimProcess::freeTcpPort();
        const QString plain = QStringLiteral("rtsp://127.0.0.1:%1/videoh264_chn0").arg(port);
        const QString secret = QStringLiteral("Pa55-w0rd");
        const QString url = VideoTestSupport::withCredentials(plain, QStringLiteral("admin"), secret);
        const QString shown = VideoTestSupport::withCredentials(plain, QStringLiteral("admin"), QString());
        EasyPlayerItem item;
        item.setUrl(url);
        QSignalSpy reconnect(item.puller(), &QtEasyPlayerStreamPuller::reconnectRequested);
        QSignalSpy frames(item.puller(), &QtEasyPlayerStreamPuller::frameBufferReady);
        item.open();
        QCOMPARE(item.streamStatus(), QStringLiteral("connecting"));
        QTRY_VERIFY_WITH_TIMEOUT(reconnect.count() >= 1, kStreamTimeoutMs);
        QCOMPARE(reconnect.first().first().toString(), url);
        QCOMPARE(item.streamStatus(), QStringLiteral("connecting"));  // still, across the reconnects
        QTest::qWait(4000);
        VideoTestSupport::Simulator late;
        QVERIFY2(late.start(VideoTestSupport::repeatingOutage(5, 1.5, 10), port), qPrintable(late.errorOutput()));
        QTRY_VERIFY_WITH_TIMEOUT(!item.image().isNull(), 30000);
        QVERIFY(FrameStamp::decode(item.image()).ok);
        QVERIFY(logged(QStringLiteral("EasyPlayer first picture 1280x720 after "), logStart));
        QCOMPARE(item.streamStatus(), QStringLiteral("playing"));

        const int reconnectsBeforeOutage = reconnect.count();
        QTRY_VERIFY_WITH_TIMEOUT(reconnect.count() > reconnectsBeforeOutage, 20000);
        QVERIFY2(!item.image().isNull(), "the last picture stays while the stream is away");
        const int before = frames.count();
        QTRY_VERIFY_WITH_TIMEOUT(frames.count() >= before + 5, 30000);
        QVERIFY(item.puller()->isPulling());
        item.close();
        for (const QString& line : {QStringLiteral("EasyPlayer open url="), QStringLiteral("EasyPlayer first picture"),
                                    QStringLiteral("EasyPlayer stream lost or not available yet, reconnecting url=")}) {
            const QStringList found = sessionLogLines(line, logStart);
            QVERIFY2(!found.isEmpty() && found.first().contains(shown), qPrintable(line));
        }
        QVERIFY2(!sessionLog().mid(logStart).contains(secret), "the password went into the session log");
        QVERIFY2(!DebugCapture::contains(secret), "the password went into the debug output");
    }

    void standInFrameCacheBoundsWaitingPictures() {
        QString error;
        PlatformLibrary::Handle library = PlatformLibrary::load(QStringLiteral(STANDIN_PLAYER_PATH), &error);
        QVERIFY2(library, qPrintable(error));
        auto init = reinterpret_cast<easyplayer::InitFn>(PlatformLibrary::resolve(library, "EasyPlayer_Init"));
        auto release = reinterpret_cast<easyplayer::ReleaseFn>(PlatformLibrary::resolve(library, "EasyPlayer_Release"));
        auto openStream =
            reinterpret_cast<easyplayer::OpenStreamFn>(PlatformLibrary::resolve(library, "EasyPlayer_OpenStream"));
        auto closeStream =
            reinterpret_cast<easyplayer::CloseStreamFn>(PlatformLibrary::resolve(library, "EasyPlayer_CloseStream"));
        auto setFrameCache = reinterpret_cast<easyplayer::SetFrameCacheFn>(
            PlatformLibrary::resolve(library, "EasyPlayer_SetFrameCache"));
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

    // Picture notices on an open channel of the stand-in library that brings no pictures of its own:
    // checked, copied row by row, and dropped once their channel is closed.
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
        const int channel = puller->channelId();
        QVERIFY(channel >= 1);
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
        const QImage image = item.image();
        QCOMPARE(image.size(), QSize(5, 3));
        for (int y = 0; y < 3; ++y) {
            for (int x = 0; x < 5; ++x) {
                const char* p = pixels.constData() + (y * 5 + x) * 3;
                QCOMPARE(image.pixel(x, y), qRgb(uchar(p[0]), uchar(p[1]), uchar(p[2])));
            }
        }
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
        QCOMPARE(reconnect.count(), 0);
        QCOMPARE(started.count(), 2);
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
    VideoTestSupport::Simulator m_sim;
    QTemporaryDir m_scratch;
    const QString m_notALibrary = m_scratch.filePath(QStringLiteral("libEasyPlayer.so"));
};

QTEST_MAIN(EasyPlayerBackendTest)
#include "tst_easyplayer_backend.moc"
