// Channel configuration, camera address and laser ranging against a loopback device: commands,
// their refusals, the answers that fill the properties, and the periodic ranging messages.
#include <QSignalSpy>
#include <QtTest>

#include "BridgeDeviceFixture.h"

using namespace BridgeDevice;

namespace {

// Periodic ranging report: status, distance in tenths of a metre.
QByteArray rangeReport(uint16_t status, int tenths) {
    return u16(status) + u16(tenths);
}

}  // namespace

class TestBridgeChannels : public QObject {
    Q_OBJECT

private:
    Fixture f;

private slots:
    void cleanup() { f.reset(); }

    void channelRange_data() {
        QTest::addColumn<QString>("language");
        QTest::addColumn<int>("maxValue");
        QTest::addColumn<int>("minValue");
        QTest::addColumn<QString>("payload");  // "" = refused
        QTest::addColumn<QString>("message");
        QTest::newRow("sent-en") << "en" << 1800 << 200 << "08 07 c8 00 00"
                                 << "Channel value range sent (max:1800 min:200); power cycle required";
        QTest::newRow("sent-zh-clamped-max") << "zh" << 9000 << -4 << "ff 07 00 00 00"
                                             << "通道值范围已下发（最大:2047 最小:0），修改后需断电重启生效";
        QTest::newRow("both-clamped-to-2047") << "en" << 5000 << 3000 << QString() << "Min must be less than max";
        QTest::newRow("equal-zh") << "zh" << 100 << 100 << QString() << "最小值须小于最大值";
    }
    void channelRange() {
        QFETCH(QString, language);
        QFETCH(int, maxValue);
        QFETCH(int, minValue);
        QFETCH(QString, payload);
        QFETCH(QString, message);
        AppBridge& bridge = f.up(Link::Udp, language);
        QSignalSpy changed(&bridge, &AppBridge::channelConfigChanged);
        bridge.writeChannelRange(maxValue, minValue);
        QCOMPARE(f.newMessages(), QStringList{message});
        QCOMPARE(changed.count(), 0);
        if (payload.isEmpty()) {
            f.settle();
            QVERIFY2(f.sent(0x000500).isEmpty(), qPrintable(f.wire()));
            QCOMPARE(bridge.channelRangeMax(), 0);
            QCOMPARE(changed.count(), 0);
            return;
        }
        QCOMPARE(f.payloadHex(0x000500), payload);
        QCOMPARE(bridge.channelRangeMax(), qBound(0, maxValue, 2047));
        QCOMPARE(bridge.channelRangeMin(), qBound(0, minValue, 2047));
        QCOMPARE(changed.count(), 1);
    }

    // Writing the mapping changes nothing locally; reading it back fills the properties.
    void channelConfigWriteAndRead_data() { addLinkRows(); }
    void channelConfigWriteAndRead() {
        QFETCH(int, link);
        AppBridge& bridge = f.up(Link(link));
        bridge.writeChannelConfig(-1, 3, 20, 4, 5, 6, 7, 8);
        QCOMPARE(f.payloadHex(0x000501), QStringLiteral("00 03 10 04 05 06 07 08"));
        QCOMPARE(bridge.channelZoomCh(), 16);
        bridge.readChannelConfig();
        QCOMPARE(f.payloadHex(0x000502), QStringLiteral("01 00"));
        QSignalSpy changed(&bridge, &AppBridge::channelConfigChanged);
        QVERIFY(f.reply(0x010502, 0, u16(1800) + u16(200) + bytes({1, 2, 3, 4, 5, 6, 7, 0x3F})));
        QVERIFY(changed.wait(kLongWaitMs));
        QCOMPARE(bridge.channelRangeMax(), 1800);
        QCOMPARE(bridge.channelRangeMin(), 200);
        QCOMPARE((QVector<int>{bridge.channelStreamCh(), bridge.channelZoomCh(), bridge.channelCaptureCh(),
                               bridge.channelRecordCh(), bridge.channelPitchCh(), bridge.channelYawCh(),
                               bridge.channelHomeCh(), bridge.channelIrPaletteCh()}),
                 (QVector<int>{1, 2, 3, 4, 5, 6, 7, 16}));
        QCOMPARE(f.newMessages(), QStringList{"Channel config received"});
        // A short answer is not taken.
        QVERIFY(f.reply(0x010502, 0, u16(1000)));
        f.settle();
        QCOMPARE(bridge.channelRangeMax(), 1800);
        QCOMPARE(changed.count(), 1);
    }

    // A malformed address is refused; a good one is sent (type clamped) but shown only once read back.
    void cameraIpSetAndRead_data() {
        QTest::addColumn<int>("link");
        QTest::addColumn<QString>("language");
        QTest::newRow("udp-en") << int(Link::Udp) << "en";
        QTest::newRow("serial-zh") << int(Link::Serial) << "zh";
    }
    void cameraIpSetAndRead() {
        QFETCH(int, link);
        QFETCH(QString, language);
        const bool en = language == QLatin1String("en");
        AppBridge& bridge = f.up(Link(link), language);
        const QString before = bridge.cameraIpAddr();
        bridge.setCameraIp(5, QStringLiteral("192.0.2"), QStringLiteral("255.255.255.0"), QStringLiteral("192.0.2.1"));
        bridge.setCameraIp(5, QStringLiteral("192.0.2.25"), QStringLiteral("255.255.255.0"),
                           QStringLiteral(" 192.0.2.1 "));
        QCOMPARE(f.payloadHex(0x000311), QStringLiteral("01 c0 00 02 19 ff ff ff 00 c0 00 02 01"));
        QCOMPARE(bridge.cameraIpAddr(), before);
        bridge.getCameraIp();
        QCOMPARE(f.payloadHex(0x000312), QStringLiteral("01 00"));
        QSignalSpy changed(&bridge, &AppBridge::cameraIpChanged);
        QVERIFY(f.reply(0x010312, 0, bytes({192, 0, 2, 30, 255, 255, 0, 0, 192, 0, 2, 254})));
        QVERIFY(changed.wait(kLongWaitMs));
        QCOMPARE(bridge.cameraIpAddr(), QStringLiteral("192.0.2.30"));
        QCOMPARE(bridge.cameraSubnetMask(), QStringLiteral("255.255.0.0"));
        QCOMPARE(bridge.cameraGateway(), QStringLiteral("192.0.2.254"));
        QVERIFY(f.reply(0x010312, 3));
        f.settle();
        QCOMPARE(bridge.cameraIpAddr(), QStringLiteral("192.0.2.30"));
        QCOMPARE(f.newMessages(),
                 en ? (QStringList{"Invalid IP/mask/gateway format", "Camera IP received", "IP get failed"})
                    : (QStringList{"IP/掩码/网关格式无效", "已接收相机IP", "IP获取失败"}));
    }

    void singleRange_data() {
        QTest::addColumn<int>("tenths");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<QString>("message");
        QTest::newRow("123.4-m") << 1234 << true << "Single range result: 123.40 m";
        QTest::newRow("no-value") << 0 << false << "Single range result: Invalid (no value)";
    }
    void singleRange() {
        QFETCH(int, tenths);
        QFETCH(bool, valid);
        QFETCH(QString, message);
        AppBridge& bridge = f.up(Link::Serial);
        bridge.laserRangeSingle();
        QCOMPARE(f.payloadHex(0x000400), QStringLiteral("01 00"));
        QSignalSpy changed(&bridge, &AppBridge::laserRangeChanged);
        QVERIFY(f.reply(0x010400, 0, u16(tenths)));
        QVERIFY(changed.wait(kLongWaitMs));
        QCOMPARE(bridge.laserRangeDistance(), tenths / 10.0);
        QCOMPARE(bridge.laserRangeValid(), valid);
        QCOMPARE(f.newMessages(), QStringList{message});
    }

    // While periodic ranging runs every report is announced; after it was switched off only the
    // first report is, as the result of the stopped ranging, until it is switched on again.
    void periodicRanging() {
        AppBridge& bridge = f.up(Link::Udp);
        bridge.laserPeriodicOn();
        QCOMPARE(f.payloadHex(0x000406), QStringLiteral("01 00"));
        QVERIFY(f.report(0x020406, rangeReport(0, 505)));
        QVERIFY(f.report(0x020406, rangeReport(0, 0)));
        QVERIFY(f.report(0x020406, rangeReport(1, 777)));
        QTRY_COMPARE_WITH_TIMEOUT(f.newMessages().size(), 3, kLongWaitMs);
        QVERIFY(!bridge.laserRangeValid());  // a failed report keeps the last distance (0)
        QCOMPARE(f.newMessages(), (QStringList{"Continuous range: 50.50 m", "Continuous range: Invalid (no value)",
                                               "Continuous range failed"}));

        bridge.laserPeriodicOff();
        QCOMPARE(LinkTest::hex(f.waitSent(0x000406, 2).last().payload()), QStringLiteral("00 00"));
        f.markMessages();
        QVERIFY(f.report(0x020406, rangeReport(0, 1234)));
        QVERIFY(f.report(0x020406, rangeReport(0, 99)));
        QTRY_COMPARE_WITH_TIMEOUT(bridge.laserRangeDistance(), 9.9, kLongWaitMs);
        f.settle();
        QCOMPARE(f.newMessages(), QStringList{"Continuous range stopped, result: 123.40 m"});

        bridge.laserPeriodicOn();
        bridge.laserPeriodicOff();
        f.markMessages();
        QVERIFY(f.report(0x020406, rangeReport(2, 10)));
        QVERIFY(f.report(0x020406, rangeReport(0, 10)));
        QTRY_COMPARE_WITH_TIMEOUT(bridge.laserRangeDistance(), 1.0, kLongWaitMs);
        f.settle();
        QCOMPARE(f.newMessages(), QStringList{"Continuous range stopped, response failed:"});
    }

    void periodicRangingStoppedWithoutValueZh() {
        AppBridge& bridge = f.up(Link::Serial, QStringLiteral("zh"));
        QVERIFY(f.report(0x020406, rangeReport(0, 0)));
        QTRY_COMPARE_WITH_TIMEOUT(f.newMessages(), QStringList{"连续测距已停止，结果: 无效(无值)"}, kLongWaitMs);
        QVERIFY(!bridge.laserRangeValid());
    }
};

QTEST_GUILESS_MAIN(TestBridgeChannels)
#include "tst_bridge_channels.moc"
