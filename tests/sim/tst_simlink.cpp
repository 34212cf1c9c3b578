#include <QSignalSpy>
#include <QtTest>

#include "AppConfigSeed.h"
#include "SimProcess.h"
#include "TestSupport.h"
#include "bridge/AppBridge.h"
#include "protocol/ProtocolStats.h"
#include "video/VideoBackend.h"

namespace {

// Waits that only end a hung run: the simulator and the program share a possibly busy machine.
constexpr int kLongWaitMs = 20000;

// The program's controller prepared for English and one product, with more INI text after that.
void prepareConfig(const QString& product, const QByteArray& more = {}) {
    TestSupport::writeConfig("[General]\nlanguage=en\ncurrentProduct=" + product.toUtf8() + "\n" + more);
}

QByteArray silenceWatch(int seconds) {
    return "[Link]\nSilenceTimeoutSec=" + QByteArray::number(seconds) + "\n";
}

int framesTakenIn(const AppBridge& bridge) {
    return bridge.protocolCounters().udpFrames + bridge.protocolCounters().uartFrames;
}

bool logHas(const AppBridge& bridge, const QString& text) {
    return bridge.messageLog().contains(text);
}
int logCount(const AppBridge& bridge, const QString& text) {
    return bridge.messageLog().count(text);
}

// The controller's debug line for every reply it takes in, counted for tracking replies.
int g_trackingReplies = 0;
void countTrackingReplies(QtMsgType type, const QMessageLogContext&, const QString& text) {
    if (type == QtDebugMsg && text.contains(QStringLiteral("ACK msgid=0x10324 ")))
        ++g_trackingReplies;
}

// Acknowledgement messages of box tracking are rate-limited to one per 800 ms: waits until the
// device has answered both stops of the link-up (the stop and its silent repeat), then for the
// limit to pass, so that the next answer is reported whatever the machine's speed.
bool waitPastLinkUpTrackingReplies() {
    g_trackingReplies = 0;
    qInstallMessageHandler(countTrackingReplies);
    const bool answered = QTest::qWaitFor([] { return g_trackingReplies >= 2; }, kLongWaitMs);
    qInstallMessageHandler(nullptr);
    QTest::qWait(850);
    return answered;
}

// The counters and the end of the message log, for a failure message.
QString describe(const AppBridge& bridge) {
    return formatProtocolStatsBlock(bridge.protocolCounters(), QString(), QDateTime()) +
           bridge.messageLog().right(1500);
}

}  // namespace

// The program against the simulator, as an operator would use them together: over UDP and over a
// pseudo-terminal the link-up fills in versions and settings, and the simulator's faults show up
// as the program's failure messages and counters without harm.
// The run script seeds the program's skyvane.cfg through the simulator: the program must then
// open on the chosen product with the simulator's stream offered first, and nothing else the
// operator had configured may be lost.
class TestSimLink : public QObject {
    Q_OBJECT

private:
    // Starts the simulator on a free UDP port and connects the controller to it.
    static bool connectUdp(SimProcess& sim, AppBridge& bridge, const QString& product, QStringList options = {}) {
        options << "--product" << product << "--rtsp-port"
                << "0";
        const quint16 port = sim.startOnFreeUdpPort(options, {"UDP ready"});
        if (port == 0)
            return false;
        bridge.connectUdp(QStringLiteral("127.0.0.1"), port);
        return bridge.udpConnected();
    }
    // Starts the simulator with its serial side only and opens the controller's port on it.
    static bool openSerial(SimProcess& sim, AppBridge& bridge, const QString& product, QStringList options = {}) {
        options << "--product" << product << "--rtsp-port"
                << "0"
                << "--no-udp"
                << "--serial";
        return sim.start(options, {"SERIAL ready"}) && sim.readyValue("SERIAL ready").startsWith("/dev/") &&
               bridge.openSerial(sim.readyValue("SERIAL ready"), 115200);
    }

private slots:
    void linkUpOverUdpFillsInTheDevice_data() {
        QTest::addColumn<QString>("product");
        QTest::addColumn<QString>("gimbalHw");
        QTest::addColumn<QString>("gimbalSw");
        QTest::addColumn<QString>("camera");
        QTest::newRow("WrenT-R2-gimbal-at-3") << QString("WrenT-R2") << QString("2.1.0") << QString("1.6.3") << "3.2.7";
        QTest::newRow("Tern-gimbal-through-camera")
            << QString("Tern") << QString("1.2.2") << QString("2.2.8") << "5.0.1";
    }

    void linkUpOverUdpFillsInTheDevice() {
        QFETCH(QString, product);
        QFETCH(QString, gimbalHw);
        QFETCH(QString, gimbalSw);
        QFETCH(QString, camera);
        prepareConfig(product);
        AppBridge bridge;
        QSignalSpy gimbalVersion(&bridge, &AppBridge::gimbalVersionChanged);
        QSignalSpy cameraStatus(&bridge, &AppBridge::cameraStatusChanged);
        SimProcess sim;
        QVERIFY2(connectUdp(sim, bridge, product), qPrintable(sim.errorOutput()));
        QTRY_VERIFY2_WITH_TIMEOUT(bridge.gimbalHwVersion() == gimbalHw, qPrintable(describe(bridge)), kLongWaitMs);
        QCOMPARE(bridge.gimbalSwVersion(), gimbalSw);
        QTRY_COMPARE_WITH_TIMEOUT(bridge.cameraVersion(), camera, kLongWaitMs);
        QCOMPARE(gimbalVersion.count(), 1);
        // The visible-camera settings read 500 ms after the link came up: photo 4000x3000, video 1080p.
        QTRY_COMPARE_WITH_TIMEOUT(bridge.cameraPhotoResolutionIndex(), 1, kLongWaitMs);
        QCOMPARE(bridge.cameraRecordResolutionIndex(), 0);
        QVERIFY(cameraStatus.count() >= 1);
        QTRY_VERIFY_WITH_TIMEOUT(bridge.protocolCounters().udpFrames >= 10, kLongWaitMs);
        QCOMPARE(bridge.protocolCounters().udpParseFails, 0);
        QVERIFY(sim.running());
    }

    void refusedCommandShowsTheFailure() {
        prepareConfig("WrenT-R2");
        AppBridge bridge;
        SimProcess sim;
        QVERIFY2(connectUdp(sim, bridge, "WrenT-R2",
                            {"--refuse", "0x0324=1", "--refuse", "0x0106", "--refuse", "0x0303=0x0204"}),
                 qPrintable(sim.errorOutput()));
        // The stops of the link-up are refused as well: only a further failure message counts.
        QVERIFY2(waitPastLinkUpTrackingReplies(), qPrintable(describe(bridge)));
        const int failuresBefore = logCount(bridge, "Box tracking failed");
        bridge.setTracking(true, 10, 10, 100, 100);
        QTRY_VERIFY2_WITH_TIMEOUT(logCount(bridge, "Box tracking failed") == failuresBefore + 1,
                                  qPrintable(describe(bridge)), kLongWaitMs);
        QVERIFY(!logHas(bridge, "Box tracking confirmed by device"));
        bridge.setIrColorScheme(3);
        QTRY_VERIFY2_WITH_TIMEOUT(logHas(bridge, "IR palette set failed"), qPrintable(describe(bridge)), kLongWaitMs);
        bridge.toggleRecord();
        QTRY_VERIFY2_WITH_TIMEOUT(logHas(bridge, "Start recording failed"), qPrintable(describe(bridge)), kLongWaitMs);
        QTest::qWait(1200);
        QVERIFY(!bridge.recording());  // the device's recording reports say it never started
    }

    // A device that stops sending (its process frozen) is reported silent after the watch's time and
    // back when it sends again, on either link. Counts are left to the loopback tests: a machine
    // busy enough may hold the simulator up for a second on its own.
    void frozenDeviceIsSilentUntilItResumes_data() {
        QTest::addColumn<bool>("serial");
        QTest::newRow("udp") << false;
        QTest::newRow("serial") << true;
    }
    void frozenDeviceIsSilentUntilItResumes() {
        QFETCH(bool, serial);
        prepareConfig("Wren-R2", silenceWatch(1));
        AppBridge bridge;
        SimProcess sim;
        QVERIFY2(serial ? openSerial(sim, bridge, "Wren-R2") : connectUdp(sim, bridge, "Wren-R2"),
                 qPrintable(sim.errorOutput()));
        QTRY_VERIFY_WITH_TIMEOUT(framesTakenIn(bridge) > 0, kLongWaitMs);
        QSignalSpy silent(&bridge, &AppBridge::deviceSilentChanged);
        QVERIFY(sim.pause());
        QTRY_VERIFY2_WITH_TIMEOUT(bridge.deviceSilent(), qPrintable(describe(bridge)), kLongWaitMs);
        QVERIFY(logHas(bridge, "No data from device for 1 s"));
        QVERIFY(sim.resume());
        QTRY_VERIFY2_WITH_TIMEOUT(!bridge.deviceSilent(), qPrintable(describe(bridge)), kLongWaitMs);
        QVERIFY(logHas(bridge, "Device data resumed"));
        QVERIFY(silent.count() >= 2);
        QVERIFY(serial ? bridge.serialOpened() : bridge.udpConnected());
    }

    // Nothing answered: the link stays up, reports still arrive, versions stay unknown. With the
    // watch turned off a frozen device is not reported, and its frames afterwards are no
    // resumption. (A link that has not carried a frame yet is left to the loopback tests.)
    void silentDeviceWithTheWatchOff() {
        prepareConfig("Wren-R2", silenceWatch(0));
        AppBridge bridge;
        const QString unknownGimbal = bridge.gimbalHwVersion();
        const QString unknownCamera = bridge.cameraVersion();
        QSignalSpy gimbalVersion(&bridge, &AppBridge::gimbalVersionChanged);
        QSignalSpy silent(&bridge, &AppBridge::deviceSilentChanged);
        SimProcess sim;
        QVERIFY2(connectUdp(sim, bridge, "Wren-R2", {"--silent", "all"}), qPrintable(sim.errorOutput()));
        QTRY_VERIFY_WITH_TIMEOUT(bridge.protocolCounters().udpFrames >= 10, kLongWaitMs);
        QVERIFY(sim.pause());
        QTest::qWait(2500);  // more than twice the one-second watch
        QVERIFY(sim.resume());
        const int framesBefore = framesTakenIn(bridge);
        QTRY_VERIFY_WITH_TIMEOUT(framesTakenIn(bridge) > framesBefore, kLongWaitMs);
        QCOMPARE(silent.count(), 0);
        QVERIFY2(!logHas(bridge, "No data from device") && !logHas(bridge, "Device data resumed"),
                 qPrintable(describe(bridge)));
        QCOMPARE(gimbalVersion.count(), 0);
        QCOMPARE(bridge.gimbalHwVersion(), unknownGimbal);
        QCOMPARE(bridge.cameraVersion(), unknownCamera);
        QVERIFY(bridge.udpConnected());
    }

    // Corrupt, duplicated, dropped frames and garbage on either link: counted, and the rest still
    // works. Over the pseudo-terminal, with garbage before frames and writes split at random places,
    // the program resynchronises, counts the skipped bytes and still gets every answer.
    void linkFaultsAreCountedNotFatal_data() {
        QTest::addColumn<bool>("serial");
        QTest::addColumn<QString>("product");
        QTest::addColumn<QStringList>("faults");
        QTest::newRow("udp-corrupt-garbage-duplicate-drop")
            << false << "Tern-LITE-A" << QStringList{"--seed",      "5",   "--corrupt", "0.2", "--garbage", "0.2",
                                                     "--duplicate", "0.2", "--drop",    "0.1", "--delay",   "30"};
        QTest::newRow("serial-garbage-split")
            << true << "Tern-LITE-B" << QStringList{"--seed", "3", "--garbage", "0.3", "--split", "0.5"};
        QTest::newRow("serial-corrupt-duplicate")
            << true << "Dove" << QStringList{"--corrupt", "0.3", "--duplicate", "0.2"};
    }
    void linkFaultsAreCountedNotFatal() {
        QFETCH(bool, serial);
        QFETCH(QString, product);
        QFETCH(QStringList, faults);
        prepareConfig(product);
        AppBridge bridge;
        SimProcess sim;
        QVERIFY2(serial ? openSerial(sim, bridge, product, faults) : connectUdp(sim, bridge, product, faults),
                 qPrintable(sim.errorOutput()));
        const ProtocolCounters& c = bridge.protocolCounters();
        if (faults.contains("--garbage") && serial) {
            QTRY_VERIFY2_WITH_TIMEOUT(bridge.gimbalHwVersion() == "1.3.1", qPrintable(describe(bridge)), kLongWaitMs);
            QTRY_COMPARE_WITH_TIMEOUT(bridge.cameraVersion(), QStringLiteral("4.1.5"), kLongWaitMs);
            QTRY_VERIFY2_WITH_TIMEOUT(c.uartResyncDiscardedBytes > 0, qPrintable(describe(bridge)), kLongWaitMs);
        } else {
            QTRY_VERIFY2_WITH_TIMEOUT(c.udpParseFails + c.uartParseFails >= (serial ? 3 : 5),
                                      qPrintable(describe(bridge)), kLongWaitMs);
        }
        QTRY_VERIFY2_WITH_TIMEOUT(framesTakenIn(bridge) >= (serial ? 10 : 20), qPrintable(describe(bridge)),
                                  kLongWaitMs);
        QVERIFY(serial ? bridge.serialOpened() : bridge.udpConnected());
        QVERIFY(sim.running());
    }

    void programOpensOnTheSeededProductAndStream() {
        TestSupport::writeConfig(
            "[General]\nlanguage=en\ncurrentProduct=Dove\n\n[Protocol]\nLogEnabled=true\n\n[streamHistory]\n"
            "Tern=rtsp://127.0.0.1:9000/a, rtsp://127.0.0.1:8554/live0\n");
        QString error;
        QVERIFY2(seedAppConfig(TestSupport::configPath(), "Tern", "rtsp://127.0.0.1:8554/live0", &error),
                 qPrintable(error));
        AppBridge bridge;
        QCOMPARE(bridge.currentProduct(), QStringLiteral("Tern"));
        QCOMPARE(bridge.streamHistory(), (QStringList{"rtsp://127.0.0.1:8554/live0", "rtsp://127.0.0.1:9000/a"}));
        QCOMPARE(bridge.language(), QStringLiteral("en"));
        QCOMPARE(videoBackendName(), QStringLiteral("ffmpeg"));
        const QString text = QString::fromUtf8(TestSupport::readFile(TestSupport::configPath()));
        QVERIFY2(text.contains("LogEnabled=true"), qPrintable(text));
        QCOMPARE(text.count("currentProduct"), 1);
        // Without a device address the link panel keeps offering the factory address.
        QCOMPARE(bridge.deviceAddress(), QString());
        QCOMPARE(bridge.devicePort(), 0);
    }

    // The chosen backend and a device address are kept; the history stays bounded; a file that
    // cannot be written is reported.
    void chosenBackendAndAddressAreKeptAndHistoryStaysBounded() {
        QByteArray ini = "[Video]\nBackend=easyplayer\n\n[streamHistory]\nWren-R2=";
        for (int i = 0; i < 10; ++i)
            ini += (i ? ", " : "") + QByteArray("rtsp://127.0.0.1:90") + QByteArray::number(i);
        TestSupport::writeConfig(ini + "\n");
        QString error;
        QVERIFY(seedAppConfig(TestSupport::configPath(), "Wren-R2", "rtsp://127.0.0.1:8554/live0", &error, "127.0.0.1",
                              1031));
        AppBridge bridge;
        QCOMPARE(bridge.currentProduct(), QStringLiteral("Wren-R2"));
        QCOMPARE(bridge.streamHistory().size(), 10);
        QCOMPARE(bridge.streamHistory().first(), QStringLiteral("rtsp://127.0.0.1:8554/live0"));
        QVERIFY(!bridge.streamHistory().contains("rtsp://127.0.0.1:909"));
        QCOMPARE(videoBackendName(), QStringLiteral("easyplayer"));
        QCOMPARE(bridge.deviceAddress(), QStringLiteral("127.0.0.1"));
        QCOMPARE(bridge.devicePort(), 1031);

        error.clear();
        QVERIFY(!seedAppConfig("/proc/skyvane-no-such-dir/skyvane.cfg", "Tern", "rtsp://127.0.0.1:8554/live0", &error));
        QVERIFY(!error.isEmpty());
    }
};

QTEST_MAIN(TestSimLink)
#include "tst_simlink.moc"
