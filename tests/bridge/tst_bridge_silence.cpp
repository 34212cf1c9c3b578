// The silence watch against a loopback device on both links: only valid frames count as data,
// and a link that opens, closes or changes its target starts over without a message.
#include <QSignalSpy>
#include <QtTest>

#include "BridgeDeviceFixture.h"

using namespace BridgeDevice;

namespace {

const QByteArray kOneSecondWatch = "[Link]\nSilenceTimeoutSec=1\n";
constexpr uint32_t kHeartbeatId = 0x020002;

}  // namespace

class TestBridgeSilence : public QObject {
    Q_OBJECT

private:
    Fixture f;

    // The link up with a one-second watch, one frame taken in, then the device silent.
    bool silentAfterOneFrame(Link link) {
        f.up(link, QStringLiteral("en"), QStringLiteral("Wren-R2"), kOneSecondWatch);
        return f.report(kHeartbeatId, bytes({0})) &&
               QTest::qWaitFor([this] { return f.bridge->deviceSilent(); }, kLongWaitMs) &&
               f.newMessages().contains(QStringLiteral("No data from device for 1 s"));
    }
    // The watch's own messages among those appended since the mark.
    QStringList watchMessages() const {
        return f.newMessages().filter(QRegularExpression(QStringLiteral("^(No data from device|Device data resumed)")));
    }

private slots:
    void cleanup() { f.reset(); }

    void corruptFramesDoNotEndSilence_data() { addLinkRows(); }
    void corruptFramesDoNotEndSilence() {
        QFETCH(int, link);
        QVERIFY2(silentAfterOneFrame(Link(link)), qPrintable(f.newMessages().join('\n')));
        AppBridge& bridge = *f.bridge;
        QSignalSpy silent(&bridge, &AppBridge::deviceSilentChanged);
        const ProtocolCounters before = bridge.protocolCounters();
        const QByteArray corrupt = BridgeLinks::withBadChecksum(LinkTest::frameBytes(4, 1, kHeartbeatId, bytes({0})));
        QVERIFY(f.deliver(bytes({0x13, 0x37, 0x00, 0xFF})));
        QVERIFY(f.deliver(corrupt));
        const auto failures = [&bridge] {
            return bridge.protocolCounters().udpParseFails + bridge.protocolCounters().uartParseFails;
        };
        QTRY_VERIFY_WITH_TIMEOUT(failures() > before.udpParseFails + before.uartParseFails, kLongWaitMs);
        f.settle(200);
        QVERIFY(bridge.deviceSilent());
        QCOMPARE(silent.count(), 0);
        // The age shown beside stale values counts on while the device stays silent.
        QTRY_VERIFY_WITH_TIMEOUT(bridge.deviceSilentSeconds() >= 2, kLongWaitMs);

        f.markMessages();
        QVERIFY(f.report(kHeartbeatId, bytes({0})));
        QTRY_VERIFY_WITH_TIMEOUT(!bridge.deviceSilent(), kLongWaitMs);
        QCOMPARE(silent.count(), 1);
        QCOMPARE(bridge.deviceSilentSeconds(), 0);
        QCOMPARE(watchMessages(), QStringList{"Device data resumed"});
    }

    // Closing the link, or opening it again (the UDP link re-targeted, the port re-opened).
    void linkChangesEndSilenceQuietly_data() { addLinkRows("closeLink", "close", "reopen"); }
    void linkChangesEndSilenceQuietly() {
        QFETCH(int, link);
        QFETCH(bool, closeLink);
        QVERIFY2(silentAfterOneFrame(Link(link)), qPrintable(f.newMessages().join('\n')));
        AppBridge& bridge = *f.bridge;
        QSignalSpy silent(&bridge, &AppBridge::deviceSilentChanged);
        f.markMessages();
        if (closeLink) {
            bridge.disconnectUdp();
            bridge.closeSerial();
        } else if (Link(link) == Link::Udp) {
            bridge.connectUdp(QStringLiteral("127.0.0.1"), f.udp->port());
        } else {
            QVERIFY(bridge.openSerial(f.pty->slavePath(), 115200));
        }
        QVERIFY(!bridge.deviceSilent());
        QCOMPARE(silent.count(), 1);
        // Longer than the watch: a link with no frame yet is never silent. (The re-opened port has
        // zeroed the frame counters, so the fixture's settle() has nothing to wait for.)
        QTest::qWait(1500);
        QVERIFY(!bridge.deviceSilent());
        QCOMPARE(watchMessages(), QStringList());
    }
};

QTEST_GUILESS_MAIN(TestBridgeSilence)
#include "tst_bridge_silence.moc"
