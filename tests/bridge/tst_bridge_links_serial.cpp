// The serial link manager and serial inbound framing against a pseudo-terminal.
#include <QSerialPortInfo>
#include <QSignalSpy>
#include <QtTest>

#include <sys/stat.h>

#include "BridgeDeviceFixture.h"

using namespace BridgeLinks;
using namespace BridgeDevice;
using LinkTest::frameBytes;
using LinkTest::PtyDevice;
using LinkTest::replyPayload;
using LinkTest::UdpDevice;

namespace {

const QString kLoopback = QStringLiteral("127.0.0.1");

}  // namespace

class TestBridgeLinksSerial : public QObject {
    Q_OBJECT

private:
    Fixture f;

private slots:
    void init() { QFile::remove(statsPath()); }
    void cleanup() { f.reset(); }

    // The far end of the terminal goes away while the link is open: the link closes as the switch
    // would close it, names the port, and a new port opens afterwards as usual.
    void lostPortClosesTheLink_data() {
        QTest::addColumn<QString>("language");
        QTest::addColumn<QStringList>("onLoss");
        QTest::newRow("en") << "en" << QStringList{"Link status: Connected: None", "Serial port lost: %1"};
        QTest::newRow("zh") << "zh" << QStringList{"连接状态: 当前连接: 未连接", "串口已断开: %1"};
    }
    void lostPortClosesTheLink() {
        QFETCH(QString, language);
        QFETCH(QStringList, onLoss);
        AppBridge& bridge = f.up(Link::Serial, language);
        // The link-up is over (its last request went out at 950 ms): nothing else adds messages.
        QCOMPARE(f.waitSent(0x000317, 2).size(), 2);
        QSignalSpy opened(&bridge, &AppBridge::serialOpenedChanged);
        const QString lostPort = f.pty->slavePath();
        const int mark = messages(bridge).size();
        f.pty->hangUp();
        QTRY_VERIFY_WITH_TIMEOUT(!bridge.serialOpened(), kLongWaitMs);
        QCOMPARE(opened.count(), 1);
        QTest::qWait(600);  // a poll period: a dead port must neither be reported twice nor polled
        onLoss[1] = onLoss[1].arg(lostPort);
        QCOMPARE(messagesSince(bridge, mark), onLoss);

        f.pty = std::make_unique<PtyDevice>();
        QVERIFY(bridge.openSerial(f.pty->slavePath(), 115200));
        QVERIFY2(f.pty->collector.waitForFrames(3), qPrintable(idList(f.pty->collector)));
    }

    void linkUpFramesWithTheirDelays() {
        AppBridge& bridge = f.offline(QStringLiteral("en"), QStringLiteral("Wren-R2"));
        f.pty = std::make_unique<PtyDevice>();
        // The clock starts before the timers do: none of them can fire before its delay.
        f.pty->collector.clock.restart();
        QVERIFY(bridge.openSerial(f.pty->slavePath(), 115200));
        QVERIFY2(f.pty->collector.waitForFrames(14), qPrintable(idList(f.pty->collector)));
        const QVector<QPair<uint32_t, int>> expected = {
            {0x000324, 0},   {0x00030E, 0},   {0x000336, 0},   {0x000324, 150}, {0x000018, 150},
            {0x000317, 150}, {0x000100, 400}, {0x000200, 500}, {0x000018, 500}, {0x000317, 500},
            {0x000200, 500}, {0x000100, 500}, {0x000018, 950}, {0x000317, 950},
        };
        const QString mismatch = linkUpMismatch(f.pty->collector, expected);
        QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));
        QVERIFY(f.pty->collector.garbage.isEmpty());
    }

    void openFailureAfterUdpLeavesNoLink() {
        UdpDevice device;
        AppBridge& bridge = f.offline(QStringLiteral("en"), QStringLiteral("Wren-R2"));
        bridge.connectUdp(kLoopback, device.port());
        // The last link-up request (the 500 ms visible-light read) is out: no timer of it is left.
        QTRY_VERIFY_WITH_TIMEOUT(!framesWithId(device.collector, 0x000200).isEmpty(), kLongWaitMs);
        const int mark = messages(bridge).size();
        QVERIFY(!bridge.openSerial(QStringLiteral("/dev/skyvane-no-such-tty"), 115200));
        QCOMPARE(messagesSince(bridge, mark),
                 (QStringList{"UDP was disconnected automatically",
                              "Failed to open serial port: /dev/skyvane-no-such-tty", "Link status: Connected: None"}));
        QVERIFY(!bridge.udpConnected());
        QVERIFY(!bridge.serialOpened());
        // Frames built before the link went down may still be on their way; none may follow.
        const uint8_t firstAfterClose = bridge.nextSequenceNumber();
        QTest::qWait(1100);
        for (const auto& wire : device.collector.frames)
            QVERIFY2(uint8_t(wire.frame.sequence - firstAfterClose) >= 128, qPrintable(idList(device.collector)));
        QCOMPARE(bridge.nextSequenceNumber(), firstAfterClose);
        QCOMPARE(messagesSince(bridge, mark).size(), 3);  // no periodic request failures
    }

    // A user outside the dialout group may not open the port: the log says so and how to fix it.
    // Root opens any device, so the controller runs in a child of this test as the user nobody.
    void openRefusedForPermissionNamesDialout() {
        if (::geteuid() != 0 || QStandardPaths::findExecutable("setpriv").isEmpty())
            QSKIP("starting an unprivileged child needs root and setpriv(1)");
        PtyDevice pty;
        QVERIFY(pty.isValid());
        QVERIFY(::chmod(QFile::encodeName(pty.slavePath()).constData(), 0600) == 0);
        QTemporaryDir home;  // the child's settings go there: it cannot write this test's directory
        QVERIFY(::chmod(QFile::encodeName(home.path()).constData(), 0707) == 0);
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("SKYVANE_TEST_DENIED_PORT", pty.slavePath());
        env.insert("HOME", home.path());
        env.remove("XDG_CONFIG_HOME");
        env.remove("XDG_STATE_HOME");
        env.remove("XDG_RUNTIME_DIR");
        child.setProcessEnvironment(env);
        child.setProcessChannelMode(QProcess::MergedChannels);
        child.start("setpriv", {"--reuid=nobody", "--regid=nogroup", "--clear-groups",
                                QCoreApplication::applicationFilePath(), "deniedPortInUnprivilegedChild"});
        QVERIFY(child.waitForFinished(60000));
        const QString output = QString::fromUtf8(child.readAll());
        QVERIFY2(child.exitCode() == 0, qPrintable(output));
        QVERIFY2(output.contains("PASS   : TestBridgeLinksSerial::deniedPortInUnprivilegedChild()"),
                 qPrintable(output));
    }
    void deniedPortInUnprivilegedChild() {
        const QString port = qEnvironmentVariable("SKYVANE_TEST_DENIED_PORT");
        if (port.isEmpty())
            QSKIP("runs as the unprivileged child of openRefusedForPermissionNamesDialout");
        const QMap<QString, QString> hint{
            {"en",
             "No permission to open serial port %1: add your user to the dialout group (sudo usermod -aG "
             "dialout $USER), then log out and in again"},
            {"zh",
             "无权限打开串口 %1：请将当前用户加入 dialout 组（sudo usermod -aG dialout $USER），然后注销并重新登录"}};
        const QMap<QString, QStringList> expected{
            {"en", {"Failed to open serial port: " + port, hint["en"].arg(port), "Link status: Connected: None"}},
            {"zh", {"串口打开失败: " + port, hint["zh"].arg(port), "连接状态: 当前连接: 未连接"}}};
        // Real serial ports this user may not open (a machine's ttyS0, say) are named by a refresh too.
        QStringList deniedSystemPorts;
        for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
            if (::access(QFile::encodeName(info.systemLocation()).constData(), R_OK | W_OK) != 0)
                deniedSystemPorts << info.portName();
        }
        for (const QString& language : expected.keys()) {
            AppBridge bridge;
            bridge.setLanguage(language);
            int mark = messages(bridge).size();
            QVERIFY(!bridge.openSerial(port, 115200));
            QCOMPARE(messagesSince(bridge, mark), expected.value(language));
            mark = messages(bridge).size();
            bridge.refreshSerialPorts();
            const QStringList refreshed = messagesSince(bridge, mark);
            if (!deniedSystemPorts.isEmpty())
                QCOMPARE(refreshed.last(), hint.value(language).arg(deniedSystemPorts.join(", ")));
            else
                QVERIFY2(!refreshed.join('\n').contains("dialout"), qPrintable(refreshed.join('\n')));
        }
        if (deniedSystemPorts.isEmpty())
            qInfo("no serial port of this machine is closed to the user: the refresh hint was not seen");
    }

    void linksExcludeEachOther() {
        AppBridge& bridge = f.up(Link::Serial);
        UdpDevice device;
        QSignalSpy opened(&bridge, &AppBridge::serialOpenedChanged);
        int mark = messages(bridge).size();
        bridge.connectUdp(kLoopback, device.port());
        QVERIFY(!bridge.serialOpened());
        QVERIFY(bridge.udpConnected());
        QCOMPARE(opened.count(), 1);
        QCOMPARE(messagesSince(bridge, mark).mid(0, 2),
                 (QStringList{"UART was closed automatically", "Link status: Connected: UDP"}));
        QCOMPARE(bridge.linkStatus(), QStringLiteral("Connected: UDP"));
        QVERIFY(device.collector.waitForFrames(2));

        // The sequence counter carries on across the switch of links.
        f.pty->collector.clear();
        const uint8_t udpLast = device.collector.frames.last().frame.sequence;
        QTest::qWait(20);
        mark = messages(bridge).size();
        QVERIFY(bridge.openSerial(f.pty->slavePath(), 921600));
        QCOMPARE(messagesSince(bridge, mark).mid(0, 2),
                 (QStringList{"UDP was disconnected automatically", "Link status: Connected: UART"}));
        QVERIFY(!bridge.udpConnected());
        QVERIFY(f.pty->collector.waitForFrames(1));
        const uint8_t serialFirst = f.pty->collector.frames.first().frame.sequence;
        QVERIFY2(uint8_t(serialFirst - udpLast) >= 1 && uint8_t(serialFirst - udpLast) < 20,
                 qPrintable(QStringLiteral("udp last %1, serial first %2").arg(udpLast).arg(serialFirst)));
    }

    void frameSplitAtEveryPosition() {
        AppBridge& bridge = f.up(Link::Serial);
        QSignalSpy lost(&bridge, &AppBridge::trackingStateFromDevice);
        const QByteArray frame = targetLostReport();
        for (int cut = 1; cut < frame.size(); ++cut) {
            bridge.serialReceiveHandler(frame.left(cut));
            QTest::qWait(0);
            QVERIFY2(lost.count() == cut - 1, qPrintable(QStringLiteral("dispatched early at cut %1").arg(cut)));
            bridge.serialReceiveHandler(frame.mid(cut));
            QTRY_VERIFY2_WITH_TIMEOUT(lost.count() == cut,
                                      qPrintable(QStringLiteral("no dispatch for cut %1").arg(cut)), kLongWaitMs);
        }
        QCOMPARE(bridge.protocolCounters().uartFrames, frame.size() - 1);
        QCOMPARE(bridge.protocolCounters().uartResyncDiscardedBytes, 0);
    }

    // Listing the ports while the link is open leaves the open port working: garbage first, then
    // two frames in one write, both dispatched in order; and the port still sends.
    void framesThroughThePseudoTerminalAfterARefresh() {
        AppBridge& bridge = f.up(Link::Serial);
        QSignalSpy versions(&bridge, &AppBridge::cameraVersionChanged);
        bridge.refreshSerialPorts();
        QVERIFY(bridge.serialOpened());
        QVERIFY(f.pty->write(QByteArray("\x01\x02\x03\x04\x05", 5) + cameraVersionReply(1, 0, 0) +
                             cameraVersionReply(2, 0, 0)));
        QTRY_COMPARE_WITH_TIMEOUT(versions.count(), 2, kLongWaitMs);
        QCOMPARE(bridge.cameraVersion(), QStringLiteral("2.0.0"));
        QCOMPARE(bridge.protocolCounters().uartFrames, 2);
        QCOMPARE(bridge.protocolCounters().uartResyncDiscardedBytes, 5);
        QCOMPARE(bridge.protocolCounters().uartParseFails, 0);
        f.pty->collector.clear();
        bridge.requestIrSettings();
        QVERIFY(f.pty->collector.waitForFrames(1));
    }

    void resynchronisation_data() {
        QTest::addColumn<QByteArray>("prefix");
        QTest::addColumn<int>("fails");
        QTest::addColumn<int>("discarded");
        QTest::newRow("length-byte-244") << QByteArray("\xFD\xF4", 2) << 1 << 2;
        QTest::newRow("length-byte-255") << QByteArray("\xFD\xFF", 2) << 1 << 2;
        // 17 bytes: the start byte is the failed candidate, the other 16 are not start bytes.
        QTest::newRow("bad-checksum-frame") << withBadChecksum(cameraVersionReply(9, 9, 9)) << 1 << 17;
        QTest::newRow("zero-bytes") << QByteArray(500, '\0') << 0 << 500;
        // Beyond a 1 MiB backlog the oldest bytes go, never the frame that just came in.
        const int backlog = 1 << 20;
        QTest::newRow("full-backlog") << QByteArray(backlog, '\0') << 0 << backlog - int(targetLostReport().size());
    }
    void resynchronisation() {
        QFETCH(QByteArray, prefix);
        QFETCH(int, fails);
        QFETCH(int, discarded);
        AppBridge& bridge = f.up(Link::Serial);
        QSignalSpy lost(&bridge, &AppBridge::trackingStateFromDevice);
        bridge.serialReceiveHandler(prefix + targetLostReport());
        QTRY_COMPARE_WITH_TIMEOUT(lost.count(), 1, kLongWaitMs);
        QCOMPARE(bridge.protocolCounters().uartParseFails, fails);
        QCOMPARE(bridge.protocolCounters().uartResyncDiscardedBytes, discarded);
        QCOMPARE(bridge.protocolCounters().uartFrames, 1);
        QCOMPARE(bridge.cameraVersion(), QStringLiteral("-"));
    }

    // A stray 0xFD announcing 80 payload bytes holds the frames behind it until 92 bytes are in;
    // then its checksum fails and the frames are found by resynchronisation.
    void strayStartByteHoldsFramesBack() {
        AppBridge& bridge = f.up(Link::Serial);
        QSignalSpy lost(&bridge, &AppBridge::trackingStateFromDevice);
        const QByteArray frames = targetLostReport() + targetLostReport();
        bridge.serialReceiveHandler(QByteArray("\xFD\x50", 2) + frames);
        QTest::qWait(20);
        QCOMPARE(lost.count(), 0);
        bridge.serialReceiveHandler(QByteArray(92 - 2 - frames.size(), '\x00'));
        QTRY_COMPARE_WITH_TIMEOUT(lost.count(), 2, kLongWaitMs);
        QCOMPARE(bridge.protocolCounters().uartParseFails, 1);
        QCOMPARE(bridge.protocolCounters().uartFrames, 2);
        // The start and length bytes, and the filler behind the frames but for the 11 bytes that wait.
        QCOMPARE(bridge.protocolCounters().uartResyncDiscardedBytes, 2 + (92 - 2 - frames.size()) - 11);
    }

    // Checksum failures and oversized length bytes are counted, and however many there are, the
    // statistics file grows only at the statistics timer's pace.
    void checksumFailuresAddNoStatisticsBlockWithinAPeriod() {
        AppBridge& bridge = f.up(Link::Serial);
        const int blocks = statsBlockCount();
        QByteArray bad;
        for (int i = 0; i < 300; ++i)
            bad += withBadChecksum(frameBytes(4, 1, 0x020002));
        for (int i = 0; i < 100; ++i)
            bad += QByteArray("\xFD\xF5", 2);
        bridge.serialReceiveHandler(bad + QByteArray(12, '\0'));
        QTRY_COMPARE_WITH_TIMEOUT(bridge.protocolCounters().uartParseFails, 400, kLongWaitMs);
        QCOMPARE(statsBlockCount(), blocks);
    }

    // Bytes of a closed port are not glued to the next port's bytes.
    void closingEmptiesTheReceiveBuffer() {
        AppBridge& bridge = f.up(Link::Serial);
        QSignalSpy versions(&bridge, &AppBridge::cameraVersionChanged);
        const QByteArray reply = cameraVersionReply(4, 5, 6);
        bridge.serialReceiveHandler(reply.left(8));
        bridge.closeSerial();
        bridge.serialReceiveHandler(reply.mid(8));  // dropped: the link is closed
        QVERIFY(bridge.openSerial(f.pty->slavePath(), 115200));
        bridge.serialReceiveHandler(reply.mid(8));
        QTest::qWait(20);
        QCOMPARE(versions.count(), 0);
        bridge.serialReceiveHandler(reply);
        QCOMPARE(bridge.cameraVersion(), QStringLiteral("4.5.6"));

        // A tracking acknowledgement inside the quiet window skips only itself: the frame behind it
        // in the same chunk is handled in the same pass.
        const int frames = bridge.protocolCounters().uartFrames;
        bridge.setTracking(true, 100, 100, 50, 50, false, true);  // silent: acks are quiet for 1 s
        const int mark = messages(bridge).size();
        bridge.serialReceiveHandler(frameBytes(4, 1, 0x010324, replyPayload(0)) + cameraVersionReply(7, 8, 9));
        QCOMPARE(bridge.cameraVersion(), QStringLiteral("7.8.9"));
        QCOMPARE(bridge.protocolCounters().uartFrames, frames + 2);
        QCOMPARE(messagesSince(bridge, mark), QStringList());
    }
};

QTEST_GUILESS_MAIN(TestBridgeLinksSerial)
#include "tst_bridge_links_serial.moc"
