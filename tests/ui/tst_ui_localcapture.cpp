// The video panel's own tools, driven with real clicks while the simulator's stream plays: recording
// and snapshots on this computer (what the operator gets is the file and the line naming it in the
// message log; an unwritable folder is reported and playback goes on), the stream health overlay and
// the notice while the stream is away; the other backend offers none of them.
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include "FrameStamp.h"
#include "UiFixture.h"
#include "VideoTestSupport.h"
#include "video/FFmpegItem.h"

class TestUiLocalCapture : public QObject {
    Q_OBJECT

    VideoTestSupport::Simulator sim;
    Ui::Fixture ui;
    QTemporaryDir folder;

    QByteArray config(const QString& language, const QString& recordingDir, const char* backend = "ffmpeg",
                      const QString& url = QString()) const {
        const QByteArray video = "Backend=" + QByteArray(backend) + "\nRecordingDir=" + recordingDir.toUtf8();
        return Ui::config(language, "Wren-R2", {url.isEmpty() ? sim.url() : url}).replace("Backend=easyplayer", video);
    }

    FFmpegItem* backend() const {
        auto* facade = qobject_cast<VideoPlayerItem*>(ui.item("videoItem"));
        return facade ? qobject_cast<FFmpegItem*>(facade->implementation()) : nullptr;
    }

    // Starts the interface and waits until the stream plays and the picture has found its place.
    bool startPlaying(const QByteArray& ini) { return ui.start(ini, QSize(1280, 800)) && ui.waitForSteadyPicture(); }

    // The path a message-log line names after prefix ("" when there is no such line).
    QString pathAfter(const QString& prefix) const {
        const QRegularExpression line(QRegularExpression::escape(prefix) + QStringLiteral("(\\S+)"));
        const QRegularExpressionMatch match = line.match(ui.bridge->messageLog());
        return match.hasMatch() ? match.captured(1) : QString();
    }

private slots:
    void initTestCase() {
        QVERIFY(folder.isValid());
        QVERIFY2(sim.start(), qPrintable(sim.errorOutput()));
    }
    void init() { Ui::installPictures(); }
    void cleanup() { ui.stop(); }

    void snapshotsHaveTheStreamsFullSizeAndRecordingsAreNamed() {
        QVERIFY(startPlaying(config("en", folder.path())));
        const QRectF shown = ui.item("videoItem")->property("contentRect").toRectF();
        QVERIFY2(shown.width() <= 1280 * 0.6, qPrintable(QString("shown %1 wide").arg(shown.width())));

        QTest::mouseClick(ui.window, Qt::RightButton, Qt::NoModifier, ui.centre(ui.item("videoItem")));
        QTRY_VERIFY(ui.item("snapshotMenuItem") && ui.item("snapshotMenuItem")->isVisible());
        Ui::Fixture::settle();
        QVERIFY(ui.click("snapshotMenuItem"));

        QTRY_VERIFY_WITH_TIMEOUT(!pathAfter("Snapshot saved: ").isEmpty(), 10000);
        const QImage snapshot(pathAfter("Snapshot saved: "));
        QCOMPARE(snapshot.size(), QSize(1280, 720));
        QVERIFY2(FrameStamp::decode(snapshot).ok, "the stamp reads from the saved picture");

        // Two more at once (written on a worker thread): each gets its own file, and both are whole.
        QVERIFY(ui.click("snapshotButton"));
        QVERIFY(ui.click("snapshotButton"));
        QTRY_COMPARE_WITH_TIMEOUT(ui.bridge->messageLog().count("Snapshot saved: "), 3, 10000);
        const QStringList saved = QDir(folder.path()).entryList({"*.png"}, QDir::Files);
        QCOMPARE(saved.size(), 3);
        for (const QString& name : saved)
            QCOMPARE(QImage(folder.filePath(name)).size(), QSize(1280, 720));

        // The record button records and names the file.
        QVERIFY(ui.click("localRecordButton"));
        QTRY_VERIFY_WITH_TIMEOUT(!pathAfter("Local recording started: ").isEmpty(), 10000);
        const QString path = pathAfter("Local recording started: ");
        QQuickItem* badgeText = ui.item("localRecordingBadgeText");
        QVERIFY(badgeText && ui.item("localRecordingBadge")->isVisible());
        // The badge counts the time and the size as they grow.
        QTRY_VERIFY_WITH_TIMEOUT(badgeText->property("text").toString().contains("REC 00:02"), 10000);
        QVERIFY2(!badgeText->property("text").toString().contains(" 0.0 MB"),
                 qPrintable(badgeText->property("text").toString()));

        QVERIFY(ui.click("localRecordButton"));
        QTRY_COMPARE_WITH_TIMEOUT(pathAfter("Local recording saved: "), path, 10000);
        QVERIFY(!ui.item("localRecordingBadge")->isVisible());
        QVERIFY(QFileInfo(path).size() > 0);
    }

    // In either language, and each time the operator tries again.
    void unwritableFolderIsReportedAndPlaybackGoesOn() {
        // A folder below a plain file cannot be made, whoever runs the test.
        QFile blocker(folder.filePath("not-a-folder"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        QVERIFY(startPlaying(config("en", blocker.fileName() + "/recordings")));
        const QString folderName = QDir::toNativeSeparators(blocker.fileName());
        for (const QString& message :
             {QString("Local recording stopped: cannot write to "), QString::fromUtf8("本地录像已停止, 无法写入 ")}) {
            ui.bridge->setLanguage(message.startsWith("Local") ? "en" : "zh");
            QVERIFY(ui.click("localRecordButton"));
            QTRY_VERIFY(ui.bridge->messageLog().contains(message + folderName));
            QVERIFY(!ui.item("localRecordingBadge")->isVisible());
        }
        const qint64 decoded = backend()->frameCounts().decoded;
        QTRY_VERIFY_WITH_TIMEOUT(backend()->frameCounts().decoded > decoded + 10, 30000);
    }

    void statsOverlayShowsTheBackendsFiguresAndIsRemembered() {
        QVERIFY(startPlaying(config("en", folder.path())));
        QVERIFY(!ui.item("streamStatsOverlay")->isVisible());
        QVERIFY(ui.click("streamStatsButton"));
        QTRY_VERIFY(ui.item("streamStatsOverlay")->isVisible());
        QVERIFY(TestSupport::readFile(TestSupport::configPath()).contains("ShowStats=true"));
        // The head-up display's rows sit in the letter-box bars above and below the picture.
        for (const char* row : {"hudTopRow", "hudBottomRow"}) {
            const QRectF shown = ui.sceneRect(QString::fromLatin1(row));
            QVERIFY2(shown.height() > 0 && !shown.intersects(ui.picture()), row);
        }

        // The figures shown are the backend's own, once it has measured a second of the stream (the
        // simulator sends 30 pictures a second; a loaded machine may receive fewer).
        const QRegularExpression fps("FPS received/shown: ([0-9.]+) / ([0-9.]+)");
        QTRY_VERIFY_WITH_TIMEOUT(backend()->streamStats().value("receivedFps").toDouble() > 0, 30000);
        const QVariantMap stats = backend()->streamStats();
        const QRegularExpressionMatch shown = fps.match(ui.text("streamStatsText"));
        QVERIFY2(shown.hasMatch(), qPrintable(ui.text("streamStatsText")));
        QCOMPARE(shown.captured(1), QString::number(stats.value("receivedFps").toDouble(), 'f', 1));
        QCOMPARE(shown.captured(2), QString::number(stats.value("shownFps").toDouble(), 'f', 1));
        QVERIFY2(shown.captured(1).toDouble() <= 2 * 30, qPrintable(shown.captured(1)));
        QVERIFY2(ui.text("streamStatsText").contains("1280×720  H264"), qPrintable(ui.text("streamStatsText")));
        QVERIFY(ui.text("streamStatsText").contains("Reconnects: 0"));

        const QByteArray remembered = TestSupport::readFile(TestSupport::configPath());
        ui.stop();
        QVERIFY(startPlaying(remembered));
        QVERIFY(ui.item("streamStatsOverlay")->isVisible());
    }

    void noticeOverTheLastPictureWhileTheStreamIsAway() {
        VideoTestSupport::Simulator outage;
        QVERIFY2(outage.start(VideoTestSupport::repeatingOutage(8, 3, 20)), qPrintable(outage.errorOutput()));
        QVERIFY(startPlaying(config("en", folder.path(), "ffmpeg", outage.url())));
        QQuickItem* notice = ui.item("streamNotice");
        // No notice while the stream plays; a slow start may already have run into the first outage.
        QVERIFY(!notice->isVisible() || outage.errorOutput().contains("RTSP outage"));
        QTRY_VERIFY_WITH_TIMEOUT(
            notice->isVisible() && ui.text("streamStatusText").contains(QRegularExpression("reconnecting in [1-5] s")),
            60000);
        QCOMPARE(ui.read("videoItem", "streamStatus").toString(), QString("playing"));
        QTRY_VERIFY_WITH_TIMEOUT(!notice->isVisible(), 30000);
        const qint64 decoded = backend()->frameCounts().decoded;
        QTRY_VERIFY_WITH_TIMEOUT(backend()->frameCounts().decoded > decoded + 10, 30000);
    }

    // A stream larger than Video/MaxPictureSize is refused: the notice over the video and the
    // message log say so.
    void oversizedPictureIsRefusedAndSaid() {
        QByteArray ini = config("en", folder.path());
        QVERIFY(ui.start(ini.replace("[Video]\n", "[Video]\nMaxPictureSize=640x480\n")));
        QTRY_VERIFY_WITH_TIMEOUT(ui.text("streamStatusText").contains("Picture too large (1280x720"), 60000);
        QVERIFY(ui.item("streamNotice")->isVisible());
        QTRY_VERIFY(ui.bridge->messageLog().contains("Video stream refused: picture too large"));
    }

    void otherBackendDisablesTheControlsAndSaysWhy() {
        QVERIFY(ui.start(config("en", folder.path(), "easyplayer")));
        QCOMPARE(ui.read("localRecordButton", "enabled").toBool(), false);
        QCOMPARE(ui.read("snapshotButton", "enabled").toBool(), false);
        QCOMPARE(ui.read("streamStatsButton", "enabled").toBool(), false);
        QVERIFY(ui.hover("localCaptureUnavailableHover"));
        QTRY_VERIFY(Ui::Fixture::findItem(ui.window->contentItem(), [](QQuickItem* item) {
            return item->isVisible() && item->property("text").toString().contains("need the FFmpeg video backend");
        }));
    }
};

QTEST_MAIN(TestUiLocalCapture)
#include "tst_ui_localcapture.moc"
