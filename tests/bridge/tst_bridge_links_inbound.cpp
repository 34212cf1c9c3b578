// UDP inbound handling and dispatch: one frame per datagram, failures and their counters, the
// settings-reply compatibility rule, host filtering and replies from any sender.
#include <QSignalSpy>
#include <QtTest>

#include "BridgeDeviceFixture.h"

using namespace BridgeLinks;
using namespace BridgeDevice;
using LinkTest::frameBytes;
using LinkTest::replyPayload;

namespace {

// Visible-camera settings reply: result, photo code, recording code, padded to `length` bytes.
QByteArray settingsReply(uint16_t result, uint8_t photo, uint8_t record, int length = 22) {
    QByteArray payload = replyPayload(result, bytes({photo, record}));
    payload.resize(length);
    return frameBytes(4, 1, 0x010200, payload);
}

QByteArray gimbalVersionReply(uint8_t sender, uint8_t major) {
    return frameBytes(sender, 1, 0x010018, replyPayload(0, bytes({major, 0, 1, 2, 3, 4, 0})));
}

QStringList g_debugLines;
void captureDebug(QtMsgType type, const QMessageLogContext&, const QString& text) {
    if (type == QtDebugMsg)
        g_debugLines << text;
}

}  // namespace

class TestBridgeLinksInbound : public QObject {
    Q_OBJECT

private:
    Fixture f;

    void send(const QByteArray& datagram) { QVERIFY(f.deliver(datagram)); }

private slots:
    void init() { QFile::remove(statsPath()); }
    void cleanup() {
        qInstallMessageHandler(nullptr);
        f.reset();
    }

    void badDatagrams_data() {
        QTest::addColumn<QByteArray>("datagram");
        QTest::addColumn<int>("withHeader");
        QTest::newRow("13-bytes-start-byte") << withBadChecksum(frameBytes(4, 1, 0x020002, bytes({1}))) << 0;
        QTest::newRow("14-bytes-start-byte") << withBadChecksum(frameBytes(4, 1, 0x020002, bytes({1, 2}))) << 1;
        QTest::newRow("no-start-byte") << QByteArray(20, 'x') << 0;
        QTest::newRow("three-bytes") << QByteArray("\xFD\x00\x01", 3) << 0;
        QTest::newRow("truncated-frame") << cameraVersionReply(1, 2, 3).left(15) << 1;
    }
    void badDatagrams() {
        QFETCH(QByteArray, datagram);
        QFETCH(int, withHeader);
        AppBridge& bridge = f.up(Link::Udp);
        send(datagram);
        QTRY_COMPARE_WITH_TIMEOUT(bridge.protocolCounters().udpParseFails, 1, kLongWaitMs);
        QCOMPARE(bridge.protocolCounters().udpParseFailsWithHeader, withHeader);
        QCOMPARE(bridge.protocolCounters().udpFrames, 0);
        // The link keeps working after the bad datagram.
        send(gimbalVersionReply(4, 5));
        QTRY_COMPARE_WITH_TIMEOUT(bridge.gimbalHwVersion(), QStringLiteral("5.0.1"), kLongWaitMs);
        QCOMPARE(bridge.gimbalSwVersion(), QStringLiteral("2.3.4"));
        QCOMPARE(bridge.protocolCounters().udpFrames, 1);
    }

    void compatibilityRule_data() {
        QTest::addColumn<QByteArray>("datagram");
        QTest::addColumn<int>("photo");
        QTest::addColumn<int>("record");
        QTest::newRow("applies") << withBadChecksum(settingsReply(0, 0x15, 0x26)) << 1 << 1;
        QTest::newRow("applies-4-byte-payload") << withBadChecksum(settingsReply(0, 0x17, 0x36, 4)) << 3 << 2;
        QTest::newRow("result-not-0") << withBadChecksum(settingsReply(1, 0x15, 0x26)) << -1 << -1;
        QTest::newRow("shorter-than-16") << withBadChecksum(settingsReply(0, 0x15, 0x26, 3)) << -1 << -1;
        QTest::newRow("announced-length-missing") << settingsReply(0, 0x15, 0x26).left(30) << -1 << -1;
        QTest::newRow("other-id") << withBadChecksum(frameBytes(4, 1, 0x010201, replyPayload(0, bytes({0x15, 0x26}))))
                                  << -1 << -1;
    }
    void compatibilityRule() {
        QFETCH(QByteArray, datagram);
        QFETCH(int, photo);
        QFETCH(int, record);
        AppBridge& bridge = f.up(Link::Udp);
        QSignalSpy status(&bridge, &AppBridge::cameraStatusChanged);
        const int mark = messages(bridge).size();
        send(datagram);
        QTRY_COMPARE_WITH_TIMEOUT(bridge.protocolCounters().udpParseFails, 1, kLongWaitMs);
        QCOMPARE(bridge.cameraPhotoResolutionIndex(), photo);
        QCOMPARE(bridge.cameraRecordResolutionIndex(), record);
        QTest::qWait(20);
        QCOMPARE(status.count(), photo == -1 ? 0 : 1);
        QCOMPARE(messagesSince(bridge, mark).filter(QStringLiteral("resolution")), QStringList());
    }

    // The acknowledgement line is written for every reply of two bytes or more, from any sender;
    // the settings reply updates the resolutions only when they change.
    void debugLinesOfRepliesAndSettingsOnlyOnChange() {
        AppBridge& bridge = f.up(Link::Udp);
        QSignalSpy status(&bridge, &AppBridge::cameraStatusChanged);
        qInstallMessageHandler(captureDebug);
        g_debugLines.clear();
        send(cameraVersionReply(1, 2, 3, 2));
        send(frameBytes(4, 1, 0x010999, replyPayload(7)));
        send(frameBytes(4, 1, 0x010317, bytes({0})));  // one byte: no result code, no line
        QTRY_COMPARE_WITH_TIMEOUT(bridge.protocolCounters().udpFrames, 3, kLongWaitMs);
        QCOMPARE(g_debugLines.filter(QStringLiteral("设备 ACK")),
                 (QStringList{"[协议] 设备 ACK msgid=0x10317 payload_len=5 payload_hex=00 00 01 02 03",
                              "[协议] 设备 ACK msgid=0x10999 payload_len=2 payload_hex=07 00"}));
        QCOMPARE(bridge.cameraVersion(), QStringLiteral("1.2.3"));

        send(settingsReply(0, 0x14, 0x08, 21));
        QTRY_COMPARE_WITH_TIMEOUT(bridge.cameraPhotoResolutionIndex(), 0, kLongWaitMs);
        QCOMPARE(bridge.cameraRecordResolutionIndex(), 0);
        QTRY_COMPARE_WITH_TIMEOUT(status.count(), 1, kLongWaitMs);
        send(settingsReply(0, 0x14, 0x08, 22));
        QTRY_COMPARE_WITH_TIMEOUT(bridge.protocolCounters().udpFrames, 5, kLongWaitMs);
        QTest::qWait(20);
        QCOMPARE(status.count(), 1);
        qInstallMessageHandler(nullptr);
        const QStringList received = g_debugLines.filter(QStringLiteral("收到 0x010200"));
        QCOMPARE(received.size(), 2);
        QVERIFY2(received[0].endsWith(QStringLiteral("payload_len=21 (设备 payload 短于 22 字节)")),
                 qPrintable(received[0]));
        QVERIFY2(received[1].endsWith(QStringLiteral("payload_len=22")), qPrintable(received[1]));
        QCOMPARE(g_debugLines.filter(QStringLiteral("与当前一致")).size(), 1);
    }

    // Replies shorter than their minimum or refused are ignored, and of a datagram only its first
    // frame counts.
    void onlyWholeRepliesOfTheFirstFrameCount() {
        AppBridge& bridge = f.up(Link::Udp);
        QSignalSpy versions(&bridge, &AppBridge::cameraVersionChanged);
        send(frameBytes(4, 1, 0x010018, replyPayload(0, bytes({1, 2, 3, 4, 5, 6}))));  // N = 8 < 9
        send(frameBytes(4, 1, 0x010317, replyPayload(0, bytes({1, 2}))));              // N = 4 < 5
        send(frameBytes(4, 1, 0x010317, replyPayload(3, bytes({1, 2, 3}))));           // refused
        send(cameraVersionReply(3, 2, 1) + gimbalVersionReply(4, 8));
        QTRY_COMPARE_WITH_TIMEOUT(bridge.protocolCounters().udpFrames, 4, kLongWaitMs);
        QTest::qWait(20);
        QCOMPARE(bridge.cameraVersion(), QStringLiteral("3.2.1"));
        QCOMPARE(versions.count(), 1);
        QCOMPARE(bridge.gimbalHwVersion(), QStringLiteral("-"));
        QCOMPARE(bridge.protocolCounters().udpFrames, 4);
    }

    // However many datagrams fail, the statistics file grows only at the statistics timer's pace:
    // the link-up block is the last one for the first period.
    void failuresWithinAPeriodAddNoStatisticsBlock() {
        AppBridge& bridge = f.up(Link::Udp);
        const int blocks = statsBlockCount();
        for (int i = 1; i <= 300; ++i) {
            send(QByteArray("junk"));
            if (i % 50 == 0)
                QTRY_COMPARE_WITH_TIMEOUT(bridge.protocolCounters().udpParseFails, i, kLongWaitMs);
        }
        QCOMPARE(statsBlockCount(), blocks);
    }

    void repliesFromAnySender_data() {
        QTest::addColumn<QString>("product");
        QTest::addColumn<int>("sender");
        QTest::newRow("Wren-R2-flight-controller") << "Wren-R2" << 2;
        QTest::newRow("Dove-unknown-device") << "Dove" << 9;
    }
    void repliesFromAnySender() {
        QFETCH(QString, product);
        QFETCH(int, sender);
        AppBridge& bridge = f.up(Link::Udp, QStringLiteral("en"), product);
        QSignalSpy versions(&bridge, &AppBridge::gimbalVersionChanged);
        send(gimbalVersionReply(uint8_t(sender), 6));
        QTRY_COMPARE_WITH_TIMEOUT(bridge.gimbalHwVersion(), QStringLiteral("6.0.1"), kLongWaitMs);
        QCOMPARE(versions.count(), 1);
        send(gimbalVersionReply(uint8_t(sender), 6));  // same version: no second notification
        QTRY_COMPARE_WITH_TIMEOUT(bridge.protocolCounters().udpFrames, 2, kLongWaitMs);
        QCOMPARE(versions.count(), 1);
    }

    // A flood of unsolicited range replies, each with another distance, and of junk: every datagram
    // is counted, and the message log stays a few lines long (the kind summed up per second).
    void floodLeavesTheLogShort() {
        AppBridge& bridge = f.up(Link::Udp);
        QElapsedTimer flood;
        flood.start();
        const int batches = 40;
        const int perBatch = 500;
        for (int batch = 0; batch < batches; ++batch) {
            for (int i = 0; i < perBatch; ++i) {
                const int decimetres = 1 + batch * perBatch + i;
                send(frameBytes(3, 1, 0x010400,
                                replyPayload(0, bytes({uint8_t(decimetres), uint8_t(decimetres >> 8)}))));
                send(QByteArray("junk"));
            }
            QTRY_COMPARE_WITH_TIMEOUT(bridge.protocolCounters().udpFrames, (batch + 1) * perBatch, kLongWaitMs);
        }
        QTRY_COMPARE_WITH_TIMEOUT(bridge.protocolCounters().udpParseFails, batches * perBatch, kLongWaitMs);
        // At most five lines and one summary a second (and the link-up lines).
        const QStringList lines = bridge.messageLog().split('\n');
        const qint64 seconds = flood.elapsed() / 1000 + 2;
        QVERIFY2(lines.size() <= 20 + 6 * seconds, qPrintable(QString::number(lines.size())));
        QVERIFY(bridge.messageLog().contains(QStringLiteral("more lines like this in this second")));
        QVERIFY2(lines.last().contains(QStringLiteral("Single range result: 2000.00 m")), qPrintable(lines.last()));
    }

    // Link/AcceptFrom = device keeps other hosts from speaking for the device; the settings reply's
    // checksum is overlooked only for the device's own address, whatever the setting.
    void acceptFromDecidesWhoSpeaksForTheDevice_data() {
        QTest::addColumn<QByteArray>("acceptFrom");
        QTest::addColumn<bool>("fromStranger");
        QTest::addColumn<bool>("taken");
        QTest::addColumn<bool>("checksumOverlooked");
        QTest::newRow("any-stranger") << QByteArray("any") << true << true << false;
        QTest::newRow("any-device") << QByteArray("any") << false << true << true;
        QTest::newRow("device-stranger") << QByteArray("device") << true << false << false;
        QTest::newRow("device-device") << QByteArray("device") << false << true << true;
        QTest::newRow("unknown-value-is-any") << QByteArray("nobody") << true << true << false;
    }
    void acceptFromDecidesWhoSpeaksForTheDevice() {
        QFETCH(QByteArray, acceptFrom);
        QFETCH(bool, fromStranger);
        QFETCH(bool, taken);
        QFETCH(bool, checksumOverlooked);
        AppBridge& bridge =
            f.up(Link::Udp, QStringLiteral("en"), QStringLiteral("Wren-R2"), "[Link]\nAcceptFrom=" + acceptFrom + "\n");
        QUdpSocket stranger;
        QVERIFY(stranger.bind(QHostAddress(QStringLiteral("127.0.0.2")), 0));
        for (const QByteArray& datagram : {gimbalVersionReply(4, 6), withBadChecksum(settingsReply(0, 0x15, 0x26))}) {
            if (fromStranger)
                QCOMPARE(stranger.writeDatagram(datagram, QHostAddress::LocalHost, f.udp->appPort), datagram.size());
            else
                send(datagram);
        }
        const ProtocolCounters& counts = bridge.protocolCounters();
        QTRY_COMPARE_WITH_TIMEOUT(counts.udpFrames + counts.udpParseFails + counts.udpForeignDropped, 2, kLongWaitMs);
        QCOMPARE(counts.udpForeignDropped, taken ? 0 : 2);
        QCOMPARE(bridge.gimbalHwVersion(), taken ? QStringLiteral("6.0.1") : QStringLiteral("-"));
        QCOMPARE(bridge.cameraPhotoResolutionIndex(), checksumOverlooked ? 1 : -1);
        QCOMPARE(bridge.messageLog().count(QStringLiteral("Ignored data from 127.0.0.2")), taken ? 0 : 1);
    }

    // A quiet tracking acknowledgement skips only itself; the datagram behind it is still handled.
    void quietTrackingAckDoesNotStallTheSocket() {
        AppBridge& bridge = f.up(Link::Udp);
        QElapsedTimer sinceRequest;
        sinceRequest.start();
        bridge.setTracking(true, 10, 20, 30, 40, false, true);
        const int mark = messages(bridge).size();
        send(frameBytes(4, 1, 0x010324, replyPayload(0)));
        send(cameraVersionReply(4, 4, 4));
        QTRY_COMPARE_WITH_TIMEOUT(bridge.cameraVersion(), QStringLiteral("4.4.4"), kLongWaitMs);
        // The acknowledgement is quiet only within a second of the request.
        if (sinceRequest.elapsed() >= 1000)
            QSKIP("machine too slow: the acknowledgement came after the quiet second");
        QCOMPARE(messagesSince(bridge, mark), QStringList());
    }
};

QTEST_GUILESS_MAIN(TestBridgeLinksInbound)
#include "tst_bridge_links_inbound.moc"
