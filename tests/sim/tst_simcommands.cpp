#include <QSignalSpy>
#include <QtTest>

#include "SimProcess.h"
#include "TestSupport.h"
#include "bridge/AppBridge.h"

// Operator commands round-trip between the program's controller and the simulator over UDP: what
// the device answers and reports ends up in the controller's properties and message log. One
// simulator and one controller serve all commands, in order, as one operator session. (The serial
// link's own faults show in the link tests, with the simulator and at loopback.)
// Waits that only end a hung run: the simulator and the program share a possibly busy machine.
constexpr int kLongWaitMs = 20000;

class TestSimCommands : public QObject {
    Q_OBJECT

private:
    bool waitForMessage(const QString& text) {
        return QTest::qWaitFor([&] { return recentLog().contains(text); }, kLongWaitMs);
    }
    // Ranges until the device answers the expected distance: the gimbal slews at 60 degrees per
    // second in the simulator's time, which a busy machine stretches.
    bool rangeUntil(const QString& result) {
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < kLongWaitMs) {
            markLog();
            m_bridge->laserRangeSingle();
            if (!waitForMessage(QStringLiteral("Single range result: ")))
                return false;
            if (recentLog().contains(result))
                return true;
            QTest::qWait(200);
        }
        return false;
    }
    // Only messages appended after this call count for waitForMessage.
    void markLog() { m_logMark = TestSupport::logMessages(m_bridge->messageLog()).size(); }
    QString recentLog() const {
        return TestSupport::logMessages(m_bridge->messageLog()).mid(m_logMark).join(QLatin1Char('\n'));
    }

    SimProcess m_sim;
    AppBridge* m_bridge = nullptr;
    int m_logMark = 0;

private slots:
    void initTestCase() {
        TestSupport::writeConfig("[General]\nlanguage=en\ncurrentProduct=WrenT-R2\n");
        m_bridge = new AppBridge(this);
        const quint16 port = m_sim.startOnFreeUdpPort({"--product", "WrenT-R2", "--rtsp-port", "0"}, {"UDP ready"});
        QVERIFY2(port != 0, qPrintable(m_sim.errorOutput()));
        m_bridge->connectUdp(QStringLiteral("127.0.0.1"), port);
        QVERIFY(m_bridge->udpConnected());
        QTRY_COMPARE_WITH_TIMEOUT(m_bridge->cameraVersion(), QStringLiteral("3.2.7"), kLongWaitMs);
        QTest::qWait(1000);  // past the link-up requests
    }

    void cleanupTestCase() {
        QVERIFY(m_sim.running());
        delete m_bridge;
        m_sim.stop();
    }

    // The angle moves the gimbal: its attitude report follows, the laser then measures the ground
    // 120 m below at 30 degrees down (240 m); centred it sees the hill 850 m ahead.
    void setAngleAndHomeMoveTheGimbal() {
        markLog();
        m_bridge->gimbalSetAngle(-30, 0);
        QVERIFY2(waitForMessage("Angle set confirmed by device"), qPrintable(recentLog()));
        QTest::qWait(800);  // 30 degrees at 60 degrees per second
        QVERIFY2(rangeUntil("Single range result: 240.00 m"), qPrintable(recentLog()));
        QCOMPARE(m_bridge->laserRangeDistance(), 240.0);
        QVERIFY(m_bridge->laserRangeValid());
        QTRY_COMPARE_WITH_TIMEOUT(m_bridge->gimbalPitch(), -30.0, kLongWaitMs);

        markLog();
        m_bridge->gimbalHome();
        QVERIFY2(waitForMessage("Gimbal control confirmed by device"), qPrintable(recentLog()));
        QTest::qWait(800);
        QVERIFY2(rangeUntil("Single range result: 850.00 m"), qPrintable(recentLog()));
        QTRY_COMPARE_WITH_TIMEOUT(m_bridge->gimbalPitch(), 0.0, kLongWaitMs);
    }

    void zoomRatioMovesAndSettles() {
        QSignalSpy zooming(m_bridge, &AppBridge::isZoomingChanged);
        markLog();
        m_bridge->setVisibleZoom(10);
        QTRY_VERIFY_WITH_TIMEOUT(m_bridge->isZooming(), kLongWaitMs);
        QTRY_COMPARE_WITH_TIMEOUT(m_bridge->currentVisibleZoom(), 10.0, kLongWaitMs);
        QTRY_VERIFY_WITH_TIMEOUT(!m_bridge->isZooming(), kLongWaitMs);
        QVERIFY2(waitForMessage("Mixed zoom completed"), qPrintable(recentLog()));
        QCOMPARE(m_bridge->visibleZoomType(), QStringLiteral("光学"));
        QVERIFY(zooming.count() >= 2);
        m_bridge->setVisibleZoom(20);
        QTRY_COMPARE_WITH_TIMEOUT(m_bridge->currentVisibleZoom(), 20.0, kLongWaitMs);
        QTRY_COMPARE_WITH_TIMEOUT(m_bridge->visibleZoomType(), QStringLiteral("电子放大"), kLongWaitMs);
    }

    void photoAndRecording() {
        markLog();
        m_bridge->takePhoto();
        QVERIFY2(waitForMessage("Photo captured successfully"), qPrintable(recentLog()));
        markLog();
        m_bridge->toggleRecord();
        QVERIFY2(waitForMessage("Start recording confirmed"), qPrintable(recentLog()));
        QVERIFY(m_bridge->recording());
        markLog();
        m_bridge->toggleRecord();
        QVERIFY2(waitForMessage("Stop recording confirmed"), qPrintable(recentLog()));
        QTRY_VERIFY_WITH_TIMEOUT(!m_bridge->recording(), kLongWaitMs);
    }

    // The palette the device reports back on its settings poll is the one chosen: position 4 of
    // the nine-palette table is code 5; a device that had not taken it would switch the combo back.
    // A poll answered just before the choice may still switch it back once; every later answer
    // must leave it on the choice.
    void paletteChoiceSurvivesTheSettingsPoll() {
        QVector<int> indexAfterAnswer;
        QObject recording;
        connect(m_bridge, &AppBridge::irZoomFeedbackReceived, &recording,
                [&] { indexAfterAnswer << m_bridge->currentIrColorSchemeComboIndex(); });
        m_bridge->setIrColorScheme(4);
        QTRY_VERIFY_WITH_TIMEOUT(indexAfterAnswer.size() >= 3 && indexAfterAnswer.endsWith(4) &&
                                     indexAfterAnswer.at(indexAfterAnswer.size() - 2) == 4,
                                 kLongWaitMs);
    }

    // The region and its hot and cold spots are left to the device model and loopback tests.
    void thermometryPoint() {
        m_bridge->setIrTempMeasure(true);
        m_bridge->setIrTempMeasurePoint(800, 500);
        QTRY_VERIFY_WITH_TIMEOUT(m_bridge->irThermometryValid(), kLongWaitMs);
        QCOMPARE(m_bridge->irThermometryPointX(), 800);
        QCOMPARE(m_bridge->irThermometryPointY(), 500);
        QVERIFY(m_bridge->irThermometryMaxTemp() > m_bridge->irThermometryMinTemp());
        QVERIFY(m_bridge->irThermometryPointTemp() >= m_bridge->irThermometryMinTemp());
        QVERIFY(m_bridge->irThermometryPointTemp() <= m_bridge->irThermometryMaxTemp());
        m_bridge->setIrTempMeasure(false);
        QVERIFY(!m_bridge->irThermometryValid());
    }

    void detectionWithCategories() {
        m_bridge->setAiDetect(true);
        QTRY_VERIFY_WITH_TIMEOUT(m_bridge->aiDetecting(), kLongWaitMs);
        QTRY_COMPARE_WITH_TIMEOUT(m_bridge->aiDetectedCount(), 4, kLongWaitMs);
        m_bridge->setAiDetectWithCategories(true, {4});
        QTRY_COMPARE_WITH_TIMEOUT(m_bridge->aiDetectedCount(), 1, kLongWaitMs);
        QTRY_VERIFY_WITH_TIMEOUT(m_bridge->aiDetectStatus().contains("Car"), kLongWaitMs);
        m_bridge->setAiDetect(false);
        QVERIFY(!m_bridge->aiDetecting());
    }

    // A target the device loses is reported once, as tracking ended by the device.
    void trackingStartLostAndStop() {
        QTest::qWait(900);  // acknowledgement messages are limited to one per 800 ms
        QSignalSpy fromDevice(m_bridge, &AppBridge::trackingStateFromDevice);
        markLog();
        m_bridge->setTracking(true, 700, 400, 240, 160);
        QVERIFY2(waitForMessage("Box tracking confirmed by device"), qPrintable(recentLog()));
        QCOMPARE(fromDevice.count(), 0);
        m_sim.process().write("lose-target\n");
        QTRY_COMPARE_WITH_TIMEOUT(fromDevice.count(), 1, kLongWaitMs);
        QCOMPARE(fromDevice.at(0).at(0).toBool(), false);
        QTest::qWait(900);
        markLog();
        m_bridge->setTracking(false, 0, 0, 0, 0);
        QVERIFY2(waitForMessage("Box tracking stopped by device"), qPrintable(recentLog()));
    }

    void sdCardStateFromTheDevice() {
        markLog();
        m_sim.process().write("sd 3\n");
        QTRY_COMPARE_WITH_TIMEOUT(m_bridge->sdStatus(), 3, kLongWaitMs);
        QVERIFY2(waitForMessage("SD card: Not inserted"), qPrintable(recentLog()));
        markLog();
        m_bridge->takePhoto();
        QVERIFY2(waitForMessage("Photo command failed"), qPrintable(recentLog()));
        m_sim.process().write("sd 0\n");
        QTRY_COMPARE_WITH_TIMEOUT(m_bridge->sdStatus(), 0, kLongWaitMs);
    }
};

QTEST_MAIN(TestSimCommands)
#include "tst_simcommands.moc"
