// Infrared commands and the palette model against a loopback device: palette codes per product
// and palette set, the palette feedback from the device, thermometry commands and their clamping.
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

// Infrared settings answer: result 0, palette code, zoom byte.
QByteArray irSettings(uint8_t code, uint8_t zoomByte = 0) {
    return bytes({0, 0, code, zoomByte});
}

}  // namespace

class TestBridgeInfrared : public QObject {
    Q_OBJECT

private:
    Fixture f;

    void reportPaletteSet(AppBridge& bridge, uint8_t set) {
        QVERIFY(f.report(0x020004, paletteSetReport(set)));
        QTRY_VERIFY_WITH_TIMEOUT(!bridge.irColorSchemeNames().isEmpty(), kLongWaitMs);
        f.settle();
    }

private slots:
    void cleanup() { f.reset(); }

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
        if (set >= 0)
            reportPaletteSet(bridge, uint8_t(set));
        QSignalSpy changed(&bridge, &AppBridge::currentIrColorSchemeChanged);
        bridge.setIrColorScheme(scheme);
        QCOMPARE(f.payloadHex(0x000106), payload);
        QCOMPARE(int(f.sent(0x000106).first().frame.receiverId), 4);
        QCOMPARE(bridge.currentIrColorSchemeComboIndex(), comboIndex);
        QCOMPARE(changed.count(), 1);
    }

    // The palette set reported by a Tern changes the names and, when the code no longer exists,
    // falls back to the first palette; the model signal comes before the selection signal.
    void paletteSetChangesTheModel() {
        AppBridge& bridge = f.up(Link::Udp, QStringLiteral("en"), QStringLiteral("Tern"));
        QCOMPARE(bridge.irColorSchemeNames().size(), 20);
        QCOMPARE(bridge.irColorSchemeNames().at(3), QStringLiteral("High Contrast Rainbow"));
        bridge.setIrColorScheme(14);  // code 15
        f.settle();
        SignalRecorder recorder(&bridge);
        QVERIFY(f.report(0x020004, paletteSetReport(1)));
        QTRY_COMPARE_WITH_TIMEOUT(bridge.irColorSchemeNames().size(), 11, kLongWaitMs);
        QCOMPARE(bridge.currentIrColorSchemeComboIndex(), 0);
        f.settle();
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
        QVERIFY(f.report(0x000100, irSettings(uint8_t(code))));
        f.settle();
        QCOMPARE(bridge.currentIrColorSchemeComboIndex(), comboIndex);
        QVERIFY(bridge.irColorSchemeNames().isEmpty() == (product != QLatin1String("Tern")));
    }

    // A palette send that fails still moves the local selection.
    void failedPaletteSendMovesTheSelection() {
        AppBridge& bridge = f.offline(QStringLiteral("zh"), QStringLiteral("Dove"));
        bridge.setIrColorScheme(6);
        QCOMPARE(bridge.currentIrColorSchemeComboIndex(), 6);
        QCOMPARE(f.newMessages(), (QStringList{QString::fromUtf8("未连接UDP/UART，发送失败"),
                                               QString::fromUtf8("红外色板设置请求下发失败")}));
    }

    void adjustmentsAreClamped_data() {
        QTest::addColumn<QString>("method");
        QTest::addColumn<bool>("enable");
        QTest::addColumn<int>("value");
        QTest::addColumn<uint32_t>("id");
        QTest::addColumn<QString>("payload");
        QTest::newRow("brightness-150") << "brightness" << true << 150 << 0x00010Bu << "64 00";
        QTest::newRow("contrast-negative") << "contrast" << true << -5 << 0x00010Cu << "00 00";
        QTest::newRow("denoise-on-300") << "denoise" << true << 300 << 0x00010Du << "01 64 00";
        QTest::newRow("denoise-off-40") << "denoise" << false << 40 << 0x00010Du << "00 28 00";
        QTest::newRow("enhance-off-7") << "enhance" << false << 7 << 0x00010Eu << "00 00";
        QTest::newRow("enhance-on-0") << "enhance" << true << 0 << 0x00010Eu << "01 00";
        QTest::newRow("enhance-on-25") << "enhance" << true << 25 << 0x00010Eu << "0a 00";
        QTest::newRow("thermometry-on") << "measure" << true << 0 << 0x000108u << "00 00";
        QTest::newRow("thermometry-off") << "measure" << false << 0 << 0x000108u << "01 00";
    }
    void adjustmentsAreClamped() {
        QFETCH(QString, method);
        QFETCH(bool, enable);
        QFETCH(int, value);
        QFETCH(uint32_t, id);
        QFETCH(QString, payload);
        AppBridge& bridge = f.up(Link::Udp);
        if (method == QLatin1String("brightness"))
            bridge.setIrBrightness(value);
        else if (method == QLatin1String("contrast"))
            bridge.setIrContrast(value);
        else if (method == QLatin1String("denoise"))
            bridge.setIrDenoise(enable, value);
        else if (method == QLatin1String("enhance"))
            bridge.setIrEnhance(enable, value);
        else
            bridge.setIrTempMeasure(enable);
        QCOMPARE(f.payloadHex(id), payload);
        QCOMPARE(f.newMessages(), QStringList());
    }

    void superResolutionOnlyOnNinePaletteModels_data() {
        QTest::addColumn<QString>("product");
        QTest::addColumn<QString>("payload");
        QTest::newRow("Tern-LITE-A") << "Tern-LITE-A"
                                     << "01 00";
        QTest::newRow("WrenT-R2") << "WrenT-R2"
                                  << "01 00";
        QTest::newRow("Tern") << "Tern"
                              << "";
        QTest::newRow("Wren-R2") << "Wren-R2"
                                 << "";
    }
    void superResolutionOnlyOnNinePaletteModels() {
        QFETCH(QString, product);
        QFETCH(QString, payload);
        AppBridge& bridge = f.up(Link::Udp, QStringLiteral("en"), product);
        bridge.setIrSuperRes(true);
        if (payload.isEmpty()) {
            f.settle();
            QVERIFY2(f.sent(0x000180).isEmpty(), qPrintable(f.wire()));
        } else {
            QCOMPARE(f.payloadHex(0x000180), payload);
        }
        QCOMPARE(f.newMessages(), QStringList());
    }

    void thermometryPointAndRegion() {
        AppBridge& bridge = f.up(Link::Udp);
        QSignalSpy thermometry(&bridge, &AppBridge::irThermometryChanged);
        bridge.setIrTempMeasureRegion(0, 0, 100, 50);
        QCOMPARE(f.payloadHex(0x000110), QStringLiteral("64 00 32 00 77 01 3a 00 00"));
        QCOMPARE(bridge.irThermometryRectCenterX(), 375);
        QCOMPARE(bridge.irThermometryRectCenterY(), 58);
        QCOMPARE(bridge.irThermometryRectWidth(), 100);
        QCOMPARE(bridge.irThermometryRectHeight(), 50);
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
        QVERIFY(bridge.irTempMeasureOn());
        QByteArray reading = u16(456) + u16(100) + bytes({0, 0}) + u16(300) + u16(250) + u16(400) + u16(100);
        reading.resize(34);
        QVERIFY(f.report(0x020004, reading));
        QTRY_VERIFY_WITH_TIMEOUT(bridge.irThermometryValid(), kLongWaitMs);
        bridge.setIrTempMeasureRegion(900, 500, 40, 40);
        QCOMPARE(f.waitSent(0x000110).size(), 1);

        SignalRecorder recorder(&bridge);
        bridge.setIrTempMeasure(false);
        QCOMPARE(recorder.names, (QStringList{"irTempMeasureOnChanged", "irThermometryChanged"}));
        QVERIFY(!bridge.irTempMeasureOn());
        QVERIFY(!bridge.irThermometryValid());
        QCOMPARE(bridge.irThermometryRectWidth(), 0);
        QCOMPARE(bridge.irThermometryRectCenterX(), 0);
        QCOMPARE(bridge.irThermometryPointTemp(), 0.0);
        QCOMPARE(bridge.irThermometryMaxTemp(), 45.6);
        QCOMPARE(bridge.irThermometryMaxX(), 400);
    }
};

QTEST_GUILESS_MAIN(TestBridgeInfrared)
#include "tst_bridge_infrared.moc"
