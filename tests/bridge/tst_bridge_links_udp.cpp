// The UDP link manager against a device socket on 127.0.0.1: parameters, messages in both
// languages, the link-up frames and their timing, the shared sequence counter, the timers and
// the protocol trace of both links.
#include <QSignalSpy>
#include <QtEndian>
#include <QtTest>

#include <fcntl.h>
#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

#include "BridgeDeviceFixture.h"
#include "app/AppLog.h"

using namespace BridgeLinks;
using LinkTest::UdpDevice;

namespace {

const QString kLoopback = QStringLiteral("127.0.0.1");

}  // namespace

class TestBridgeLinksUdp : public QObject {
    Q_OBJECT

    // The session log is named by the second it was started in: a run right after another one
    // appends to the same file, so only what was written since the mark counts.
    int m_logStart = 0;
    QByteArray logText() const { return TestSupport::readFile(AppLog::logFilePath()).mid(m_logStart); }
    int countOf(const char* needle) const { return logText().count(needle); }
    void markLog() { m_logStart = TestSupport::readFile(AppLog::logFilePath()).size(); }

    BridgeDevice::Fixture f;

private slots:
    void initTestCase() { QVERIFY(AppLog::start()); }
    void init() { QFile::remove(statsPath()); }
    void cleanup() { f.reset(); }

    // Invalid parameters of either link change nothing but the log.
    void invalidParametersChangeNothing_data() {
        QTest::addColumn<QString>("language");
        QTest::addColumn<bool>("serial");
        QTest::addColumn<QString>("target");  // address or port name
        QTest::addColumn<int>("number");      // port or baud rate
        QTest::addColumn<QString>("message");
        QTest::newRow("port-0") << "en" << false << kLoopback << 0 << "Invalid UDP params";
        QTest::newRow("port-65536") << "en" << false << kLoopback << 65536 << "Invalid UDP params";
        QTest::newRow("not-an-address") << "en" << false << "gimbal.local" << 1030 << "Invalid UDP params";
        QTest::newRow("empty-zh") << "zh" << false << "" << 1030 << "UDP参数无效";
        QTest::newRow("blank-name") << "en" << true << "   " << 115200 << "Invalid serial params";
        QTest::newRow("baud-0") << "en" << true << "/dev/ttyUSB0" << 0 << "Invalid serial params";
        QTest::newRow("baud-negative-zh") << "zh" << true << "/dev/ttyUSB0" << -9600 << "串口参数无效";
    }
    void invalidParametersChangeNothing() {
        QFETCH(QString, language);
        QFETCH(bool, serial);
        QFETCH(QString, target);
        QFETCH(int, number);
        QFETCH(QString, message);
        AppBridge& bridge = f.offline(language, QStringLiteral("Wren-R2"));
        QSignalSpy connected(&bridge, &AppBridge::udpConnectedChanged);
        QSignalSpy opened(&bridge, &AppBridge::serialOpenedChanged);
        QSignalSpy status(&bridge, &AppBridge::linkStatusChanged);
        const int before = messages(bridge).size();
        if (serial)
            QVERIFY(!bridge.openSerial(target, number));
        else
            bridge.connectUdp(target, number);
        QCOMPARE(messagesSince(bridge, before), QStringList{message});
        QVERIFY(!bridge.udpConnected() && !bridge.serialOpened());
        QCOMPARE(connected.count() + opened.count() + status.count(), 0);
        QCOMPARE(statsBlockCount(), 0);
    }

    // Either link says what came up and went down; a second close says nothing.
    void linkUpAndDownMessages_data() {
        QTest::addColumn<QString>("language");
        QTest::addColumn<bool>("serial");
        QTest::addColumn<QStringList>("onUp");
        QTest::addColumn<QStringList>("onDown");
        QTest::addColumn<QString>("statusUp");
        QTest::newRow("udp-en") << "en" << false << QStringList{"Link status: Connected: UDP",
                                                                "UDP connected: 127.0.0.1:%1",
                                                                "Box tracking stopped",
                                                                "Time sync command sent automatically",
                                                                "Version requests sent automatically",
                                                                "Get AI categories request sent"}
                                << QStringList{"Link status: Connected: None", "UDP disconnected"} << "Connected: UDP";
        QTest::newRow("udp-zh") << "zh" << false << QStringList{"连接状态: 当前连接: UDP", "UDP已连接: 127.0.0.1:%1",
                                                                "已关闭框选跟踪",          "已自动发送授时指令",
                                                                "已自动请求版本信息",      "已请求获取智能识别类别"}
                                << QStringList{"连接状态: 当前连接: 未连接", "UDP已断开"} << "当前连接: UDP";
        QTest::newRow("serial-en")
            << "en" << true << QStringList{"Link status: Connected: UART",   "Serial port opened: %1 @ 115200",
                                           "Box tracking stopped",           "Time sync command sent automatically",
                                           "Get AI categories request sent", "Version requests sent automatically"}
            << QStringList{"Link status: Connected: None", "Serial port closed"} << "Connected: UART";
        QTest::newRow("serial-zh") << "zh" << true << QStringList{"连接状态: 当前连接: UART", "串口已打开: %1 @ 115200",
                                                                  "已关闭框选跟踪",           "已自动发送授时指令",
                                                                  "已请求获取智能识别类别",   "已自动请求版本信息"}
                                   << QStringList{"连接状态: 当前连接: 未连接", "串口已关闭"} << "当前连接: UART";
    }
    void linkUpAndDownMessages() {
        QFETCH(QString, language);
        QFETCH(bool, serial);
        QFETCH(QStringList, onUp);
        QFETCH(QStringList, onDown);
        QFETCH(QString, statusUp);
        UdpDevice device;
        LinkTest::PtyDevice pty;
        AppBridge& bridge = f.offline(language, QStringLiteral("Wren-R2"));
        QSignalSpy up(&bridge, serial ? &AppBridge::serialOpenedChanged : &AppBridge::udpConnectedChanged);
        QSignalSpy tracking(&bridge, &AppBridge::trackingResetRequested);
        int mark = messages(bridge).size();
        if (serial)
            QVERIFY(bridge.openSerial(pty.slavePath(), 115200));
        else
            bridge.connectUdp(kLoopback, device.port());
        QVERIFY(bridge.udpConnected() != serial && bridge.serialOpened() == serial);
        QCOMPARE(bridge.linkStatus(), statusUp);
        QCOMPARE(up.count(), 1);
        QCOMPARE(tracking.count(), 1);
        // Coming up appends one statistics block with every counter at 0.
        QCOMPARE(statsBlockCount(), 1);
        QCOMPARE(lastStatsValue(serial ? QStringLiteral("UART frames: ") : QStringLiteral("UDP frames: ")), 0);
        QCOMPARE(lastStatsValue(QStringLiteral("UART resync discarded bytes: ")), 0);
        // The link-up is over with its last request (500 ms on UDP; on serial the version request
        // announces itself at 150 ms only, its 500 and 950 ms repeats are silent).
        const auto& collector = serial ? pty.collector : device.collector;
        if (serial)
            QTRY_VERIFY2_WITH_TIMEOUT(framesWithId(collector, 0x000317).size() == 3, qPrintable(idList(collector)),
                                      kLongWaitMs);
        else
            QVERIFY(device.collector.waitForFrames(10));
        QTest::qWait(50);
        onUp[1] = onUp[1].arg(serial ? pty.slavePath() : QString::number(device.port()));
        QCOMPARE(messagesSince(bridge, mark), onUp);

        bridge.gimbalStop();  // never answered: its one copy would be due 400 ms later
        mark = messages(bridge).size();
        if (serial)
            bridge.closeSerial();
        else
            bridge.disconnectUdp();
        QVERIFY(!bridge.udpConnected() && !bridge.serialOpened());
        QCOMPARE(up.count(), 2);
        // The link took the wait for that answer with it, and the 500 ms poll stopped: no frame is
        // built, no failure line.
        const uint8_t firstAfterClose = bridge.nextSequenceNumber();
        QTest::qWait(600);
        QCOMPARE(bridge.nextSequenceNumber(), firstAfterClose);
        QCOMPARE(messagesSince(bridge, mark), onDown);

        // A second close does nothing at all.
        mark = messages(bridge).size();
        serial ? bridge.closeSerial() : bridge.disconnectUdp();
        QCOMPARE(messagesSince(bridge, mark), QStringList());
        QCOMPARE(up.count(), 2);
    }

    // The link-up frames; its time sync carries the computer's zone (UTC+5:30, set through TZ),
    // the zone per product and offset is left to the payload tests.
    void linkUpFramesWithTheirDelays() {
        const QByteArray savedTz = qgetenv("TZ");
        qputenv("TZ", "IST-5:30");
        tzset();
        const auto restoreTz = qScopeGuard([&] {
            if (savedTz.isNull())
                qunsetenv("TZ");
            else
                qputenv("TZ", savedTz);
            tzset();
        });
        UdpDevice device;
        AppBridge& bridge = f.offline(QStringLiteral("en"), QStringLiteral("Wren-R2"));
        const uint8_t firstSequence = bridge.nextSequenceNumber();
        // The clock starts before the timers do: none of them can fire before its delay, and how
        // late they fire depends on the machine.
        device.collector.clock.restart();
        bridge.connectUdp(kLoopback, device.port());
        QVERIFY2(device.collector.waitForFrames(10), qPrintable(idList(device.collector)));
        bridge.disconnectUdp();

        // At 500 ms the visible-light read and the first infrared poll.
        const QVector<QPair<uint32_t, int>> expected = {
            {0x000324, 0}, {0x00030E, 0},   {0x000018, 0},   {0x000317, 0},   {0x000502, 0},
            {0x000336, 0}, {0x000324, 150}, {0x000100, 400}, {0x000100, 500}, {0x000200, 500},
        };
        const QString mismatch = linkUpMismatch(device.collector, expected);
        QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));
        const auto& frames = device.collector.frames;
        QCOMPARE(frames.first().frame.sequence, firstSequence);
        for (int i = 0; i < expected.size(); ++i) {
            const auto& got = frames.at(i);
            const QString what =
                QStringLiteral("frame %1: %2 (all: %3)").arg(i).arg(LinkTest::hex(got.bytes), idList(device.collector));
            QVERIFY2(got.frame.receiverId == (got.frame.messageId == 0x000018 ? 3 : 4), qPrintable(what));
            QVERIFY2(got.frame.senderId == 1 && got.frame.headerByte3 == 1 && got.frame.headerByte6 == 1,
                     qPrintable(what));
        }
        // The requests sent at once go out in this order, from one pass of the event loop.
        const uint32_t atOnce[] = {0x00030E, 0x000018, 0x000317, 0x000502, 0x000336};
        for (int i = 0; i < 5; ++i)
            QVERIFY2(frames.at(i + 1).frame.messageId == atOnce[i], qPrintable(idList(device.collector)));
        const auto visible = framesWithId(device.collector, 0x000200).first();
        QCOMPARE(visible.payload(), QByteArray("\x01\x00", 2));
        // The stop request and its repeat carry an all-zero box.
        const auto stops = framesWithId(device.collector, 0x000324);
        QCOMPARE(stops.at(0).payload(), QByteArray("\x02\0\0\0\0\0\0\0\0\0", 10));
        QCOMPARE(stops.at(1).payload(), stops.at(0).payload());
        const QByteArray time = framesWithId(device.collector, 0x00030E).first().payload();
        QCOMPARE(time.size(), 16);
        QVERIFY2(qAbs(qFromLittleEndian<qint64>(time.constData()) - QDateTime::currentMSecsSinceEpoch()) < 5000,
                 qPrintable(LinkTest::hex(time)));
        QCOMPARE(qFromLittleEndian<qint32>(time.constData() + 8), -330);
        QCOMPARE(qFromLittleEndian<qint32>(time.constData() + 12), 0);
    }

    void versionRequestReceiversByProduct_data() {
        QTest::addColumn<QString>("product");
        QTest::addColumn<QVector<int>>("receivers");
        QTest::newRow("Wren-R2") << "Wren-R2" << QVector<int>{3};
        QTest::newRow("Tern-LITE-A-first-send-ok") << "Tern-LITE-A" << QVector<int>{3};
        QTest::newRow("Dove") << "Dove" << QVector<int>{4};
        QTest::newRow("Tern-LITE-B") << "Tern-LITE-B" << QVector<int>{4};
        QTest::newRow("no-product") << "" << QVector<int>{3, 4};
    }
    void versionRequestReceiversByProduct() {
        QFETCH(QString, product);
        QFETCH(QVector<int>, receivers);
        TestSupport::removeConfig();
        UdpDevice device;
        AppBridge& bridge = f.offline(QStringLiteral("en"), product);
        bridge.connectUdp(kLoopback, device.port());
        QTest::qWait(100);
        // The link-up requests ask for the versions too: only frames built from here on count.
        const uint8_t first = bridge.nextSequenceNumber();
        bridge.requestVersions(false);
        const uint8_t next = bridge.nextSequenceNumber();
        auto built = [&](uint32_t id) {
            QVector<LinkTest::WireFrame> result;
            for (const auto& wire : framesWithId(device.collector, id))
                if (builtSince(wire, first) && !builtSince(wire, next))
                    result << wire;
            return result;
        };
        QTRY_COMPARE_WITH_TIMEOUT(built(0x000018).size() + built(0x000317).size(), receivers.size() + 1, kLongWaitMs);
        QVector<int> got;
        for (const auto& wire : built(0x000018)) {
            got << wire.frame.receiverId;
            QCOMPARE(wire.payload(), QByteArray("\x01\x00", 2));
        }
        QCOMPARE(got, receivers);
        QCOMPARE(built(0x000317).size(), 1);
        QCOMPARE(built(0x000317).first().frame.receiverId, uint8_t(4));
    }

    // A second connect re-targets the datagrams and repeats the link-up requests, counters kept.
    void reconnectRetargetsAndKeepsCounters() {
        UdpDevice first;
        UdpDevice second;
        AppBridge& bridge = f.offline(QStringLiteral("en"), QStringLiteral("Wren-R2"));
        QSignalSpy connected(&bridge, &AppBridge::udpConnectedChanged);
        bridge.connectUdp(kLoopback, first.port());
        QTRY_VERIFY_WITH_TIMEOUT(!framesWithId(first.collector, 0x00030E).isEmpty(), kLongWaitMs);
        first.send(QByteArray("not a frame"));
        QTRY_COMPARE_WITH_TIMEOUT(bridge.protocolCounters().udpParseFails, 1, kLongWaitMs);
        const int blocks = statsBlockCount();

        const int mark = messages(bridge).size();
        first.collector.clear();
        bridge.connectUdp(kLoopback, second.port());
        QCOMPARE(connected.count(), 1);  // it was up already
        QCOMPARE(bridge.protocolCounters().udpParseFails, 1);
        QCOMPARE(statsBlockCount(), blocks);
        QTRY_VERIFY_WITH_TIMEOUT(!framesWithId(second.collector, 0x00030E).isEmpty(), kLongWaitMs);
        QVERIFY(messagesSince(bridge, mark).contains(QStringLiteral("UDP connected: 127.0.0.1:%1").arg(second.port())));
        QTest::qWait(50);
        QVERIFY2(framesWithId(first.collector, 0x00030E).isEmpty(), qPrintable(idList(first.collector)));
        bridge.disconnectUdp();
    }

    // One counter for every frame built: consecutive, wrapping 255 -> 0, advanced by a failed build.
    void sequenceWrapsAndAdvancesOnFailedBuild() {
        UdpDevice device;
        AppBridge& bridge = f.offline(QStringLiteral("en"), QStringLiteral("Wren-R2"));
        bridge.connectUdp(kLoopback, device.port());
        QVERIFY(device.collector.waitForFrames(1));
        bridge.disconnectUdp();
        // The counter was not reset by the reconnect: the stop sent on it carries the next number.
        const uint8_t carriedOn = bridge.nextSequenceNumber();
        QVERIFY(carriedOn > 0);
        bridge.connectUdp(kLoopback, device.port());
        auto stopOfTheReconnect = [&] {
            for (const auto& wire : framesWithId(device.collector, 0x000324))
                if (wire.frame.sequence == carriedOn)
                    return true;
            return false;
        };
        QTRY_VERIFY2_WITH_TIMEOUT(stopOfTheReconnect(), qPrintable(idList(device.collector)), kLongWaitMs);
        // The link-up requests are out; only the periodic read may still come in between.
        QTRY_VERIFY_WITH_TIMEOUT(builtSince(framesWithId(device.collector, 0x000200).value(0), carriedOn), kLongWaitMs);

        const uint8_t payload[244] = {};
        const uint8_t before = bridge.nextSequenceNumber();
        const int mark = messages(bridge).size();
        QVERIFY(!bridge.sendCommand(4, 0x000100, payload, 244));
        QCOMPARE(messagesSince(bridge, mark), QStringList{"Build frame failed"});
        QCOMPARE(bridge.nextSequenceNumber(), uint8_t(before + 1));

        device.collector.clear();
        // The periodic infrared read (the same id, payload 01 00) may take numbers in between on a
        // slow machine: every frame counts for the numbering, the test's own are counted apart.
        const QByteArray own("\x00\x00", 2);
        auto ownFrames = [&] {
            int n = 0;
            for (const auto& wire : device.collector.frames)
                n += wire.payload() == own ? 1 : 0;
            return n;
        };
        const int count = 300;
        for (int i = 0; i < count; ++i) {
            QVERIFY(bridge.sendCommand(4, 0x000100, payload, 2));
            // Small batches: the device socket's receive buffer is not sized for a burst.
            if (i % 50 == 49)
                QTRY_COMPARE_WITH_TIMEOUT(ownFrames(), i + 1, kLongWaitMs);
        }
        QTRY_COMPARE_WITH_TIMEOUT(ownFrames(), count, kLongWaitMs);
        auto& frames = device.collector.frames;
        // A periodic read built before the failed build may still have been on its way.
        while (!frames.isEmpty() && frames.first().frame.sequence != uint8_t(before + 1))
            frames.removeFirst();
        QVERIFY2(frames.size() >= count, qPrintable(idList(device.collector)));
        bool wrapped = false;
        for (int i = 0; i < frames.size(); ++i) {
            const uint8_t expected = uint8_t(before + 1 + i);
            QCOMPARE(frames.at(i).frame.sequence, expected);
            if (i > 0 && expected == 0)
                wrapped = frames.at(i - 1).frame.sequence == 255;
        }
        QVERIFY(wrapped);
        bridge.disconnectUdp();
    }

    void sendsWithoutALinkFail() {
        AppBridge& bridge = f.offline(QStringLiteral("en"), QStringLiteral("Wren-R2"));
        const uint8_t payload[2] = {1, 0};
        const uint8_t before = bridge.nextSequenceNumber();
        int mark = messages(bridge).size();
        QVERIFY(!bridge.sendCommand(4, 0x000100, payload, 2));
        QCOMPARE(messagesSince(bridge, mark), QStringList{"No UDP/UART link, send failed"});
        QCOMPARE(bridge.nextSequenceNumber(), uint8_t(before + 1));

        mark = messages(bridge).size();
        bridge.setTracking(true, 10, 10, 50, 50);
        bridge.setTracking(false, 0, 0, 1, 1, true, false);
        bridge.setTracking(false, 0, 0, 1, 1, false, true);
        bridge.sendTimeSync();
        bridge.requestVersions(true);
        bridge.requestVersions(false);
        QVERIFY(!bridge.requestVisibleSettings());
        const QString noLink = QStringLiteral("No UDP/UART link, send failed");
        QCOMPARE(messagesSince(bridge, mark), (QStringList{"Box tracking: please connect UDP or UART first", noLink,
                                                           "Failed to send time sync command", noLink, noLink,
                                                           "Failed to send version requests", noLink, noLink, noLink}));
    }

    // Leaving the runtime page closes whichever link is up.
    void backToMainClosesTheLinks() {
        UdpDevice device;
        LinkTest::PtyDevice pty;
        AppBridge& bridge = f.offline(QStringLiteral("en"), QStringLiteral("Wren-R2"));
        bridge.connectUdp(kLoopback, device.port());
        bridge.backToMain();
        QVERIFY(!bridge.udpConnected());
        QVERIFY(!bridge.runtimePage());
        bridge.selectProduct(QStringLiteral("Wren-R2"));
        QVERIFY(bridge.openSerial(pty.slavePath(), 115200));
        bridge.backToMain();
        QVERIFY(!bridge.serialOpened());
        QCOMPARE(bridge.linkStatus(), QStringLiteral("Connected: None"));
        // Frames built before may still be on their way; none may follow (the link-up timers still
        // due find no link).
        const uint8_t firstAfterClose = bridge.nextSequenceNumber();
        QTest::qWait(600);
        for (const auto* collector : {&device.collector, &pty.collector})
            for (const auto& wire : collector->frames)
                QVERIFY2(!builtSince(wire, firstAfterClose), qPrintable(idList(*collector)));
    }

    // With no descriptor left for a socket the bind fails: nothing is up and no timer runs.
    void failedBindLeavesNoLink() {
        AppBridge& bridge = f.offline(QStringLiteral("en"), QStringLiteral("Wren-R2"));
        QSignalSpy status(&bridge, &AppBridge::linkStatusChanged);
        rlimit saved{};
        QVERIFY(getrlimit(RLIMIT_NOFILE, &saved) == 0);
        const int lowestFree = ::open("/dev/null", O_RDONLY);
        QVERIFY(lowestFree >= 0);
        ::close(lowestFree);
        rlimit tight = saved;
        tight.rlim_cur = rlim_t(lowestFree);
        QVERIFY(setrlimit(RLIMIT_NOFILE, &tight) == 0);
        const int mark = messages(bridge).size();
        bridge.connectUdp(kLoopback, 1030);
        setrlimit(RLIMIT_NOFILE, &saved);

        QCOMPARE(messagesSince(bridge, mark), (QStringList{"UDP bind failed", "Link status: Connected: None"}));
        QVERIFY(!bridge.udpConnected());
        QCOMPARE(status.count(), 1);
        QCOMPARE(statsBlockCount(), 0);
        QTest::qWait(700);
        QCOMPARE(messagesSince(bridge, mark).size(), 2);  // no periodic request failures
    }

    // Frames sent and received on both links reach the protocol trace in the session log; a
    // datagram's trace and hex dump cover its frame only, not the bytes that follow it.
    void traceOfBothDirectionsOnBothLinks() {
        markLog();
        AppLog::ProtocolSwitches on;
        on.enabled = true;
        on.statusFrames = true;
        on.hex = true;
        AppLog::setProtocolSwitches(on);
        const auto off = qScopeGuard([] { AppLog::setProtocolSwitches(AppLog::ProtocolSwitches()); });
        LinkTest::UdpDevice device;
        LinkTest::PtyDevice pty;
        AppBridge& bridge = f.offline(QStringLiteral("en"), QStringLiteral("Wren-R2"));
        const QByteArray reply =
            LinkTest::frameBytes(4, 1, 0x010317, LinkTest::replyPayload(0, QByteArray("\x01\x02\x03", 3)));
        QByteArray bad = reply;
        bad[bad.size() - 1] = char(bad.at(bad.size() - 1) ^ 0x01);

        bridge.connectUdp(QStringLiteral("127.0.0.1"), device.port());
        QVERIFY(device.collector.waitForFrames(2));
        QVERIFY(device.send(reply + QByteArray(300, '\xAB')));
        QVERIFY(device.send(bad));
        QTRY_COMPARE_WITH_TIMEOUT(bridge.protocolCounters().udpParseFails, 1, kLongWaitMs);
        QCOMPARE(bridge.cameraVersion(), QStringLiteral("1.2.3"));
        QVERIFY2(countOf("[发送][UDP]") >= 2, logText().constData());
        QCOMPARE(countOf("[接收][UDP]"), 2);  // the good reply and the bad datagram
        QCOMPARE(countOf("[接收][UDP] 帧解析失败"), 1);
        QByteArray frameHex = "  hex:";
        for (char byte : reply)
            frameHex += " 0x" + QByteArray::number(uint8_t(byte), 16).rightJustified(2, '0').toUpper();
        QVERIFY2(logText().contains(frameHex + '\n'), frameHex.constData());
        QVERIFY2(!logText().contains("0xAB 0xAB"), "bytes after the frame were dumped");

        QVERIFY(bridge.openSerial(pty.slavePath(), 115200));
        QVERIFY(pty.collector.waitForFrames(2));
        QVERIFY(pty.write(reply + bad + QByteArray(12, '\0')));
        QTRY_COMPARE_WITH_TIMEOUT(bridge.protocolCounters().uartParseFails, 1, kLongWaitMs);
        QVERIFY(countOf("[发送][UART]") >= 2);
        QCOMPARE(countOf("[接收][UART] 帧解析失败"), 1);
        QCOMPARE(countOf("[接收][UART]"), 2);
        bridge.closeSerial();
    }
};

QTEST_GUILESS_MAIN(TestBridgeLinksUdp)
#include "tst_bridge_links_udp.moc"
