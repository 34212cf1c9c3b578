// Camera commands against a loopback device: zoom encodings and limits, the infrared zoom, photo
// and recording, soft restart, the combo-text tables and the failure messages; the infrared
// commands, the palette codes per product and palette set, the palette feedback from the device,
// and the thermometry commands and their clamping.
#include <QSignalSpy>
#include <QtTest>

#include "BridgeDeviceFixture.h"
#include "SignalRecorder.h"

using namespace BridgeDevice;

namespace {

// Thermometry report long enough to carry the palette set (byte 30); temperatures all zero.
QByteArray paletteSetReport(uint8_t set) {
    QByteArray payload(34, '\0');
    payload[30] = char(set);
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

    // While the device streams its infrared picture the zoom goes to the infrared camera.
    void infraredZoomWhileStreamingInfrared() {
        AppBridge& bridge = f.up(Link::Udp);
        QVERIFY(f.report(0x020003, QByteArray(16, '\0')));  // output (stream) mode 0 in byte 3
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

    // A zoom-ratio command is announced as completed once the device reports the zoom at rest; a
    // zoom that never went out must not be announced later.
    void zoomSettlesWithTheReportAtRest() {
        AppBridge& bridge = f.offline(QStringLiteral("zh"), QStringLiteral("Wren-R2"));
        bridge.setVisibleZoom(12);
        QCOMPARE(f.newMessages(), QStringList{"未连接UDP/UART，发送失败"});
        f.attach(Link::Udp);
        QVERIFY(f.report(0x020005, zoomReport(false, 120)));
        QTRY_COMPARE_WITH_TIMEOUT(bridge.currentVisibleZoom(), 12.0, kLongWaitMs);
        f.settle();
        QCOMPARE(f.newMessages(), QStringList());
        bridge.setVisibleZoom(12);
        QVERIFY(f.report(0x000005, zoomReport(true, 80)));
        QVERIFY(f.report(0x020005, zoomReport(false, 120)));
        QVERIFY(f.report(0x020005, zoomReport(false, 120)));
        f.settle();
        QCOMPARE(f.newMessages(), QStringList{"混合变倍成功"});
    }

    // Answers for the serial link's device that arrive after the operator moved on (to UDP, or to
    // a re-opened port) find nothing pending: no stale resolution, no resend, no completed zoom.
    void cameraStateOfAClosedSerialLinkIsForgotten_data() { addLinkRows(); }  // the link moved on to
    void cameraStateOfAClosedSerialLinkIsForgotten() {
        QFETCH(int, link);
        AppBridge& bridge = f.up(Link::Serial);
        bridge.setPhotoResolution(QStringLiteral("4000*3000"));
        bridge.setVisibleZoom(12);
        QCOMPARE(f.waitSent(0x000304).size(), 1);
        f.attach(Link(link));
        QVERIFY(f.reply(0x010202, 0));
        QVERIFY(f.reply(0x010304, 1));  // refused: a pending zoom would be resent now
        QVERIFY(f.report(0x020005, zoomReport(false, 120)));
        QTRY_COMPARE_WITH_TIMEOUT(bridge.currentVisibleZoom(), 12.0, kLongWaitMs);
        f.settle(200);
        QCOMPARE(bridge.cameraPhotoResolutionIndex(), -1);
        QVERIFY2(f.sent(0x000304).isEmpty(), qPrintable(f.wire()));
        QVERIFY2(!f.newMessages().contains("Mixed zoom completed"), qPrintable(f.newMessages().join('\n')));
    }

    // Resolutions by their texts; a photo is the photo-mode frame, then the shutter.
    void resolutionAndPhotoCommands() {
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

        bridge.takePhoto();
        QCOMPARE(f.payloadHex(0x000300), QStringLiteral("00 00"));
        const auto shutter = f.waitSent(0x000302);
        QCOMPARE(shutter.size(), 1);
        QCOMPARE(shutter.first().payload(), QByteArray(54, '\0'));
        QVERIFY(f.sent(0x000300).first().atMs <= shutter.first().atMs);
        QCOMPARE(f.newMessages(), QStringList());
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

    // Without a link a guarded command says so and builds no frame; any other tries to send, and
    // its failure follows the send path's own complaint. Nothing local changes either way.
    void commandsWithoutALink_data() {
        QTest::addColumn<QString>("language");
        QTest::addColumn<Command>("command");
        QTest::addColumn<QString>("message");
        auto row = [](const char* name, const char* language, const QString& message, Command command) {
            QTest::addRow("%s-%s", name, language) << QString(language) << command << message;
        };
        row("zoom", "en", "Continuous zoom command send failed", [](AppBridge& b) { b.cameraZoom(1); });
        row("restart", "en", "Failed to send camera soft reboot command", [](AppBridge& b) { b.restartCamera(); });
        row("photo", "zh", "拍照指令发送失败", [](AppBridge& b) { b.takePhoto(); });
        row("record", "en", "Failed to send start record command", [](AppBridge& b) { b.toggleRecord(); });
        row("photoRes", "zh", "拍照分辨率请求下发失败", [](AppBridge& b) { b.setPhotoResolution("1920*1080"); });
        row("recordRes", "en", "Failed to set record resolution",
            [](AppBridge& b) { b.setRecordResolution("1920*1080"); });
        row("rtsp", "en", "Failed to set RTSP resolution", [](AppBridge& b) { b.setRtspResolution("720P30fps"); });
        row("bitrate", "zh", "视频码率设置失败", [](AppBridge& b) { b.setVideoBitrate("2M"); });
        row("encoding", "en", "Failed to set video encoding", [](AppBridge& b) { b.setVideoEncoding("H265"); });
        row("output", "zh", "视频输出切换请求发送失败", [](AppBridge& b) { b.setVideoOutputMode("IR"); });
        row("irRead", "en", "Failed to send IR settings request", [](AppBridge& b) { b.requestIrSettings(); });
        row("brightness", "zh", "红外亮度设置请求下发失败", [](AppBridge& b) { b.setIrBrightness(50); });
        row("contrast", "en", "Failed to send IR contrast setting request", [](AppBridge& b) { b.setIrContrast(50); });
        row("denoise", "zh", "红外降噪设置请求下发失败", [](AppBridge& b) { b.setIrDenoise(true, 5); });
        row("enhance", "en", "Failed to send IR enhance setting request",
            [](AppBridge& b) { b.setIrEnhance(true, 5); });
        row("superres", "en", "Failed to send IR super-resolution setting request",
            [](AppBridge& b) { b.setIrSuperRes(true); });
        row("measure", "zh", "红外测温开关下发失败", [](AppBridge& b) { b.setIrTempMeasure(true); });
        row("point", "en", "Failed to send IR thermometry point",
            [](AppBridge& b) { b.setIrTempMeasurePoint(500, 500); });
        row("region", "zh", "红外测温区域下发失败", [](AppBridge& b) { b.setIrTempMeasureRegion(500, 500, 20, 20); });
        row("channelRead", "en", "Channel read: connect UDP or UART first",
            [](AppBridge& b) { b.readChannelConfig(); });
        row("channelWrite", "zh", "通道写入：请先连接UDP或UART",
            [](AppBridge& b) { b.writeChannelConfig(1, 2, 3, 4, 5, 6, 7, 8); });
        row("range", "en", "Range set: connect UDP or UART first",
            [](AppBridge& b) { b.writeChannelRange(1800, 200); });
        row("ipSet", "zh", "IP设置：请先连接UDP或UART", [](AppBridge& b) { b.setCameraIp(0, "bad", {}, {}); });
        row("ipGet", "en", "IP get: connect UDP or UART first", [](AppBridge& b) { b.getCameraIp(); });
        row("single", "zh", "单次测距：请先连接UDP或UART", [](AppBridge& b) { b.laserRangeSingle(); });
        row("periodicOn", "en", "Laser periodic: connect UDP or UART first", [](AppBridge& b) { b.laserPeriodicOn(); });
        row("periodicOff", "zh", "停止连续测距：请先连接UDP或UART", [](AppBridge& b) { b.laserPeriodicOff(); });
        row("angle", "en", "Set angle: connect UDP or UART first", [](AppBridge& b) { b.gimbalSetAngle(10, 10); });
        row("categories", "zh", "获取识别类别：请先连接UDP或UART", [](AppBridge& b) { b.getAiDetectCategories(); });
    }
    void commandsWithoutALink() {
        QFETCH(QString, language);
        QFETCH(Command, command);
        QFETCH(QString, message);
        // A nine-palette model: the only kind that has the super-resolution switch.
        AppBridge& bridge = f.offline(language, QStringLiteral("Tern-LITE-A"));
        QSignalSpy thermometry(&bridge, &AppBridge::irThermometryChanged);
        const uint8_t sequence = bridge.nextSequenceNumber();
        command(bridge);
        const QString noLink = language == QLatin1String("en") ? QStringLiteral("No UDP/UART link, send failed")
                                                               : QStringLiteral("未连接UDP/UART，发送失败");
        const QStringList got = f.newMessages();
        QCOMPARE(got.value(got.size() - 1), message);
        if (got.size() == 1)
            QCOMPARE(bridge.nextSequenceNumber(), sequence);  // guarded: no frame was even built
        else
            QVERIFY2(got.contains(noLink), qPrintable(got.join(" | ")));
        QVERIFY(!bridge.recording());
        QCOMPARE(bridge.cameraRecordResolutionIndex(), -1);
        QCOMPARE(bridge.channelRangeMax(), 0);
        QCOMPARE(thermometry.count(), 0);
        QVERIFY(!bridge.irTempMeasureOn() && !bridge.irThermometryPointSelected());
        QCOMPARE(bridge.irThermometryRectWidth(), 0);
    }

    // Without a link nothing is sent and nothing is said; with one, three reads follow.
    void settingsStateRequestIsFollowedByThreeReads() {
        AppBridge& bridge = f.offline(QStringLiteral("en"), QStringLiteral("Wren-R2"));
        bridge.requestCameraSettingsState();
        f.settle(300);
        QCOMPARE(f.newMessages(), QStringList());
        f.attach(Link::Udp);
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

        // Switching to the infrared output reads the infrared settings at once: the read is the very
        // next frame built, whatever the machine's speed.
        bridge.setVideoOutputMode(QStringLiteral("IR"));
        const auto output = f.waitSent(0x000318);
        QVERIFY(output.size() == 1);
        const uint8_t next = uint8_t(output.first().frame.sequence + 1);
        auto readFollows = [&] {
            for (const auto& read : f.sent(0x000100))
                if (read.frame.sequence == next)
                    return true;
            return false;
        };
        QTRY_VERIFY2_WITH_TIMEOUT(readFollows(), qPrintable(f.wire()), kLongWaitMs);
    }

    void paletteCodeOnTheWire_data() {
        QTest::addColumn<QString>("product");
        QTest::addColumn<int>("set");  // -1: none reported
        QTest::addColumn<int>("scheme");
        QTest::addColumn<QString>("payload");
        QTest::addColumn<int>("comboIndex");
        QTest::newRow("Tern-LITE-A-5-is-gray-red") << "Tern-LITE-A" << -1 << 5 << "09 00" << 5;
        QTest::newRow("Tern-LITE-A-12-clamped") << "Tern-LITE-A" << -1 << 12 << "11 00" << 8;
        QTest::newRow("WrenT-R2-7-cyan-red") << "WrenT-R2" << -1 << 7 << "0e 00" << 7;
        QTest::newRow("Tern-set-1-14-clamped") << "Tern" << 1 << 14 << "0b 00" << 10;
        QTest::newRow("Tern-LITE-B-set-3-14") << "Tern-LITE-B" << 3 << 14 << "0f 00" << 14;
        QTest::newRow("Dove-negative") << "Dove" << -1 << -3 << "01 00" << 0;
        QTest::newRow("Dove-40") << "Dove" << -1 << 40 << "14 00" << 19;
    }
    void paletteCodeOnTheWire() {
        QFETCH(QString, product);
        QFETCH(int, set);
        QFETCH(int, scheme);
        QFETCH(QString, payload);
        QFETCH(int, comboIndex);
        AppBridge& bridge = f.up(Link::Udp, QStringLiteral("en"), product);
        if (set >= 0) {
            QVERIFY(f.report(0x020004, paletteSetReport(uint8_t(set))));
            QTRY_VERIFY_WITH_TIMEOUT(!bridge.irColorSchemeNames().isEmpty(), kLongWaitMs);
            f.settle();
        }
        QSignalSpy changed(&bridge, &AppBridge::currentIrColorSchemeChanged);
        bridge.setIrColorScheme(scheme);
        QCOMPARE(f.payloadHex(0x000106), payload);
        QCOMPARE(int(f.sent(0x000106).first().frame.receiverId), 4);
        QCOMPARE(bridge.currentIrColorSchemeComboIndex(), comboIndex);
        QCOMPARE(changed.count(), 1);
    }

    // The palette set reported by a Tern changes the names and, when the code no longer exists,
    // falls back to the first palette; the model signal comes before the selection signal. With
    // thermometry off the report's temperatures are not taken.
    void paletteSetChangesTheModel() {
        AppBridge& bridge = f.up(Link::Udp, QStringLiteral("en"), QStringLiteral("Tern"));
        QCOMPARE(bridge.irColorSchemeNames().size(), 20);
        QCOMPARE(bridge.irColorSchemeNames().at(3), QStringLiteral("High Contrast Rainbow"));
        bridge.setIrColorScheme(14);  // code 15
        f.settle();
        SignalRecorder recorder(&bridge);
        QVERIFY(f.report(0x020004, paletteSetReport(1).replace(0, 2, u16(456))));
        QTRY_COMPARE_WITH_TIMEOUT(bridge.irColorSchemeNames().size(), 11, kLongWaitMs);
        QCOMPARE(bridge.currentIrColorSchemeComboIndex(), 0);
        f.settle();
        QCOMPARE(recorder.count(QStringLiteral("irThermometryChanged")), 0);
        QCOMPARE(bridge.irThermometryMaxTemp(), 0.0);
        QStringList palette = recorder.names.filter(QStringLiteral("ColorScheme"));
        QCOMPARE(palette, (QStringList{"irColorSchemeModelChanged", "currentIrColorSchemeChanged"}));
        QCOMPARE(bridge.irColorSchemeNames().at(1), QStringLiteral("Glint Gold"));

        // The same set again changes nothing; an unknown set means the full table.
        recorder.clear();
        QVERIFY(f.report(0x020004, paletteSetReport(1)));
        f.settle();
        QCOMPARE(recorder.names.filter(QStringLiteral("ColorScheme")), QStringList());
        QVERIFY(f.report(0x020004, paletteSetReport(9)));
        QTRY_COMPARE_WITH_TIMEOUT(bridge.irColorSchemeNames().size(), 20, kLongWaitMs);

        bridge.setLanguage(QStringLiteral("zh"));
        QCOMPARE(bridge.irColorSchemeNames().first(), QString::fromUtf8("白热"));
    }

    // The device's palette code is taken only when it exists for the product and set.
    void paletteFromTheDevice_data() {
        QTest::addColumn<QString>("product");
        QTest::addColumn<int>("set");
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("comboIndex");
        QTest::newRow("Tern-set-3-code-18-ignored") << "Tern" << 3 << 18 << 0;
        QTest::newRow("Tern-set-3-code-15") << "Tern" << 3 << 15 << 14;
        QTest::newRow("Dove-code-20") << "Dove" << -1 << 20 << 19;
        QTest::newRow("Dove-code-0-ignored") << "Dove" << -1 << 0 << 0;
        QTest::newRow("Tern-LITE-A-code-14") << "Tern-LITE-A" << -1 << 14 << 7;
        QTest::newRow("Tern-LITE-A-code-6-not-in-combo") << "Tern-LITE-A" << -1 << 6 << 0;
        QTest::newRow("Wren-R2-set-ignored-code-21") << "Wren-R2" << 1 << 21 << 0;
    }
    void paletteFromTheDevice() {
        QFETCH(QString, product);
        QFETCH(int, set);
        QFETCH(int, code);
        QFETCH(int, comboIndex);
        AppBridge& bridge = f.up(Link::Udp, QStringLiteral("en"), product);
        if (set >= 0) {
            QVERIFY(f.report(0x020004, paletteSetReport(uint8_t(set))));
            f.settle();
        }
        QVERIFY(f.report(0x000100, bytes({0, 0, code, 0})));  // result 0, palette code, zoom byte
        f.settle();
        QCOMPARE(bridge.currentIrColorSchemeComboIndex(), comboIndex);
        QVERIFY(bridge.irColorSchemeNames().isEmpty() == (product != QLatin1String("Tern")));
    }

    // A palette send that fails still moves the local selection.
    void failedPaletteSendMovesTheSelection() {
        AppBridge& bridge = f.offline(QStringLiteral("zh"), QStringLiteral("Dove"));
        bridge.setIrColorScheme(6);
        QCOMPARE(bridge.currentIrColorSchemeComboIndex(), 6);
        QCOMPARE(f.newMessages(), (QStringList{"未连接UDP/UART，发送失败", "红外色板设置请求下发失败"}));
    }

    // Setting commands on the wire, clamped, or refused without a word; the zoom limit depends on the
    // product, and the super-resolution switch exists on nine-palette models only.
    void settingCodes_data() {
        QTest::addColumn<QString>("product");
        QTest::addColumn<Command>("command");
        QTest::addColumn<uint32_t>("id");
        QTest::addColumn<QString>("payload");  // "" = nothing sent
        auto row = [](const char* name, const char* product, uint32_t id, const char* payload, Command command) {
            QTest::newRow(name) << QString(product) << command << id << QString(payload);
        };
        const char* wren = "Wren-R2";
        row("zoom-500-to-40-on-Wren-R2", wren, 0x000304, "00 90 01", [](AppBridge& b) { b.setVisibleZoom(500); });
        row("zoom-0.2-to-1", "Dove", 0x000304, "00 0a 00", [](AppBridge& b) { b.setVisibleZoom(0.2); });
        row("zoom-500-to-100-on-Tern-LITE-B", "Tern-LITE-B", 0x000304, "00 e8 03",
            [](AppBridge& b) { b.setVisibleZoom(500); });
        row("zoom-nan-taken-as-1", "Dove", 0x000304, "00 0a 00", [](AppBridge& b) { b.setVisibleZoom(qQNaN()); });
        row("bitrate-1.5M", wren, 0x000308, "02 00", [](AppBridge& b) { b.setVideoBitrate("1.5M"); });
        row("bitrate-unknown", wren, 0x000308, "", [](AppBridge& b) { b.setVideoBitrate("3M"); });
        row("rtsp-1080", wren, 0x00030A, "01 00", [](AppBridge& b) { b.setRtspResolution("1080P30fps"); });
        row("encoding-H264", wren, 0x00030B, "00 00", [](AppBridge& b) { b.setVideoEncoding("H264"); });
        row("output-Visible", wren, 0x000318, "05 00", [](AppBridge& b) { b.setVideoOutputMode("Visible"); });
        row("output-split-zh", wren, 0x000318, "07 00", [](AppBridge& b) { b.setVideoOutputMode("分屏"); });
        row("output-lower-case", wren, 0x000318, "", [](AppBridge& b) { b.setVideoOutputMode("visible"); });
        row("brightness-150", wren, 0x00010B, "64 00", [](AppBridge& b) { b.setIrBrightness(150); });
        row("contrast-negative", wren, 0x00010C, "00 00", [](AppBridge& b) { b.setIrContrast(-5); });
        row("denoise-on-300", wren, 0x00010D, "01 64 00", [](AppBridge& b) { b.setIrDenoise(true, 300); });
        row("denoise-off-40", wren, 0x00010D, "00 28 00", [](AppBridge& b) { b.setIrDenoise(false, 40); });
        row("enhance-off-7", wren, 0x00010E, "00 00", [](AppBridge& b) { b.setIrEnhance(false, 7); });
        row("enhance-on-0", wren, 0x00010E, "01 00", [](AppBridge& b) { b.setIrEnhance(true, 0); });
        row("enhance-on-25", wren, 0x00010E, "0a 00", [](AppBridge& b) { b.setIrEnhance(true, 25); });
        row("thermometry-on", wren, 0x000108, "00 00", [](AppBridge& b) { b.setIrTempMeasure(true); });
        row("thermometry-off", wren, 0x000108, "01 00", [](AppBridge& b) { b.setIrTempMeasure(false); });
        const Command superRes = [](AppBridge& b) { b.setIrSuperRes(true); };
        row("superres-Tern-LITE-A", "Tern-LITE-A", 0x000180, "01 00", superRes);
        row("superres-WrenT-R2", "WrenT-R2", 0x000180, "01 00", superRes);
        row("superres-Tern", "Tern", 0x000180, "", superRes);
        row("superres-Wren-R2", wren, 0x000180, "", superRes);
    }
    void settingCodes() {
        QFETCH(QString, product);
        QFETCH(Command, command);
        QFETCH(uint32_t, id);
        QFETCH(QString, payload);
        AppBridge& bridge = f.up(Link::Udp, QStringLiteral("en"), product);
        command(bridge);
        if (payload.isEmpty()) {
            f.settle();
            QVERIFY2(f.sent(id).isEmpty(), qPrintable(f.wire()));
        } else {
            QCOMPARE(f.payloadHex(id), payload);
            QCOMPARE(int(f.sent(id).first().frame.receiverId), 4);
        }
        QCOMPARE(f.newMessages(), QStringList());
        QCOMPARE(bridge.currentVisibleZoom(), 1.0);  // follows the device's reports only
    }

    void thermometryPointAndRegion() {
        AppBridge& bridge = f.up(Link::Udp);
        QSignalSpy thermometry(&bridge, &AppBridge::irThermometryChanged);
        bridge.setIrTempMeasureRegion(0, 0, 100, 50);
        QCOMPARE(f.payloadHex(0x000110), QStringLiteral("64 00 32 00 77 01 3a 00 00"));
        QCOMPARE((QVector<int>{bridge.irThermometryRectCenterX(), bridge.irThermometryRectCenterY(),
                               bridge.irThermometryRectWidth(), bridge.irThermometryRectHeight()}),
                 (QVector<int>{375, 58, 100, 50}));
        QCOMPARE(thermometry.count(), 1);

        bridge.setIrTempMeasurePoint(0, 2000);
        QCOMPARE(f.payloadHex(0x00010F), QStringLiteral("45 01 16 04 00"));
        QVERIFY(bridge.irThermometryPointSelected());
        QCOMPARE(bridge.irThermometryPointX(), 325);
        QCOMPARE(bridge.irThermometryPointY(), 1046);
        QCOMPARE(bridge.irThermometryRectWidth(), 0);  // a point replaces the rectangle

        bridge.setIrTempMeasureRegion(2000, 2000, 5000, 5000);
        QCOMPARE(LinkTest::hex(f.waitSent(0x000110, 2).last().payload()), QStringLiteral("f5 04 f5 03 c0 03 1c 02 00"));
        QVERIFY(!bridge.irThermometryPointSelected());
        QCOMPARE(thermometry.count(), 3);
    }

    // Switching thermometry off clears the operator's spot and rectangle but keeps the readings.
    void switchingThermometryOff() {
        AppBridge& bridge = f.up(Link::Udp);
        bridge.setIrTempMeasure(true);
        QByteArray reading = u16(456) + u16(100) + bytes({0, 0}) + u16(300) + u16(250) + u16(400) + u16(100);
        reading.resize(34);
        QVERIFY(f.report(0x020004, reading));
        QTRY_VERIFY_WITH_TIMEOUT(bridge.irThermometryValid(), kLongWaitMs);
        bridge.setIrTempMeasureRegion(900, 500, 40, 40);
        QCOMPARE(f.waitSent(0x000110).size(), 1);

        SignalRecorder recorder(&bridge);
        bridge.setIrTempMeasure(false);
        QCOMPARE(recorder.names, (QStringList{"irTempMeasureOnChanged", "irThermometryChanged"}));
        QVERIFY(!bridge.irThermometryValid());
        QCOMPARE(bridge.irThermometryRectWidth(), 0);
        QCOMPARE(bridge.irThermometryRectCenterX(), 0);
        QCOMPARE(bridge.irThermometryPointTemp(), 0.0);
        QCOMPARE(bridge.irThermometryMaxTemp(), 45.6);
        QCOMPARE(bridge.irThermometryMaxX(), 400);
    }
};

QTEST_GUILESS_MAIN(TestBridgeCamera)
#include "tst_bridge_camera.moc"
