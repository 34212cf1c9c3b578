// The channel, IP and tracking tabs with a real controller and a loopback UDP device: what the
// operator's clicks put on the wire, and what the device's answers show.

#include <QtTest>

#include "UiLinkedDevice.h"
#include "protocol/MessageCatalogue.h"

namespace {

using Ui::bytes;
using Ui::u16;

// An AI detection payload: 1 on, 2 off, then the categories' bitmap (category n is bit n - 1).
QString aiDetectHex(int mode, int firstBitmapByte) {
    return LinkTest::hex(bytes({mode, 0, firstBitmapByte}) + QByteArray(15, '\0'));
}

// The channel combos in the order they stand on screen.
const QStringList kCombos{"chStream", "chPitch", "chZoom", "chYaw", "chCapture", "chHome", "chRecord", "chIrPalette"};

}  // namespace

class TestUiTabs : public QObject {
    Q_OBJECT

    Ui::Fixture ui;
    Ui::LinkedDevice device;

    bool startLinked(const QString& product = QStringLiteral("Wren-R2")) { return device.start(ui, product); }
    bool reply(uint32_t id, const QByteArray& rest) {
        return device.deliver(LinkTest::frameBytes(4, 1, id, LinkTest::replyPayload(0, rest)));
    }
    QStringList octets(const QString& prefix) const {
        QStringList parts;
        for (int i = 1; i <= 4; ++i)
            parts << ui.text(prefix + QString::number(i));
        return parts;
    }
    bool showTab(const QString& tab, int index) {
        if (!ui.click(tab))
            return false;
        const bool shown =
            QTest::qWaitFor([&] { return ui.read("controlTabs", "currentIndex").toInt() == index; }, 10000);
        Ui::Fixture::settle();
        return shown;
    }

private slots:
    void init() { Ui::installPictures(); }
    void cleanup() { ui.stop(); }  // the next start replaces the device too

    // The combos' positions become channels ("NONE" is 16) in the device's argument order.
    void channelWriteSendsTheCombosInDeviceOrder_data() {
        QTest::addColumn<QVector<int>>("indexes");  // screen order
        QTest::addColumn<QByteArray>("payload");    // stream zoom capture record pitch yaw home palette
        QTest::newRow("none-is-channel-16") << QVector<int>(8, 0) << QByteArray(8, char(16));
        QTest::newRow("argument-order") << QVector<int>{1, 2, 3, 4, 5, 6, 7, 8} << bytes({0, 2, 4, 6, 1, 3, 5, 7});
        QTest::newRow("last-channel") << QVector<int>(8, 16) << QByteArray(8, char(15));
    }

    void channelWriteSendsTheCombosInDeviceOrder() {
        QFETCH(QVector<int>, indexes);
        QFETCH(QByteArray, payload);
        QVERIFY(startLinked());
        QVERIFY(showTab("tabChannel", 2));
        for (int i = 0; i < kCombos.size(); ++i)
            QVERIFY(ui.item(kCombos[i])->setProperty("currentIndex", indexes[i]));
        QVERIFY(ui.click("channelWriteButton"));
        QTRY_COMPARE_WITH_TIMEOUT(device.raw(MessageId::SbusChannelConfig).size(), 1, 10000);
        QCOMPARE(LinkTest::hex(device.raw(MessageId::SbusChannelConfig).first()), LinkTest::hex(payload));
    }

    // The device's channels show in the combos in either encoding; its range fills the fields.
    // Steps and edits keep the range within 0..2047 and send nothing; Apply sends the two fields.
    void channelReadAndRange() {
        QVERIFY(startLinked());
        QVERIFY(showTab("tabChannel", 2));
        // Device: stream 16, zoom 0, capture 15, record 1, pitch 2, yaw 3, home 4, palette 5.
        const QByteArray channels = bytes({16, 0, 15, 1, 2, 3, 4, 5 << 1});
        const QVector<int> zeroBased{0, 3, 1, 4, 16, 5, 2, 6};  // screen order
        const QVector<int> oneBased{0, 2, 0, 3, 15, 4, 1, 5};
        for (int reads = 1; reads <= 2; ++reads) {
            ui.window->setProperty("channelEncoding1Based", reads == 2);
            QVERIFY(ui.click("channelReadButton"));
            QTRY_COMPARE_WITH_TIMEOUT(device.raw(MessageId::SbusReadConfig).size(), reads, 10000);
            QVERIFY(reply(0x010502, u16(1800 + reads) + u16(200) + channels));
            QTRY_COMPARE_WITH_TIMEOUT(ui.text("channelRangeMaxInput"), QString::number(1800 + reads), 10000);
            QCOMPARE(ui.text("channelRangeMinInput"), QStringLiteral("200"));
            for (int i = 0; i < kCombos.size(); ++i)
                QCOMPARE(ui.read(kCombos[i], "currentIndex").toInt(), (reads == 2 ? oneBased : zeroBased)[i]);
        }

        QVERIFY(ui.type("channelRangeMaxInput", "5000"));
        QTest::keyClick(ui.window, Qt::Key_Return);
        QTRY_COMPARE(ui.text("channelRangeMaxInput"), QStringLiteral("2047"));
        QVERIFY(ui.click("channelRangeMaxInputPlus"));
        QCOMPARE(ui.text("channelRangeMaxInput"), QStringLiteral("2047"));
        QVERIFY(ui.type("channelRangeMinInput", "x"));
        QVERIFY(ui.click("channelRangeMinInputMinus"));
        QCOMPARE(ui.text("channelRangeMinInput"), QStringLiteral("0"));
        QVERIFY(ui.click("channelRangeMinInputPlus"));
        QCOMPARE(ui.text("channelRangeMinInput"), QStringLiteral("1"));
        Ui::Fixture::settle(500);
        QVERIFY(device.raw(MessageId::SbusChannelRange).isEmpty());

        QVERIFY(ui.click("channelRangeApplyButton"));
        QTRY_COMPARE_WITH_TIMEOUT(device.raw(MessageId::SbusChannelRange).size(), 1, 10000);
        QCOMPARE(device.raw(MessageId::SbusChannelRange).first().left(4), u16(2047) + u16(1));
    }

    // Rows fill only from four-part addresses, Save sends them as typed, and only closing the last
    // link empties them.
    void ipRowsFollowTheDeviceAndTheLink() {
        QVERIFY(startLinked());
        QVERIFY(showTab("tabIP", 3));
        QTRY_COMPARE_WITH_TIMEOUT(device.raw(MessageId::GetCameraIp).size(), 1, 10000);
        QVERIFY(reply(0x010312, bytes({127, 0, 0, 9, 255, 255, 255, 0, 127, 0, 0, 1})));
        QTRY_COMPARE_WITH_TIMEOUT(octets("ipAddr"), (QStringList{"127", "0", "0", "9"}), 10000);
        QCOMPARE(octets("ipMask"), (QStringList{"255", "255", "255", "0"}));
        QCOMPARE(octets("ipGw"), (QStringList{"127", "0", "0", "1"}));
        QCOMPARE(device.raw(MessageId::GetCameraIp).size(), 1);  // asked once

        // No device sends fewer than four parts; the rows are checked on their own.
        QVERIFY(QMetaObject::invokeMethod(ui.item("ipPanel"), "showAddresses", Q_ARG(QVariant, "10.0.0"),
                                          Q_ARG(QVariant, "255.255.0.0"), Q_ARG(QVariant, "1.2.3.4.5")));
        QCOMPARE(octets("ipAddr"), (QStringList{"127", "0", "0", "9"}));
        QCOMPARE(octets("ipMask"), (QStringList{"255", "255", "0", "0"}));
        QCOMPARE(octets("ipGw"), (QStringList{"127", "0", "0", "1"}));

        QVERIFY(ui.type("ipAddr4", "20"));
        QVERIFY(ui.click("ipSaveButton"));
        QTRY_COMPARE_WITH_TIMEOUT(device.raw(MessageId::SetCameraIp).size(), 1, 10000);
        QCOMPARE(LinkTest::hex(device.raw(MessageId::SetCameraIp).first()),
                 LinkTest::hex(bytes({0, 127, 0, 0, 20, 255, 255, 0, 0, 127, 0, 0, 1})));

        ui.bridge->disconnectUdp();
        QTRY_COMPARE_WITH_TIMEOUT(octets("ipAddr") + octets("ipMask") + octets("ipGw"),
                                  QStringList(QVector<QString>(12).toList()), 10000);
        QVERIFY(ui.type("ipGw1", "10"));
        QVERIFY(device.attach(ui, Ui::Link::Udp));  // a fresh device
        QTRY_VERIFY_WITH_TIMEOUT(ui.bridge->udpConnected(), 10000);
        Ui::Fixture::settle(500);
        QCOMPARE(ui.text("ipGw1"), QStringLiteral("10"));
    }

    // AI detection needs a ticked category; the ticks stay while it runs and clear when it stops.
    // The device's categories tick the right boxes and turn the switch on without an echo.
    void aiSwitchFollowsTheCategories() {
        QVERIFY(startLinked("Tern"));
        QVERIFY(showTab("tabTracking", 4));
        QVERIFY(!ui.read("aiSwitch", "enabled").toBool());
        QVERIFY(ui.click("aiSwitch"));
        Ui::Fixture::settle(500);
        QVERIFY(device.raw(MessageId::AiDetection).isEmpty());

        QVERIFY(ui.click("aiCategory4"));
        QTRY_COMPARE_WITH_TIMEOUT(device.raw(MessageId::AiDetection).size(), 1, 10000);
        QCOMPARE(LinkTest::hex(device.raw(MessageId::AiDetection).last()), aiDetectHex(2, 0x08));
        QTRY_VERIFY(ui.read("aiSwitch", "enabled").toBool());

        QVERIFY(ui.click("aiSwitch"));
        QTRY_COMPARE_WITH_TIMEOUT(device.raw(MessageId::AiDetection).size(), 2, 10000);
        QCOMPARE(LinkTest::hex(device.raw(MessageId::AiDetection).last()), aiDetectHex(1, 0x08));
        Ui::Fixture::settle();
        QVERIFY(ui.read("aiCategory4", "checked").toBool());
        QVERIFY(!ui.read("aiCategory4", "enabled").toBool());

        QVERIFY(ui.click("aiSwitch"));
        QTRY_COMPARE_WITH_TIMEOUT(device.raw(MessageId::AiDetection).size(), 3, 10000);
        QCOMPARE(LinkTest::hex(device.raw(MessageId::AiDetection).last()), aiDetectHex(2, 0));
        QTRY_VERIFY(!ui.read("aiCategory4", "checked").toBool());
        QVERIFY(!ui.read("aiSwitch", "enabled").toBool());

        QVERIFY(reply(0x010336, bytes({1, 0x02, 0x01})));  // on, categories 2 and 9
        QTRY_VERIFY_WITH_TIMEOUT(ui.read("aiSwitch", "checked").toBool(), 10000);
        for (int id = 1; id <= 10; ++id)
            QCOMPARE(ui.read(QString("aiCategory%1").arg(id), "checked").toBool(), id == 2 || id == 9);
        Ui::Fixture::settle(500);
        QCOMPARE(device.raw(MessageId::AiDetection).size(), 3);
    }

    // Without a link the tracking, AI and thermometry switches stay off (the log says why); with
    // one, box tracking on stops the gimbal and off tells the device to stop tracking. Both tabs
    // that carry the switches.
    void trackSwitchDrivesTracking_data() {
        QTest::addColumn<QString>("product");
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("tab");
        QTest::addColumn<QStringList>("switches");  // tracking, AI
        QTest::addColumn<bool>("thermometry");
        QTest::newRow("tracking-tab") << "Tern" << 4 << "tabTracking" << QStringList{"trackSwitch", "aiSwitch"}
                                      << false;
        QTest::newRow("camera-tab with thermometry")
            << "WrenT-R2" << 1 << "tabCamera" << QStringList{"cameraTrackSwitch", "cameraAiSwitch"} << true;
    }
    void trackSwitchDrivesTracking() {
        QFETCH(QString, product);
        QFETCH(int, index);
        QFETCH(QString, tab);
        QFETCH(QStringList, switches);
        QFETCH(bool, thermometry);
        const QString trackSwitch = switches[0];
        const QString aiSwitch = switches[1];
        // The log lines of the switches' failed sends.
        QStringList failures{"Box tracking: please connect UDP or UART first", "AI detect: connect UDP or UART first"};
        QVERIFY(ui.start(Ui::config("en", product, {"rtsp://127.0.0.1:9/a"})));
        QVERIFY(showTab(tab, index));
        if (aiSwitch == "aiSwitch")
            QVERIFY(ui.click("aiCategory4"));  // the switch needs a category
        if (thermometry) {                     // the thermometry switch shows with the infrared picture
            QVERIFY(ui.click("videoOutputIr"));
            QTRY_VERIFY(ui.item("irTempMeasureSwitch")->isVisible());
            switches << "irTempMeasureSwitch";
            failures << "Failed to send IR thermometry switch";
        }
        ui.bridge->clearMessages();
        for (const QString& name : switches)
            QVERIFY2(ui.click(name), qPrintable(name));
        QTRY_VERIFY_WITH_TIMEOUT(ui.bridge->messageLog().contains(failures.last()), 10000);
        for (const QString& failure : failures)
            QVERIFY2(ui.bridge->messageLog().contains(failure), qPrintable(ui.bridge->messageLog()));
        for (const QString& name : switches)
            QVERIFY2(!ui.read(name, "checked").toBool(), qPrintable(name));
        QVERIFY(!ui.windowProperty("trackingEnabled").toBool());
        QVERIFY(!ui.windowProperty("aiEnabled").toBool());

        QVERIFY(device.attach(ui, Ui::Link::Udp));  // a fresh device
        QVERIFY(ui.click(aiSwitch));
        QTRY_COMPARE_WITH_TIMEOUT(device.raw(MessageId::AiDetection).size(), 1, 10000);
        QVERIFY(ui.read(aiSwitch, "checked").toBool());
        QVERIFY(ui.windowProperty("aiEnabled").toBool());
        QVERIFY(ui.click(trackSwitch));
        QTRY_VERIFY_WITH_TIMEOUT(ui.windowProperty("trackingEnabled").toBool(), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(!device.raw(MessageId::GimbalControl).isEmpty(), 10000);
        QVERIFY(device.raw(MessageId::BoxTracking).isEmpty());
        QVERIFY(ui.click(trackSwitch));
        QTRY_VERIFY_WITH_TIMEOUT(!ui.windowProperty("trackingEnabled").toBool(), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(!device.raw(MessageId::BoxTracking).isEmpty(), 10000);
        QCOMPARE(device.raw(MessageId::BoxTracking).first().at(0), char(2));  // stop
    }
};

QTEST_MAIN(TestUiTabs)
#include "tst_ui_tabs.moc"
