#include <QtTest>

#include "protocol/MessageCatalogue.h"

class TestMessageCatalogue : public QObject {
    Q_OBJECT

private slots:
    void messageNames_data();
    void messageNames();
    void classWords_data();
    void classWords();
    void deviceNames_data();
    void deviceNames();
    void resultCodes_data();
    void resultCodes();
    void idHelpers();
};

void TestMessageCatalogue::messageNames_data() {
    QTest::addColumn<uint>("id");
    QTest::addColumn<QString>("name");
    QTest::newRow("command-0x000317") << 0x000317u << QStringLiteral("获取相机版本");
    QTest::newRow("reply-0x010317") << 0x010317u << QStringLiteral("获取相机版本");
    QTest::newRow("report-0x020317") << 0x020317u << QStringLiteral("获取相机版本");
    QTest::newRow("first-0x0001") << 0x000001u << QStringLiteral("云台状态");
    QTest::newRow("last-0x0502") << 0x000502u << QStringLiteral("SBUS配置获取");
    QTest::newRow("parenthesised-0x0203") << 0x000203u << QStringLiteral("可见光拍照分辨率(自定义)");
    QTest::newRow("class-3-still-named") << 0x030304u << QStringLiteral("指定混合变倍");
    QTest::newRow("unnamed-0x00010B") << 0x00010Bu << QStringLiteral("未知消息(0x00010b)");
    QTest::newRow("gap-0x000104") << 0x000104u << QStringLiteral("未知消息(0x000104)");
    QTest::newRow("unknown-reply-keeps-class") << 0x01abcdu << QStringLiteral("未知消息(0x01abcd)");
    QTest::newRow("bits-above-23-not-shown") << 0xFF00FFFFu << QStringLiteral("未知消息(0x00ffff)");
}

void TestMessageCatalogue::messageNames() {
    QFETCH(uint, id);
    QFETCH(QString, name);
    QCOMPARE(messageDisplayName(id), name);
}

void TestMessageCatalogue::classWords_data() {
    QTest::addColumn<uint>("id");
    QTest::addColumn<QString>("word");
    QTest::newRow("class-0") << 0x000200u << QStringLiteral("指令");
    QTest::newRow("class-1") << 0x010200u << QStringLiteral("应答");
    QTest::newRow("class-2") << 0x020200u << QStringLiteral("状态");
    QTest::newRow("class-3") << 0x030200u << QStringLiteral("消息");
    QTest::newRow("class-255") << 0xFF0200u << QStringLiteral("消息");
}

void TestMessageCatalogue::classWords() {
    QFETCH(uint, id);
    QFETCH(QString, word);
    QCOMPARE(messageClassWord(id), word);
}

void TestMessageCatalogue::deviceNames_data() {
    QTest::addColumn<int>("device");
    QTest::addColumn<QString>("name");
    QTest::newRow("0-unknown") << 0 << QStringLiteral("未知设备");
    QTest::newRow("1-application") << 1 << QStringLiteral("应用");
    QTest::newRow("2-flight-controller") << 2 << QStringLiteral("飞控");
    QTest::newRow("3-gimbal") << 3 << QStringLiteral("云台");
    QTest::newRow("4-camera") << 4 << QStringLiteral("相机");
    QTest::newRow("5-unknown") << 5 << QStringLiteral("未知设备");
    QTest::newRow("255-unknown") << 255 << QStringLiteral("未知设备");
}

void TestMessageCatalogue::deviceNames() {
    QFETCH(int, device);
    QFETCH(QString, name);
    QCOMPARE(deviceDisplayName(static_cast<uint8_t>(device)), name);
}

void TestMessageCatalogue::resultCodes_data() {
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("text");
    QTest::newRow("0-success") << 0 << QStringLiteral("成功");
    QTest::newRow("1-failure") << 1 << QStringLiteral("失败");
    QTest::newRow("10-merge-error") << 10 << QStringLiteral("文件合并错误");
    QTest::newRow("11-fallback") << 11 << QStringLiteral("响应码=0x000b");
    QTest::newRow("0x0201-recording") << 0x0201 << QStringLiteral("正在录像");
    QTest::newRow("0x0204-no-sd-card") << 0x0204 << QStringLiteral("未插SD卡");
    QTest::newRow("0x0205-fallback") << 0x0205 << QStringLiteral("响应码=0x0205");
    QTest::newRow("0xffff-fallback") << 0xFFFF << QStringLiteral("响应码=0xffff");
}

void TestMessageCatalogue::resultCodes() {
    QFETCH(int, code);
    QFETCH(QString, text);
    QCOMPARE(resultCodeText(static_cast<uint16_t>(code)), text);
}

void TestMessageCatalogue::idHelpers() {
    QCOMPARE(replyIdOf(MessageId::CameraVersion), 0x010317u);
    QCOMPARE(reportIdOf(MessageId::Record), 0x020303u);
    QCOMPARE(messageNumber(0x020406), uint16_t(0x0406));
    QCOMPARE(messageClass(0x020406), uint8_t(MessageClass::Report));
    QCOMPARE(makeMessageId(MessageClass::Reply, 0x0304), 0x010304u);
}

QTEST_APPLESS_MAIN(TestMessageCatalogue)
#include "tst_messagecatalogue.moc"
