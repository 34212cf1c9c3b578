// Backend selection from skyvane.cfg, the VideoPlayerItem facade, picture geometry, the latency
// statistics' arithmetic, the picture size limit and stream URLs as logged. No stream needed.
#include <QQuickItem>
#include <QSignalSpy>
#include <QtTest>

#include "TestSupport.h"
#include "VideoTestSupport.h"
#include "app/AppLog.h"
#include "video/EasyPlayerItem.h"
#include "video/FFmpegDecodeStats.h"
#include "video/FFmpegItem.h"
#include "video/FFmpegThread.h"
#include "video/QtEasyPlayerStreamPuller.h"
#include "video/StreamSafety.h"
#include "video/VideoBackend.h"
#include "video/VideoGeometry.h"
#include "video/VideoPlayerItem.h"

using VideoTestSupport::sessionLog;
using VideoTestSupport::sessionLogLines;

class VideoBackendTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY2(AppLog::start(), "session log must start in the test's application directory"); }
    void init() { TestSupport::removeConfig(); }
    void cleanupTestCase() { TestSupport::removeConfig(); }

    void resolvesBackend_data() {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<bool>("expectFfmpeg");
        QTest::addColumn<QString>("expectRaw");
        QTest::addColumn<bool>("expectWarning");
        QTest::newRow("ffmpeg-mixed-case-trailing-blank")
            << QByteArray("[Video]\nBackend=\"FFmpeg \"\n") << true << QStringLiteral("FFmpeg ") << false;
        QTest::newRow("only-video-section-ffmpeg")
            << QByteArray("[Video]\nBackend=ffmpeg\n") << true << QStringLiteral("ffmpeg") << false;
        QTest::newRow("unknown-word") << QByteArray("[Video]\nBackend=VLC-Player\n") << false
                                      << QStringLiteral("VLC-Player") << true;
        QTest::newRow("empty-value") << QByteArray("[Video]\nBackend=\n") << false << QString() << false;
        QTest::newRow("missing-key") << QByteArray("[Video]\nLatencyLogEnabled=false\n") << false
                                     << QStringLiteral("easyplayer") << false;
        QTest::newRow("easyplayer-upper-case")
            << QByteArray("[Video]\nBackend=EASYPLAYER\n") << false << QStringLiteral("EASYPLAYER") << false;
    }

    void resolvesBackend() {
        QFETCH(QByteArray, ini);
        QFETCH(bool, expectFfmpeg);
        QFETCH(QString, expectRaw);
        QFETCH(bool, expectWarning);
        QVERIFY(TestSupport::writeConfig(ini));
        const int logStart = sessionLog().size();

        QCOMPARE(resolveVideoBackendIsFfmpeg(), expectFfmpeg);
        QCOMPARE(videoBackendName(), expectFfmpeg ? QStringLiteral("ffmpeg") : QStringLiteral("easyplayer"));

        const QString resolved = QStringLiteral("Resolved backend=%1 config=%2 raw=%3 ffmpeg_built=yes")
                                     .arg(expectFfmpeg ? "ffmpeg" : "easyplayer", videoConfigFilePath(), expectRaw);
        QCOMPARE(sessionLogLines(QStringLiteral("Resolved backend="), logStart).size(), 2);  // logged on every call
        QVERIFY2(VideoTestSupport::logged(resolved + '\n', logStart), qPrintable(sessionLog().mid(logStart)));
        const QStringList warnings = sessionLogLines(
            QStringLiteral("Unknown Video/Backend=%1, fallback to easyplayer").arg(expectRaw), logStart);
        QCOMPARE(warnings.size(), expectWarning ? 2 : 0);
        QVERIFY(warnings.isEmpty() || warnings.first().startsWith(QStringLiteral("W/video")));
    }

    void facadeCreatesConfiguredBackend_data() {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<bool>("expectFfmpeg");
        QTest::newRow("no-file") << QByteArray() << false;
        QTest::newRow("ffmpeg") << QByteArray("[Video]\nBackend=ffmpeg\n") << true;
        QTest::newRow("easyplayer") << QByteArray("[Video]\nBackend=easyplayer\n") << false;
    }

    void facadeCreatesConfiguredBackend() {
        QFETCH(QByteArray, ini);
        QFETCH(bool, expectFfmpeg);
        if (!ini.isEmpty())
            QVERIFY(TestSupport::writeConfig(ini));
        const int logStart = sessionLog().size();
        VideoPlayerItem facade;
        QVERIFY(facade.implementation());
        QCOMPARE(facade.implementation()->parentItem(), &facade);
        QCOMPARE(facade.implementation()->parent(), &facade);
        QCOMPARE(bool(qobject_cast<FFmpegItem*>(facade.implementation())), expectFfmpeg);
        QCOMPARE(bool(qobject_cast<EasyPlayerItem*>(facade.implementation())), !expectFfmpeg);
        QCOMPARE(sessionLogLines(QStringLiteral("VideoPlayerItem created impl="), logStart).size(), 1);
        // Without a file the default is taken, and the operator told where the file was looked for.
        const QString notFound = QStringLiteral("Config file not found (%1), default backend=easyplayer");
        QCOMPARE(sessionLogLines(notFound.arg(TestSupport::configPath()), logStart).isEmpty(), !ini.isEmpty());
        QCOMPARE(sessionLogLines(QStringLiteral("Resolved backend="), logStart).isEmpty(), ini.isEmpty());
        // The default URL is the camera's. A URL set is handed on without opening anything.
        QVERIFY(facade.url().endsWith(QStringLiteral(":8600/videoh264_chn0")));
        QSignalSpy urlSpy(&facade, &VideoPlayerItem::urlChanged);
        const QString url = QStringLiteral("rtsp://127.0.0.1:1/live0");
        facade.setUrl(url);
        const int emitted = urlSpy.count();
        QVERIFY(emitted >= 1);
        facade.setUrl(url);
        QCOMPARE(urlSpy.count(), emitted);
        QCOMPARE(facade.implementation()->property("url").toString(), url);
        if (auto* ffmpeg = qobject_cast<FFmpegItem*>(facade.implementation()))
            QVERIFY(!ffmpeg->isPlaying());
        if (auto* easy = qobject_cast<EasyPlayerItem*>(facade.implementation()))
            QCOMPARE(easy->puller()->channelId(), -1);

        // The backend fills the facade from its origin, however either is moved or resized.
        QSignalSpy rectSpy(&facade, &VideoPlayerItem::contentRectChanged);
        facade.setPosition(QPointF(30, 40));
        facade.setSize(QSizeF(640, 360));
        QCOMPARE(facade.implementation()->position(), QPointF(0, 0));
        QCOMPARE(facade.implementation()->size(), QSizeF(640, 360));
        facade.implementation()->setPosition(QPointF(5, 5));
        facade.setWidth(800);
        QCOMPARE(facade.implementation()->position(), QPointF(0, 0));
        QCOMPARE(facade.implementation()->size(), QSizeF(800, 360));
        // Until the picture size is known the picture may use the whole item.
        QCOMPARE(facade.contentRect(), QRectF(0, 0, 800, 360));
        QVERIFY(rectSpy.count() >= 2);
    }

    void letterBox_data() {
        QTest::addColumn<QSize>("video");
        QTest::addColumn<QSizeF>("item");
        QTest::addColumn<QRect>("expected");
        QTest::newRow("wide-item") << QSize(1920, 1080) << QSizeF(1000, 500) << QRect(56, 0, 888, 500);
        QTest::newRow("tall-item") << QSize(1920, 1080) << QSizeF(1000, 800) << QRect(0, 119, 1000, 562);
        QTest::newRow("exact-fit") << QSize(1280, 720) << QSizeF(640, 360) << QRect(0, 0, 640, 360);
        QTest::newRow("fractional-item") << QSize(1280, 720) << QSizeF(333.7, 500.9) << QRect(0, 156, 333, 187);
        QTest::newRow("size-unknown") << QSize(0, 0) << QSizeF(320, 200) << QRect(0, 0, 320, 200);
        QTest::newRow("empty-item") << QSize(1280, 720) << QSizeF(0, 0) << QRect(0, 0, 0, 0);
    }

    void letterBox() {
        QFETCH(QSize, video);
        QFETCH(QSizeF, item);
        QFETCH(QRect, expected);
        QCOMPARE(letterBoxRect(video.width(), video.height(), item), expected);
    }

    void contentRectFollowsPictureSize() {
        FFmpegItem item;
        item.setSize(QSizeF(1000, 500));
        QSignalSpy rectSpy(&item, &FFmpegItem::contentRectChanged);
        QVERIFY(QMetaObject::invokeMethod(&item, "setSize", Q_ARG(int, 1920), Q_ARG(int, 1080)));
        QCOMPARE(item.contentRect(), QRectF(56, 0, 888, 500));
        QCOMPARE(rectSpy.count(), 1);
        // The same size again changes nothing; a new size mid-stream moves the rectangle.
        QVERIFY(QMetaObject::invokeMethod(&item, "setSize", Q_ARG(int, 1920), Q_ARG(int, 1080)));
        QCOMPARE(rectSpy.count(), 1);
        QVERIFY(QMetaObject::invokeMethod(&item, "setSize", Q_ARG(int, 1000), Q_ARG(int, 1000)));
        QCOMPARE(item.contentRect(), QRectF(250, 0, 500, 500));
        QCOMPARE(rectSpy.count(), 2);
        item.setHeight(800);
        QCOMPARE(item.contentRect(), QRectF(100, 0, 800, 800));
    }

    void latencySettings_data() {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<int>("interval");
        QTest::newRow("absent") << QByteArray() << true << 5;
        QTest::newRow("zero-clamped-to-1") << QByteArray("[Video]\nLatencyLogIntervalSec=0\n") << true << 1;
        QTest::newRow("900-clamped-to-300") << QByteArray("[Video]\nLatencyLogIntervalSec=900\n") << true << 300;
        QTest::newRow("garbage-reads-0") << QByteArray("[Video]\nLatencyLogIntervalSec=abc\n") << true << 1;
        QTest::newRow("disabled") << QByteArray("[Video]\nLatencyLogEnabled=false\nLatencyLogIntervalSec=7\n") << false
                                  << 7;
    }

    void latencySettings() {
        QFETCH(QByteArray, ini);
        QFETCH(bool, enabled);
        QFETCH(int, interval);
        if (!ini.isEmpty())
            QVERIFY(TestSupport::writeConfig(ini));
        const LatencyLogSettings settings = LatencyLogSettings::read();
        QCOMPARE(settings.enabled, enabled);
        QCOMPARE(settings.intervalSec, interval);
        // Each FFmpeg item says which applies.
        const int logStart = sessionLog().size();
        { FFmpegItem item; }
        const QString told = enabled ? QStringLiteral("延迟统计日志已开启, 汇总间隔=%1秒").arg(interval)
                                     : QStringLiteral("延迟统计日志已关闭");
        QCOMPARE(sessionLogLines(told + QStringLiteral(" (配置: %1)").arg(TestSupport::configPath()), logStart).size(),
                 1);
    }

    // Video/MaxPictureSize: a value not understood falls back to the default with a log line, and the
    // allocation cap always leaves room for a plane of the largest picture allowed.
    void maxPictureSizeSetting_data() {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<QSize>("limit");
        QTest::addColumn<bool>("warned");
        QTest::newRow("absent") << QByteArray() << QSize(8192, 8192) << false;
        QTest::newRow("small") << QByteArray("[Video]\nMaxPictureSize=640x480\n") << QSize(640, 480) << false;
        QTest::newRow("blanks-and-upper-x")
            << QByteArray("[Video]\nMaxPictureSize= 3840 X 2160 \n") << QSize(3840, 2160) << false;
        QTest::newRow("largest") << QByteArray("[Video]\nMaxPictureSize=16384x16384\n") << QSize(16384, 16384) << false;
        QTest::newRow("too-large") << QByteArray("[Video]\nMaxPictureSize=16386x16\n") << QSize(8192, 8192) << true;
        QTest::newRow("zero") << QByteArray("[Video]\nMaxPictureSize=0x0\n") << QSize(8192, 8192) << true;
        QTest::newRow("one-side") << QByteArray("[Video]\nMaxPictureSize=1920\n") << QSize(8192, 8192) << true;
        QTest::newRow("negative") << QByteArray("[Video]\nMaxPictureSize=-640x480\n") << QSize(8192, 8192) << true;
        QTest::newRow("words") << QByteArray("[Video]\nMaxPictureSize=huge\n") << QSize(8192, 8192) << true;
    }

    void maxPictureSizeSetting() {
        QFETCH(QByteArray, ini);
        QFETCH(QSize, limit);
        QFETCH(bool, warned);
        if (!ini.isEmpty())
            QVERIFY(TestSupport::writeConfig(ini));
        const int logStart = sessionLog().size();
        QCOMPARE(maxPictureSize(), limit);
        QCOMPARE(sessionLogLines(QStringLiteral("Video/MaxPictureSize="), logStart).size(), warned ? 1 : 0);
        QVERIFY(allocationCapFor(limit) >= 2LL * limit.width() * limit.height());
        QVERIFY(allocationCapFor(limit) < 2000000000LL);
        QVERIFY(pictureSizeAllowed(limit, limit));
        QVERIFY(!pictureSizeAllowed(limit + QSize(2, 0), limit));
        QVERIFY(!pictureSizeAllowed(limit + QSize(0, 2), limit));
    }

    void statsWindowSummary() {
        FFmpegStatsWindow window;
        QVERIFY(window.empty());
        window.addPicture(1000, 4000, 2000, -1);
        window.addPicture(3000, 6000, 4000, -1);
        FFmpegDecodeStats stats = window.summary(2000000);
        QCOMPARE(stats.decodedFrames, 2);
        QCOMPARE(stats.windowSeconds, 2.0);
        QCOMPARE(stats.decodeFps, 1.0);
        QCOMPARE(stats.readAvgMs, 2.0);
        QCOMPARE(stats.readMaxMs, 3.0);
        QCOMPARE(stats.decodeAvgMs, 5.0);
        QCOMPARE(stats.convertMaxMs, 4.0);
        QCOMPARE(stats.pipelineAvgMs, 10.0);
        QCOMPARE(stats.backlogAvgMs, -1.0);  // no packet had a time stamp
        QCOMPARE(stats.backlogSamples, 0);
        // Such a window is logged without the backlog and without the end-to-end estimate.
        const int logStart = sessionLog().size();
        FFmpegItem item;
        QVERIFY(QMetaObject::invokeMethod(&item, "onDecodeStatsReady", Q_ARG(FFmpegDecodeStats, stats)));
        const QStringList lines = sessionLogLines(QStringLiteral("延迟统计[窗口2.0秒]"), logStart);
        QCOMPARE(lines.size(), 1);
        QVERIFY2(lines.first().contains(QStringLiteral("缓冲积压无有效PTS")), qPrintable(lines.first()));
        QVERIFY2(lines.first().endsWith(QStringLiteral("应用内处理约10.0毫秒 | 画面帧: 解码0 绘制0 替换0")),
                 qPrintable(lines.first()));
        QVERIFY(!lines.first().contains(QStringLiteral("端到端估计")));
        window.addPicture(0, 0, 0, 30000);
        stats = window.summary(1000000);
        QCOMPARE(stats.backlogSamples, 1);
        QCOMPARE(stats.backlogAvgMs, 30.0);
        window.reset();
        QVERIFY(window.empty());
    }

    // Media times below zero are real times, not "no baseline"; a jump back of seconds is a new
    // baseline, a fraction of a second is not.
    void backlogBaseline() {
        BacklogClock clock;
        QCOMPARE(clock.sample(10000000, 500000000), qint64(0));       // baseline
        QCOMPARE(clock.sample(10100000, 500150000), qint64(50000));   // wall ran 50 ms ahead
        QCOMPARE(clock.sample(10200000, 500200000), qint64(0));       // ahead of the wall: clamped to 0
        QCOMPARE(clock.sample(10000000, 500400000), qint64(400000));  // back by 0.2 s: same baseline
        QCOMPARE(clock.sample(-2000000, 501000000), qint64(0));       // back by 12 s: new baseline
        QCOMPARE(clock.sample(-1900000, 501150000), qint64(50000));
        QCOMPARE(clock.sample(100000, 503170000), qint64(70000));  // across zero: same baseline
    }

    // Doubling from 500 ms, capped at 5 s from the fifth attempt on.
    void reopenBackOffGrowsAndIsBounded() {
        const QList<QPair<int, int>> delays{{0, 500}, {1, 1000}, {2, 2000}, {3, 4000}, {4, 5000}, {40, 5000}};
        for (const auto& [attempt, delayMs] : delays)
            QCOMPARE(FFmpegThread::reopenDelayMs(attempt), delayMs);
    }

    // Rows of 12, 15, 3 and 21 bytes into image rows padded to 4 bytes.
    void oddWidthRowsCopiedRowByRow() {
        const int height = 3;
        for (const int width : {4, 5, 1, 7}) {
            QByteArray packed(width * height * 3, Qt::Uninitialized);
            for (int i = 0; i < packed.size(); ++i)
                packed[i] = char(i * 7 + 1);
            QImage image(width, height, QImage::Format_RGB888);
            copyPackedRgb24(packed.constData(), width, height, &image);
            for (int y = 0; y < height; ++y) {
                const QByteArray row(reinterpret_cast<const char*>(image.constScanLine(y)), width * 3);
                QVERIFY2(row == packed.mid(y * width * 3, width * 3),
                         qPrintable(QStringLiteral("width %1, row %2").arg(width).arg(y)));
            }
        }
    }

    void frameInfoRecordCopy() {
        easyplayer::FrameInfo info = {};
        info.codec = 0x1C;
        info.width = 1280;
        info.height = 720;
        info.reserved2 = 0xAAAAAAAA;  // bytes 16..23 are not copied
        info.reserved3 = 0xBBBBBBBB;
        info.sampleRate = 11;
        info.length = 1280 * 720 * 3;
        info.lostPackets = 0x01020304;
        const QtRtspFrameInfo copy = QtRtspFrameInfo::fromLibraryRecord(info);
        QCOMPARE(copy.width(), 1280);
        QCOMPARE(copy.height(), 720);
        QCOMPARE(copy.length(), quint32(1280 * 720 * 3));
        QCOMPARE(int(copy.bytes[16]), 11);    // the library's offset 24
        QCOMPARE(int(copy.bytes[44]), 0x04);  // the library's offset 52
        QCOMPARE(int(copy.bytes[0]), 0x1C);
    }
};

QTEST_MAIN(VideoBackendTest)
#include "tst_video_backend.moc"
