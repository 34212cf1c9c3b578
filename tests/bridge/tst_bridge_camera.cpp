// Camera commands against a loopback device: zoom encodings and limits, the infrared zoom, photo
// and recording, soft restart, the combo-text tables and the failure messages.
#include <QSignalSpy>
#include <QtTest>

#include "BridgeDeviceFixture.h"

using namespace BridgeDevice;

namespace {

// Camera status report with the given output (stream) mode code in byte 3.
QByteArray cameraStatus(uint8_t outputCode) {
    QByteArray payload(16, '\0');
    payload[3] = char(outputCode);
    return payload;
}

}  // namespace

class TestBridgeCamera : public QObject {
    Q_OBJECT

private:
    Fixture f;

private slots:
    void cleanup() { f.reset(); }

    void continuousZoom() {
        AppBridge& bridge = f.up(Link::Udp);
        QSignalSpy zooming(&bridge, &AppBridge::isZoomingChanged);
        QSignalSpy stopped(&bridge, &AppBridge::continuousZoomJustStoppedChanged);
        bridge.cameraZoom(1);
        bridge.cameraZoom(-1);
        QVERIFY(bridge.isZooming());
        QCOMPARE(zooming.count(), 1);  // only a change is announced
        QElapsedTimer sinceStop;
        sinceStop.start();
        bridge.cameraZoom(0);
        QVERIFY(!bridge.isZooming());
        QVERIFY(bridge.continuousZoomJustStopped());
        QCOMPARE(stopped.count(), 1);
        const auto frames = f.waitSent(0x000306, 3);
        QCOMPARE(frames.size(), 3);
        QCOMPARE(LinkTest::hex(frames[0].payload()), QStringLiteral("00 00"));
        QCOMPARE(LinkTest::hex(frames[1].payload()), QStringLiteral("01 00"));
        QCOMPARE(LinkTest::hex(frames[2].payload()), QStringLiteral("02 00"));
        QCOMPARE(int(frames[2].frame.receiverId), 4);
        // The flag stays up for 500 ms: a timer never fires early, but may fire late.
        QTest::qWait(300);
        const qint64 checkedAt = sinceStop.elapsed();
        const bool stillUp = bridge.continuousZoomJustStopped();
        SKIP_IF_WINDOW_OVERRUN(checkedAt, 500);
        QVERIFY(stillUp);
        QTRY_VERIFY_WITH_TIMEOUT(!bridge.continuousZoomJustStopped(), kLongWaitMs);
        QVERIFY2(sinceStop.elapsed() >= 500, qPrintable(QString::number(sinceStop.elapsed())));
        QCOMPARE(stopped.count(), 2);
    }

    void visibleZoomRatio_data() {
        QTest::addColumn<QString>("product");
        QTest::addColumn<double>("ratio");
        QTest::addColumn<QString>("payload");
        QTest::newRow("2.35-rounded") << "Wren-R2" << 2.35 << "00 18 00";
        QTest::newRow("500-clamped-to-40-on-Wren-R2") << "Wren-R2" << 500.0 << "00 90 01";
        QTest::newRow("0.2-clamped-to-1") << "Dove" << 0.2 << "00 0a 00";
        QTest::newRow("500-clamped-to-100-on-Tern-LITE-B") << "Tern-LITE-B" << 500.0 << "00 e8 03";
        QTest::newRow("500-clamped-to-160-on-Dove") << "Dove" << 500.0 << "00 40 06";
        QTest::newRow("nan-taken-as-1") << "Dove" << qQNaN() << "00 0a 00";
    }
    void visibleZoomRatio() {
        QFETCH(QString, product);
        QFETCH(double, ratio);
        QFETCH(QString, payload);
        AppBridge& bridge = f.up(Link::Udp, QStringLiteral("en"), product);
        bridge.setVisibleZoom(ratio);
        QCOMPARE(f.payloadHex(0x000304), payload);
        QCOMPARE(int(f.sent(0x000304).first().frame.receiverId), 4);
        QCOMPARE(bridge.currentVisibleZoom(), 1.0);  // follows the device's reports only
        QCOMPARE(f.newMessages(), QStringList());
    }

    // While the device streams its infrared picture the zoom goes to the infrared camera.
    void infraredZoomWhileStreamingInfrared() {
        AppBridge& bridge = f.up(Link::Udp);
        QVERIFY(f.report(0x020003, cameraStatus(0)));
        QTRY_COMPARE_WITH_TIMEOUT(bridge.cameraStreamModeIndex(), 0, kLongWaitMs);
        f.clearFrames();
        QSignalSpy irZoom(&bridge, &AppBridge::currentIrZoomChanged);
        const qint64 calledAt = f.now();
        bridge.setVisibleZoom(5.6);
        // A timer of the test's own, started just after the controller's, fires after it: the
        // read back is among the frames built before it fired and arrives 150 ms or more after the
        // zoom. A periodic poll could pass for it only by falling into that same moment.
        const uint8_t firstAfterZoom = bridge.nextSequenceNumber();
        int builtBeforeReference = -1;
        QTimer::singleShot(150, &bridge,
                           [&] { builtBeforeReference = uint8_t(bridge.nextSequenceNumber() - firstAfterZoom); });
        QCOMPARE(f.payloadHex(0x000105), QStringLiteral("06 00"));
        QVERIFY(f.sent(0x000304).isEmpty());
        QCOMPARE(bridge.currentIrZoom(), 6.0);
        QCOMPARE(irZoom.count(), 1);
        auto readBack = [&] {
            for (const auto& read : f.sent(0x000100))
                if (uint8_t(read.frame.sequence - firstAfterZoom) < builtBeforeReference && read.atMs - calledAt >= 149)
                    return true;
            return false;
        };
        QTRY_VERIFY2_WITH_TIMEOUT(readBack(), qPrintable(f.wire()), kLongWaitMs);
        bridge.setVisibleZoom(30);
        QCOMPARE(LinkTest::hex(f.waitSent(0x000105, 2).last().payload()), QStringLiteral("08 00"));
    }

    // A zoom-ratio command is announced as completed once the device reports the zoom at rest.
    void zoomSettlesWithTheReportAtRest() {
        AppBridge& bridge = f.up(Link::Udp, QStringLiteral("zh"));
        bridge.setVisibleZoom(12);
        QVERIFY(f.report(0x000005, zoomReport(true, 80)));
        QVERIFY(f.report(0x020005, zoomReport(false, 120)));
        QVERIFY(f.report(0x020005, zoomReport(false, 120)));
        QTRY_COMPARE_WITH_TIMEOUT(bridge.currentVisibleZoom(), 12.0, kLongWaitMs);
        f.settle();
        QCOMPARE(f.newMessages(), QStringList{QString::fromUtf8("混合变倍成功")});
    }

    // A zoom that never went out must not be announced as completed later.
    void failedZoomIsNotAnnouncedLater() {
        AppBridge& bridge = f.offline(QStringLiteral("en"), QStringLiteral("Wren-R2"));
        bridge.setVisibleZoom(12);
        QCOMPARE(f.newMessages(), QStringList{"No UDP/UART link, send failed"});
        f.attach(Link::Udp);
        QVERIFY(f.report(0x020005, zoomReport(false, 120)));
        QTRY_COMPARE_WITH_TIMEOUT(bridge.currentVisibleZoom(), 12.0, kLongWaitMs);
        f.settle();
        QCOMPARE(f.newMessages(), QStringList());
    }

    // Answers for the serial link's device that arrive after the operator moved on (to UDP, or to
    // a re-opened port) find nothing pending: no stale resolution, no resend, no completed zoom.
    void cameraStateOfAClosedSerialLinkIsForgotten_data() {
        QTest::addColumn<int>("nextLink");
        QTest::newRow("serial-to-udp") << int(Link::Udp);
        QTest::newRow("serial-reopened") << int(Link::Serial);
    }
    void cameraStateOfAClosedSerialLinkIsForgotten() {
        QFETCH(int, nextLink);
        AppBridge& bridge = f.up(Link::Serial);
        bridge.setPhotoResolution(QStringLiteral("4000*3000"));
        bridge.setVisibleZoom(12);
        QCOMPARE(f.waitSent(0x000304).size(), 1);
        f.attach(Link(nextLink));
        QVERIFY(f.reply(0x010202, 0));
        QVERIFY(f.reply(0x010304, 1));  // refused: a pending zoom would be resent now
        QVERIFY(f.report(0x020005, zoomReport(false, 120)));
        QTRY_COMPARE_WITH_TIMEOUT(bridge.currentVisibleZoom(), 12.0, kLongWaitMs);
        f.settle(200);
        QCOMPARE(bridge.cameraPhotoResolutionIndex(), -1);
        QVERIFY2(f.sent(0x000304).isEmpty(), qPrintable(f.wire()));
        QVERIFY2(!f.newMessages().contains("Mixed zoom completed"), qPrintable(f.newMessages().join('\n')));
    }

    void takePhotoSendsModeThenShutter() {
        AppBridge& bridge = f.up(Link::Udp);
        bridge.takePhoto();
        QCOMPARE(f.payloadHex(0x000300), QStringLiteral("00 00"));
        const auto shutter = f.waitSent(0x000302);
        QCOMPARE(shutter.size(), 1);
        QCOMPARE(shutter.first().payload(), QByteArray(54, '\0'));
        QVERIFY(f.sent(0x000300).first().atMs <= shutter.first().atMs);
    }

    void toggleRecordStartsAndStops() {
        AppBridge& bridge = f.up(Link::Udp);
        QSignalSpy recording(&bridge, &AppBridge::recordingChanged);
        bridge.toggleRecord();
        QCOMPARE(recording.count(), 0);  // announced on the next turn of the event loop
        QVERIFY(recording.wait(kLongWaitMs));
        QVERIFY(bridge.recording());
        QVERIFY(f.waitSent(0x000303).size() == 1);
        // The link-up reads due at 400 and 500 ms may come in between on a slow machine.
        const auto mode = f.sent(0x000300);
        const auto record = f.sent(0x000303);
        QCOMPARE(mode.size(), 1);
        QCOMPARE(uint8_t(mode[0].frame.sequence + 1), record[0].frame.sequence);
        QCOMPARE(LinkTest::hex(mode[0].payload()), QStringLiteral("01 00"));
        QCOMPARE(record[0].payload(), QByteArray("\x00\x01", 2) + QByteArray(52, '\0'));

        f.clearFrames();
        bridge.toggleRecord();
        QVERIFY(recording.wait(kLongWaitMs));
        QVERIFY(!bridge.recording());
        QCOMPARE(f.waitSent(0x000303).size(), 1);
        QCOMPARE(f.sent(0x000303).first().payload(), QByteArray("\x00\x02", 2) + QByteArray(52, '\0'));
        QVERIFY(f.sent(0x000300).isEmpty());  // stopping does not switch the mode
    }

    void resolutionCommands() {
        AppBridge& bridge = f.up(Link::Udp);
        QSignalSpy status(&bridge, &AppBridge::cameraStatusChanged);
        bridge.setRecordResolution(QStringLiteral("8000*6000"));  // not a recording size
        bridge.setPhotoResolution(QStringLiteral("640*480"));
        f.settle();
        QVERIFY2(f.sent(0x000201).isEmpty(), qPrintable(f.wire()));
        QVERIFY(f.sent(0x000202).isEmpty());

        bridge.setRecordResolution(QStringLiteral(" 3840 × 2160 "));
        QCOMPARE(bridge.cameraRecordResolutionIndex(), 1);
        QCOMPARE(status.count(), 0);  // announced on the next turn of the event loop
        QCOMPARE(f.payloadHex(0x000201), QStringLiteral("00 26"));
        QCOMPARE(status.count(), 1);

        bridge.setPhotoResolution(QStringLiteral("  4000 * 3000  "));
        QCOMPARE(f.payloadHex(0x000202), QStringLiteral("00 15"));
        QCOMPARE(bridge.cameraPhotoResolutionIndex(), -1);  // waits for the device's confirmation
        QVERIFY(f.reply(0x010202, 0));
        QTRY_COMPARE_WITH_TIMEOUT(bridge.cameraPhotoResolutionIndex(), 1, kLongWaitMs);
        QCOMPARE(f.newMessages(), QStringList{"Photo resolution confirmed by device"});
    }

    void streamSettingCodes_data() {
        QTest::addColumn<QString>("method");
        QTest::addColumn<QString>("text");
        QTest::addColumn<uint32_t>("id");
        QTest::addColumn<QString>("payload");  // "" = nothing sent
        QTest::newRow("bitrate-1.5M") << "bitrate"
                                      << "1.5M" << 0x000308u << "02 00";
        QTest::newRow("bitrate-unknown") << "bitrate"
                                         << "3M" << 0x000308u << "";
        QTest::newRow("rtsp-1080") << "rtsp"
                                   << "1080P30fps" << 0x00030Au << "01 00";
        QTest::newRow("encoding-H264") << "encoding"
                                       << "H264" << 0x00030Bu << "00 00";
        QTest::newRow("output-Visible") << "output"
                                        << "Visible" << 0x000318u << "05 00";
        QTest::newRow("output-split-zh") << "output" << QString::fromUtf8("分屏") << 0x000318u << "07 00";
        QTest::newRow("output-lower-case-ignored") << "output"
                                                   << "visible" << 0x000318u << "";
    }
    void streamSettingCodes() {
        QFETCH(QString, method);
        QFETCH(QString, text);
        QFETCH(uint32_t, id);
        QFETCH(QString, payload);
        AppBridge& bridge = f.up(Link::Udp);
        if (method == QLatin1String("bitrate"))
            bridge.setVideoBitrate(text);
        else if (method == QLatin1String("rtsp"))
            bridge.setRtspResolution(text);
        else if (method == QLatin1String("encoding"))
            bridge.setVideoEncoding(text);
        else
            bridge.setVideoOutputMode(text);
        if (payload.isEmpty()) {
            f.settle();
            QVERIFY2(f.sent(id).isEmpty(), qPrintable(f.wire()));
        } else {
            QCOMPARE(f.payloadHex(id), payload);
            QCOMPARE(int(f.sent(id).first().frame.receiverId), 4);
        }
        QCOMPARE(f.newMessages(), QStringList());
    }

    // Switching to the infrared output reads the infrared settings at once.
    void infraredOutputReadsSettings() {
        AppBridge& bridge = f.up(Link::Udp);
        bridge.setVideoOutputMode(QStringLiteral("IR"));
        const auto output = f.waitSent(0x000318);
        QVERIFY(output.size() == 1);
        // At once: the read is the very next frame built, whatever the machine's speed.
        const uint8_t next = uint8_t(output.first().frame.sequence + 1);
        auto readFollows = [&] {
            for (const auto& read : f.sent(0x000100))
                if (read.frame.sequence == next)
                    return true;
            return false;
        };
        QTRY_VERIFY2_WITH_TIMEOUT(readFollows(), qPrintable(f.wire()), kLongWaitMs);
    }

    // After a soft restart of the Tern the palette is sent again with the next settings answer.
    void restartResendsThePaletteOnTern_data() {
        QTest::addColumn<QString>("product");
        QTest::addColumn<bool>("resend");
        QTest::newRow("Tern") << "Tern" << true;
        QTest::newRow("Tern-LITE-B") << "Tern-LITE-B" << false;
    }
    void restartResendsThePaletteOnTern() {
        QFETCH(QString, product);
        QFETCH(bool, resend);
        AppBridge& bridge = f.up(Link::Udp, QStringLiteral("en"), product);
        bridge.setIrColorScheme(4);
        QCOMPARE(bridge.currentIrColorSchemeComboIndex(), 4);
        f.settle();
        QSignalSpy scheme(&bridge, &AppBridge::currentIrColorSchemeChanged);
        bridge.restartCamera();
        QCOMPARE(bridge.currentIrColorSchemeComboIndex(), resend ? 0 : 4);
        QCOMPARE(scheme.count(), 0);  // announced on the next turn of the event loop
        QCOMPARE(f.payloadHex(0x000316), QStringLiteral("02 00"));
        QCOMPARE(scheme.count(), resend ? 1 : 0);
        f.clearFrames();
        // The camera answers the settings poll: palette 5 in use, zoom 1.
        QVERIFY(f.reply(0x010100, 0, bytes({5, 0})));
        if (resend)
            f.waitSent(0x000106);
        f.settle(100);
        const auto palette = f.sent(0x000106);
        QCOMPARE(palette.size(), resend ? 1 : 0);
        if (resend)
            QCOMPARE(LinkTest::hex(palette.first().payload()), QStringLiteral("01 00"));
        // Only once.
        QVERIFY(f.reply(0x010100, 0, bytes({5, 0})));
        f.settle(100);
        QCOMPARE(f.sent(0x000106).size(), resend ? 1 : 0);
    }

    void failureMessagesWithoutALink_data() {
        QTest::addColumn<QString>("language");
        QTest::addColumn<QString>("method");
        QTest::addColumn<QString>("message");
        QTest::newRow("zoom-en") << "en"
                                 << "zoom"
                                 << "Continuous zoom command send failed";
        QTest::newRow("zoom-zh") << "zh"
                                 << "zoom" << QString::fromUtf8("连续变倍指令发送失败");
        QTest::newRow("restart-en") << "en"
                                    << "restart"
                                    << "Failed to send camera soft reboot command";
        QTest::newRow("photo-zh") << "zh"
                                  << "photo" << QString::fromUtf8("拍照指令发送失败");
        QTest::newRow("record-start-en") << "en"
                                         << "record"
                                         << "Failed to send start record command";
        QTest::newRow("photo-resolution-zh") << "zh"
                                             << "photoRes" << QString::fromUtf8("拍照分辨率请求下发失败");
        QTest::newRow("record-resolution-en") << "en"
                                              << "recordRes"
                                              << "Failed to set record resolution";
        QTest::newRow("rtsp-en") << "en"
                                 << "rtsp"
                                 << "Failed to set RTSP resolution";
        QTest::newRow("bitrate-zh") << "zh"
                                    << "bitrate" << QString::fromUtf8("视频码率设置失败");
        QTest::newRow("encoding-en") << "en"
                                     << "encoding"
                                     << "Failed to set video encoding";
        QTest::newRow("output-zh") << "zh"
                                   << "output" << QString::fromUtf8("视频输出切换请求发送失败");
    }
    void failureMessagesWithoutALink() {
        QFETCH(QString, language);
        QFETCH(QString, method);
        QFETCH(QString, message);
        AppBridge& bridge = f.offline(language, QStringLiteral("Wren-R2"));
        if (method == QLatin1String("zoom"))
            bridge.cameraZoom(1);
        else if (method == QLatin1String("restart"))
            bridge.restartCamera();
        else if (method == QLatin1String("photo"))
            bridge.takePhoto();
        else if (method == QLatin1String("record"))
            bridge.toggleRecord();
        else if (method == QLatin1String("photoRes"))
            bridge.setPhotoResolution(QStringLiteral("1920*1080"));
        else if (method == QLatin1String("recordRes"))
            bridge.setRecordResolution(QStringLiteral("1920*1080"));
        else if (method == QLatin1String("rtsp"))
            bridge.setRtspResolution(QStringLiteral("720P30fps"));
        else if (method == QLatin1String("bitrate"))
            bridge.setVideoBitrate(QStringLiteral("2M"));
        else if (method == QLatin1String("encoding"))
            bridge.setVideoEncoding(QStringLiteral("H265"));
        else
            bridge.setVideoOutputMode(QStringLiteral("IR"));
        const QString noLink = language == QLatin1String("en") ? QStringLiteral("No UDP/UART link, send failed")
                                                               : QString::fromUtf8("未连接UDP/UART，发送失败");
        const QStringList got = f.newMessages();
        QCOMPARE(got.last(), message);
        QVERIFY2(got.count(noLink) >= 1, qPrintable(got.join(" | ")));
        QVERIFY(!bridge.recording());
        QCOMPARE(bridge.cameraRecordResolutionIndex(), -1);
    }

    // Nothing is sent without a link, and nothing is said.
    void settingsStateRequestNeedsALink() {
        AppBridge& bridge = f.offline(QStringLiteral("en"), QStringLiteral("Wren-R2"));
        bridge.requestCameraSettingsState();
        f.settle(300);
        QCOMPARE(f.newMessages(), QStringList());
    }

    void settingsStateRequestIsFollowedByThreeReads() {
        AppBridge& bridge = f.up(Link::Udp);
        const qint64 calledAt = f.now();
        bridge.requestCameraSettingsState();
        const auto settings = f.waitSent(0x000200);
        QCOMPARE(LinkTest::hex(settings.first().payload()), QStringLiteral("01 00"));
        const auto categories = f.waitSent(0x000336);
        QVERIFY2(!categories.isEmpty(), qPrintable(f.wire()));
        const auto versions = f.sent(0x000317);
        QVERIFY2(versions.size() == 1, qPrintable(f.wire()));
        // Timers never fire early; how late they fire depends on the machine.
        QVERIFY2(versions.first().atMs - calledAt >= 159 && categories.first().atMs - calledAt >= 239,
                 qPrintable(f.wire()));
        QVERIFY(!f.sent(0x000100).isEmpty());
        f.settle();
        QCOMPARE(f.newMessages(), QStringList{"Get AI categories request sent"});
    }
};

QTEST_GUILESS_MAIN(TestBridgeCamera)
#include "tst_bridge_camera.moc"
