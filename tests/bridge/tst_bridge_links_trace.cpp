// Frames sent and received on both links reach the protocol trace in the session log.
#include <QtTest>

#include "BridgeLinksSupport.h"
#include "app/AppLog.h"

using namespace BridgeLinks;
using LinkTest::frameBytes;
using LinkTest::replyPayload;

class TestBridgeLinksTrace : public QObject {
    Q_OBJECT

private:
    // The session log is named by the second it was started in: a run right after another one
    // appends to the same file, so only what was written since the test began counts.
    int m_logStart = 0;
    QByteArray logText() const { return TestSupport::readFile(AppLog::logFilePath()).mid(m_logStart); }
    int countOf(const char* needle) const { return logText().count(needle); }
    void markLog() { m_logStart = TestSupport::readFile(AppLog::logFilePath()).size(); }

private slots:
    void initTestCase() {
        QVERIFY(AppLog::start());
        AppLog::ProtocolSwitches on;
        on.enabled = true;
        on.statusFrames = true;
        AppLog::setProtocolSwitches(on);
    }
    void cleanupTestCase() { AppLog::setProtocolSwitches(AppLog::ProtocolSwitches()); }

    void bothDirectionsOnBothLinks() {
        markLog();
        prepareConfig(QStringLiteral("en"), QStringLiteral("Wren-R2"));
        LinkTest::UdpDevice device;
        LinkTest::PtyDevice pty;
        AppBridge bridge;
        const QByteArray reply = frameBytes(4, 1, 0x010317, replyPayload(0, QByteArray("\x01\x02\x03", 3)));
        QByteArray bad = reply;
        bad[bad.size() - 1] = char(bad.at(bad.size() - 1) ^ 0x01);

        bridge.connectUdp(QStringLiteral("127.0.0.1"), device.port());
        QVERIFY(device.collector.waitForFrames(2));
        QVERIFY(device.send(reply));
        QVERIFY(device.send(bad));
        QTRY_COMPARE_WITH_TIMEOUT(bridge.protocolCounters().udpParseFails, 1, kLongWaitMs);
        QVERIFY2(countOf("[发送][UDP]") >= 2, logText().constData());
        QCOMPARE(countOf("[接收][UDP]"), 2);  // the good reply and the bad datagram
        QCOMPARE(countOf("[接收][UDP] 帧解析失败"), 1);

        QVERIFY(bridge.openSerial(pty.slavePath(), 115200));
        QVERIFY(pty.collector.waitForFrames(2));
        QVERIFY(pty.write(reply + bad + QByteArray(12, '\0')));
        QTRY_COMPARE_WITH_TIMEOUT(bridge.protocolCounters().uartParseFails, 1, kLongWaitMs);
        QVERIFY(countOf("[发送][UART]") >= 2);
        QCOMPARE(countOf("[接收][UART] 帧解析失败"), 1);
        QCOMPARE(countOf("[接收][UART]"), 2);
        bridge.closeSerial();
    }

    // A datagram's trace and hex dump cover its frame only, not the bytes that follow it.
    void udpHexDumpStopsAtTheFrame() {
        markLog();
        AppLog::ProtocolSwitches on;
        on.enabled = true;
        on.hex = true;
        AppLog::setProtocolSwitches(on);
        prepareConfig(QStringLiteral("en"), QStringLiteral("Wren-R2"));
        LinkTest::UdpDevice device;
        AppBridge bridge;
        bridge.connectUdp(QStringLiteral("127.0.0.1"), device.port());
        QVERIFY(device.collector.waitForFrames(2));
        const QByteArray reply = frameBytes(4, 1, 0x010317, replyPayload(0, QByteArray("\x07\x08\x09", 3)));
        QVERIFY(device.send(reply + QByteArray(300, '\xAB')));
        QTRY_COMPARE_WITH_TIMEOUT(bridge.cameraVersion(), QStringLiteral("7.8.9"), kLongWaitMs);
        bridge.disconnectUdp();
        AppLog::setProtocolSwitches(AppLog::ProtocolSwitches());

        QByteArray frameHex = "  hex:";
        for (char byte : reply)
            frameHex += " 0x" + QByteArray::number(uint8_t(byte), 16).rightJustified(2, '0').toUpper();
        const QByteArray log = logText();
        QVERIFY2(log.contains(frameHex + '\n'), frameHex.constData());
        QVERIFY2(!log.contains("0xAB 0xAB"), "bytes after the frame were dumped");
    }
};

QTEST_GUILESS_MAIN(TestBridgeLinksTrace)
#include "tst_bridge_links_trace.moc"
