// Status reports from a loopback device on both links: camera status and SD card, thermometry and
// its measuring area, visible zoom, recording, detection and the infrared settings.
#include <QSignalSpy>
#include <QtTest>

#include "BridgeDeviceFixture.h"
#include "SignalRecorder.h"

using namespace BridgeDevice;

namespace {

// Camera status: mode, stream resolution, encoding, output, bitrate, 3 bytes, SD status, padded.
QByteArray cameraStatus(uint8_t sd, int length = 16) {
    QByteArray payload = bytes({1, 1, 0, 7, 3, 0, 0, 0, sd});
    payload.resize(length);
    return payload;
}

// Thermometry: max, min, spot, average (tenths of a degree) and the three positions.
QByteArray thermometry(int maxT, int minT, int spotT, int avgT, QPoint maxAt, QPoint minAt, QPoint spotAt,
                       int length = 34) {
    QByteArray payload = u16(maxT & 0xFFFF) + u16(minT & 0xFFFF) + bytes({0, 0}) + u16(spotT & 0xFFFF) +
                         u16(avgT & 0xFFFF) + u16(maxAt.x()) + u16(maxAt.y()) + u16(minAt.x()) + u16(minAt.y()) +
                         bytes({0, 0, 0, 0}) + u16(spotAt.x()) + u16(spotAt.y());
    payload.resize(length);
    return payload;
}

QByteArray detectionRecord(uint8_t flag, uint8_t category) {
    return QByteArray(8, '\0') + bytes({flag, category});
}

}  // namespace

class TestBridgeReports : public QObject {
    Q_OBJECT

private:
    Fixture f;

private slots:
    void cleanup() { f.reset(); }

    // Over UDP a short report is read with zeros for the missing bytes and the mode byte is
    // stored; the serial link wants 16 bytes of camera status (and no mode byte) and 34 bytes of
    // thermometry, which short rows send with 26.
    void cameraStatusPerLink_data() {
        QTest::addColumn<int>("link");
        QTest::addColumn<int>("length");
        QTest::addColumn<bool>("taken");
        QTest::addColumn<int>("mode");
        QTest::newRow("udp-short") << int(Link::Udp) << 9 << true << 1;
        QTest::newRow("udp-full") << int(Link::Udp) << 16 << true << 1;
        QTest::newRow("serial-short-ignored") << int(Link::Serial) << 15 << false << -1;
        QTest::newRow("serial-full-no-mode") << int(Link::Serial) << 16 << true << -1;
    }
    void cameraStatusPerLink() {
        QFETCH(int, link);
        QFETCH(int, length);
        QFETCH(bool, taken);
        QFETCH(int, mode);
        AppBridge& bridge = f.up(Link(link));
        bridge.setIrTempMeasure(true);
        QSignalSpy status(&bridge, &AppBridge::cameraStatusChanged);
        QSignalSpy thermo(&bridge, &AppBridge::irThermometryChanged);
        QVERIFY(f.report(0x020003, cameraStatus(0, length)));
        const int thermometryLength = length < 16 ? 26 : 34;
        QVERIFY(f.report(0x020004, thermometry(456, 100, 300, 250, {400, 100}, {}, {}, thermometryLength)));
        f.settle(100);
        QCOMPARE(thermo.count(), taken ? 1 : 0);
        QCOMPARE(bridge.irThermometryValid(), taken);
        QCOMPARE(bridge.cameraStatusAvailable(), taken);
        QCOMPARE(status.count(), taken ? 1 : 0);
        QCOMPARE(bridge.cameraPhotoVideoMode(), mode);
        QCOMPARE((QVector<int>{bridge.cameraRtspResolutionIndex(), bridge.cameraVideoEncodingIndex(),
                               bridge.cameraStreamModeIndex(), bridge.cameraVideoBitrateIndex(), bridge.sdStatus()}),
                 taken ? (QVector<int>{1, 0, 2, 2, 0}) : QVector<int>(5, -1));
    }

    // One message per change of the SD card state; a healthy card is never announced.
    void sdCardMessages_data() {
        QTest::addColumn<QString>("language");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("en") << "en"
                            << QStringList{"SD card: Not inserted", "SD card: Not inserted", "SD card: Unknown"};
        QTest::newRow("zh") << "zh" << QStringList{"SD卡状态: 未插入", "SD卡状态: 未插入", "SD卡状态: 未知"};
    }
    void sdCardMessages() {
        QFETCH(QString, language);
        QFETCH(QStringList, expected);
        AppBridge& bridge = f.up(Link::Udp, language);
        QSignalSpy status(&bridge, &AppBridge::cameraStatusChanged);
        for (uint8_t code : {3, 3, 0, 3, 9, 9})
            QVERIFY(f.report(0x020003, cameraStatus(code)));
        QTRY_COMPARE_WITH_TIMEOUT(status.count(), 6, kLongWaitMs);  // every report announces the status
        QCOMPARE(f.newMessages(), expected);
        QCOMPARE(bridge.sdStatus(), 9);
    }

    void thermometryValidityAndClamping() {
        AppBridge& bridge = f.up(Link::Udp);
        bridge.setIrTempMeasure(true);
        bridge.setIrTempMeasureRegion(900, 500, 100, 100);
        QCOMPARE(f.waitSent(0x000110).size(), 1);
        QSignalSpy thermo(&bridge, &AppBridge::irThermometryChanged);

        // Maximum inside the rectangle, the others far outside: valid; positions clamped.
        QVERIFY(f.report(0x020004, thermometry(456, -50, 201, 183, {910, 490}, {3000, 10}, {100, 2000})));
        QTRY_COMPARE_WITH_TIMEOUT(thermo.count(), 1, kLongWaitMs);
        QVERIFY(bridge.irThermometryValid());
        QCOMPARE(bridge.irThermometryMaxTemp(), 45.6);
        QCOMPARE(bridge.irThermometryMinTemp(), -5.0);
        QCOMPARE(bridge.irThermometryPointTemp(), 20.1);
        QCOMPARE(bridge.irThermometryAvgTemp(), 18.3);
        QCOMPARE((QVector<int>{bridge.irThermometryMaxX(), bridge.irThermometryMaxY(), bridge.irThermometryMinX(),
                               bridge.irThermometryMinY(), bridge.irThermometryPointX(), bridge.irThermometryPointY()}),
                 (QVector<int>{910, 490, 1594, 33, 325, 1046}));

        // All three positions outside the rectangle: not valid, the old readings stay.
        QVERIFY(f.report(0x020004, thermometry(999, 1, 2, 3, {100, 100}, {1500, 1000}, {400, 400})));
        QTRY_COMPARE_WITH_TIMEOUT(thermo.count(), 2, kLongWaitMs);
        QVERIFY(!bridge.irThermometryValid());
        QCOMPARE(bridge.irThermometryMaxTemp(), 45.6);

        // All temperatures zero: empty, not valid, even with a position inside.
        QVERIFY(f.report(0x020004, thermometry(0, 0, 0, 0, {900, 500}, {900, 500}, {900, 500})));
        QTRY_COMPARE_WITH_TIMEOUT(thermo.count(), 3, kLongWaitMs);
        QVERIFY(!bridge.irThermometryValid());
    }

    void visibleZoomReports() {
        AppBridge& bridge = f.up(Link::Serial);
        QSignalSpy feedback(&bridge, &AppBridge::visibleZoomFeedbackReceived);
        SignalRecorder recorder(&bridge);
        QVERIFY(f.report(0x000005, zoomReport(true, 109)));
        QTRY_COMPARE_WITH_TIMEOUT(feedback.count(), 1, kLongWaitMs);
        f.settle();
        QCOMPARE(recorder.names, (QStringList{"isZoomingChanged", "currentVisibleZoomChanged",
                                              "visibleZoomFeedbackReceived", "visibleZoomTypeChanged"}));
        QVERIFY(bridge.isZooming());
        QCOMPARE(bridge.visibleZoomType(), QString::fromUtf8("光学"));
        QCOMPARE(feedback.first().first().toDouble(), 10.9);

        recorder.clear();
        QVERIFY(f.report(0x020005, zoomReport(true, 110)));
        QVERIFY(f.report(0x020005, zoomReport(true, 110)));
        QTRY_COMPARE_WITH_TIMEOUT(feedback.count(), 3, kLongWaitMs);  // every report, changed or not
        f.settle();
        QCOMPARE(bridge.visibleZoomType(), QString::fromUtf8("电子放大"));
        QCOMPARE(recorder.count(QStringLiteral("visibleZoomTypeChanged")), 1);
        QCOMPARE(recorder.count(QStringLiteral("isZoomingChanged")), 0);
        QCOMPARE(bridge.currentVisibleZoom(), 11.0);

        QVERIFY(f.report(0x020005, zoomReport(false, 120, 14)));  // too short
        f.settle();
        QCOMPARE(feedback.count(), 3);
        QCOMPARE(f.newMessages(), QStringList());  // no zoom command was pending
    }

    void recordingReports() {
        AppBridge& bridge = f.up(Link::Udp);
        QSignalSpy recording(&bridge, &AppBridge::recordingChanged);
        QSignalSpy seconds(&bridge, &AppBridge::recordingTimeSecondsChanged);
        QVERIFY(f.report(0x020303, bytes({0, 3}) + u16(65)));
        QTRY_VERIFY_WITH_TIMEOUT(bridge.recording(), kLongWaitMs);
        QCOMPARE(bridge.recordingTimeSeconds(), 65);
        QVERIFY(f.report(0x020303, bytes({0, 2})));  // no time in a 2-byte report
        QVERIFY(f.report(0x020303, bytes({0, 4}) + u16(66)));
        QTRY_VERIFY_WITH_TIMEOUT(!bridge.recording(), kLongWaitMs);
        QCOMPARE(bridge.recordingTimeSeconds(), 66);
        f.settle();
        QCOMPARE(recording.count(), 2);
        QCOMPARE(seconds.count(), 2);
    }

    void detectionReports_data() {
        QTest::addColumn<QString>("language");
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<int>("count");
        QTest::addColumn<QString>("status");
        QTest::addColumn<bool>("running");
        const QByteArray twoOfThree = detectionRecord(1, 4) + detectionRecord(1, 1) + bytes({3, 0});
        QTest::newRow("two-of-three-en") << "en" << twoOfThree << 3 << "Detected - 3 targets (Car, Pedestrian)" << true;
        QTest::newRow("two-of-three-zh") << "zh" << twoOfThree << 3 << "检测成功 - 3个目标（小汽车、行人）" << true;
        QTest::newRow("count-only") << "en" << bytes({2, 0}) << 2 << "Detected - 2 targets" << true;
        QTest::newRow("nothing-found-zh") << "zh" << bytes({0, 2}) << 0 << "未检测到目标" << true;
        QTest::newRow("unknown-status") << "en" << bytes({0, 9}) << 0 << "Unknown status" << false;
    }
    void detectionReports() {
        QFETCH(QString, language);
        QFETCH(QByteArray, payload);
        QFETCH(int, count);
        QFETCH(QString, status);
        QFETCH(bool, running);
        AppBridge& bridge = f.up(Link::Udp, language);
        QSignalSpy statusSpy(&bridge, &AppBridge::aiDetectStatusChanged);
        QVERIFY(f.report(0x020319, payload));
        QVERIFY(statusSpy.wait(kLongWaitMs));
        QCOMPARE(bridge.aiDetectStatus(), status);
        QCOMPARE(bridge.aiDetectedCount(), count);
        QCOMPARE(bridge.aiDetecting(), running);
        QCOMPARE(f.newMessages(), QStringList());
    }

    // Report 0x000100 and reply 0x010100 carry the palette and the infrared zoom; both links
    // announce the zoom to the panel.
    void infraredSettings_data() {
        QTest::addColumn<int>("link");
        QTest::addColumn<uint32_t>("id");
        QTest::newRow("udp-report") << int(Link::Udp) << 0x000100u;
        QTest::newRow("udp-reply") << int(Link::Udp) << 0x010100u;
        QTest::newRow("serial-report") << int(Link::Serial) << 0x000100u;
        QTest::newRow("serial-reply") << int(Link::Serial) << 0x010100u;
    }
    void infraredSettings() {
        QFETCH(int, link);
        QFETCH(uint32_t, id);
        AppBridge& bridge = f.up(Link(link), QStringLiteral("en"), QStringLiteral("Dove"));
        QSignalSpy feedback(&bridge, &AppBridge::irZoomFeedbackReceived);
        QSignalSpy zoom(&bridge, &AppBridge::currentIrZoomChanged);
        QVERIFY(f.report(id, bytes({0, 0, 7, 0x40})));
        QTRY_COMPARE_WITH_TIMEOUT(bridge.currentIrZoom(), 8.0, kLongWaitMs);
        QCOMPARE(feedback.count(), 1);
        QCOMPARE(feedback.first().first().toDouble(), 8.0);
        QVERIFY(f.report(id, bytes({0, 0, 7, 0x48})));  // zoom bits 9: ignored
        QVERIFY(f.report(id, bytes({1, 0, 9, 0x10})));  // not a good answer: ignored
        f.settle();
        QCOMPARE(bridge.currentIrZoom(), 8.0);
        QCOMPARE(bridge.currentIrColorSchemeComboIndex(), 6);
        QVERIFY(f.report(id, bytes({0, 0, 7, 0x00})));  // zoom bits 0 count as 1
        QTRY_COMPARE_WITH_TIMEOUT(bridge.currentIrZoom(), 1.0, kLongWaitMs);
        QCOMPARE(zoom.count(), 2);
        QCOMPARE(feedback.count(), 2);
    }

    // Reports come from the camera, or from the gimbal on the models that route it via the camera;
    // the attitude comes from the gimbal or the camera on every model, and goes with the link.
    void reportSenders_data() {
        QTest::addColumn<QString>("product");
        QTest::addColumn<int>("sender");
        QTest::addColumn<bool>("taken");
        QTest::addColumn<bool>("attitudeTaken");
        QTest::newRow("Wren-R2-camera") << "Wren-R2" << 4 << true << true;
        QTest::newRow("Wren-R2-gimbal") << "Wren-R2" << 3 << false << true;
        QTest::newRow("Tern-gimbal") << "Tern" << 3 << true << true;
        QTest::newRow("Tern-LITE-B-gimbal") << "Tern-LITE-B" << 3 << true << true;
        QTest::newRow("Dove-gimbal") << "Dove" << 3 << true << true;
        QTest::newRow("Tern-LITE-A-gimbal") << "Tern-LITE-A" << 3 << false << true;
        QTest::newRow("no-product-gimbal") << "" << 3 << false << true;
        QTest::newRow("Dove-flight-controller") << "Dove" << 2 << false << false;
        QTest::newRow("Tern-application") << "Tern" << 1 << false << false;
    }
    void reportSenders() {
        QFETCH(QString, product);
        QFETCH(int, sender);
        QFETCH(bool, taken);
        QFETCH(bool, attitudeTaken);
        AppBridge& bridge = f.up(Link::Udp, QStringLiteral("en"), product);
        QSignalSpy attitude(&bridge, &AppBridge::gimbalAttitudeChanged);
        QVERIFY(f.report(0x020303, bytes({0, 1}), uint8_t(sender)));
        // Speeds 1.00, 0, -2.50 °/s; yaw 123.45°, roll -1.50°, pitch -45.67°; reserved bytes.
        const QByteArray pose = u16(100) + u16(0) + u16(0xFF06) + u16(12345) + u16(0xFF6A) + u16(0xEE29);
        QVERIFY(f.report(0x020002, pose + QByteArray(8, '\0'), uint8_t(sender)));
        QVERIFY(f.report(0x020002, pose.left(11), uint8_t(sender)));  // too short: ignored
        f.settle(100);
        QCOMPARE(bridge.recording(), taken);
        QCOMPARE(attitude.count(), attitudeTaken ? 1 : 0);
        QCOMPARE(bridge.gimbalAttitudeTime().isValid(), attitudeTaken);
        if (!attitudeTaken)
            return;
        QCOMPARE(bridge.gimbalYaw(), 123.45);
        QCOMPARE(bridge.gimbalRoll(), -1.5);
        QCOMPARE(bridge.gimbalPitch(), -45.67);
        bridge.disconnectUdp();
        QVERIFY(!bridge.gimbalAttitudeTime().isValid());
    }
};

QTEST_GUILESS_MAIN(TestBridgeReports)
#include "tst_bridge_reports.moc"
