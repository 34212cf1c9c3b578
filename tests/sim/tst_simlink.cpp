#include <QSignalSpy>
#include <QtTest>

#include "AppConfigSeed.h"
#include "DeviceModel.h"
#include "FaultInjector.h"
#include "FrameStream.h"
#include "SimOptions.h"
#include "SimProcess.h"
#include "TestSupport.h"
#include "bridge/AppBridge.h"
#include "bridge/CommandPayloads.h"
#include "protocol/FrameCodec.h"
#include "protocol/MessageCatalogue.h"
#include "protocol/ProtocolStats.h"
#include "video/VideoBackend.h"

namespace {

// Waits that only end a hung run: the simulator and the program share a possibly busy machine.
constexpr int kLongWaitMs = 20000;

// The program's controller prepared for English and one product, with more INI text after that.
void prepareConfig(const QString& product, const QByteArray& more = {}) {
    TestSupport::writeConfig("[General]\nlanguage=en\ncurrentProduct=" + product.toUtf8() + "\n" + more);
}

int framesTakenIn(const AppBridge& bridge) {
    return bridge.protocolCounters().udpFrames + bridge.protocolCounters().uartFrames;
}

bool logHas(const AppBridge& bridge, const QString& text) {
    return bridge.messageLog().contains(text);
}

// The counters and the end of the message log, for a failure message.
QString describe(const AppBridge& bridge) {
    return formatProtocolStatsBlock(bridge.protocolCounters(), QString(), QDateTime()) +
           bridge.messageLog().right(1500);
}

constexpr qint64 kStart = 1'000'000;

ParsedFrame command(quint8 receiver, quint32 messageId, const QByteArray& payload) {
    uint8_t buffer[kMaxFrameLength];
    const uint16_t length = buildFrame(buffer, receiver, 1, 0, DeviceId::Application, 1, messageId,
                                       reinterpret_cast<const uint8_t*>(payload.constData()), uint8_t(payload.size()));
    ParsedFrame parsed;
    parseFrame(buffer, length, &parsed);
    return parsed;
}

QByteArray hex(const char* text) {
    return QByteArray::fromHex(text);
}

// Reports collected while the model runs from `from` to `to` in 20 ms steps.
DeviceFrames runFor(DeviceModel& model, qint64 from, qint64 to) {
    DeviceFrames all;
    for (qint64 t = from; t <= to; t += 20)
        all += model.tick(t);
    return all;
}

// The last frame with the given id among frames, or a frame with id 0.
DeviceFrame lastOf(const DeviceFrames& frames, quint32 messageId) {
    DeviceFrame last;
    for (const DeviceFrame& frame : frames)
        if (frame.messageId == messageId)
            last = frame;
    return last;
}

qint16 s16(const QByteArray& p, int at) {
    return qint16(quint8(p[at]) | (quint8(p[at + 1]) << 8));
}
quint16 u16(const QByteArray& p, int at) {
    return quint16(s16(p, at));
}

QByteArray frame(quint8 sequence, int payloadLength = 4) {
    QByteArray payload(payloadLength, char(0x11));
    uint8_t buffer[kMaxFrameLength];
    const uint16_t length = buildFrame(buffer, 1, 1, sequence, 4, 1, 0x020003,
                                       reinterpret_cast<const uint8_t*>(payload.constData()), uint8_t(payloadLength));
    return QByteArray(reinterpret_cast<const char*>(buffer), length);
}

bool parses(const QByteArray& bytes) {
    ParsedFrame parsed;
    return parseFrame(reinterpret_cast<const uint8_t*>(bytes.constData()), uint16_t(bytes.size()), &parsed);
}

QByteArray joined(const FaultInjector::Shaped& shaped) {
    QByteArray all;
    for (const auto& write : shaped.writes)
        all += write.bytes;
    return all;
}

}  // namespace

// The program against the simulator over UDP and a pseudo-terminal: link-up, refusals, silence and
// link faults; the seeded skyvane.cfg the program opens with. Then the simulated device byte for
// byte, its fault injection, serial deframer and command line.
class TestSimLink : public QObject {
    Q_OBJECT

private:
    // Starts the simulator on a free UDP port and connects the controller to it.
    static bool connectUdp(SimProcess& sim, AppBridge& bridge, const QString& product, QStringList options = {}) {
        options += QStringList{"--product", product, "--rtsp-port", "0"};
        const quint16 port = sim.startOnFreeUdpPort(options, {"UDP ready"});
        if (port == 0)
            return false;
        bridge.connectUdp(QStringLiteral("127.0.0.1"), port);
        return bridge.udpConnected();
    }
    // Starts the simulator with its serial side only and opens the controller's port on it.
    static bool openSerial(SimProcess& sim, AppBridge& bridge, const QString& product, QStringList options = {}) {
        options += QStringList{"--product", product, "--rtsp-port", "0", "--no-udp", "--serial"};
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
        QVERIFY2(connectUdp(sim, bridge, product, {"--refuse", "0x0106", "--refuse", "0x0303=0x0204"}),
                 qPrintable(sim.errorOutput()));
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
        // Refusals reach the program as its failure messages. (Tracking refusals, rate-limited, and
        // the recording state after a refusal are left to the loopback tests.)
        bridge.setIrColorScheme(3);
        QTRY_VERIFY2_WITH_TIMEOUT(logHas(bridge, "IR palette set failed"), qPrintable(describe(bridge)), kLongWaitMs);
        bridge.toggleRecord();
        QTRY_VERIFY2_WITH_TIMEOUT(logHas(bridge, "Start recording failed"), qPrintable(describe(bridge)), kLongWaitMs);
        QVERIFY(sim.running());
    }

    // A device that answers nothing (versions stay unknown, reports still arrive) and stops sending
    // (its process frozen): reported silent after the watch's time and back when it sends again;
    // with the watch turned off not reported, and its frames afterwards are no resumption. Counts,
    // the serial link and a link without frames yet are left to the loopback tests: a machine busy
    // enough may hold the simulator up for a second on its own.
    void frozenDeviceIsSilentUntilItResumes_data() {
        QTest::addColumn<int>("watchSec");
        QTest::newRow("watched") << 1;
        QTest::newRow("watch-off") << 0;
    }
    void frozenDeviceIsSilentUntilItResumes() {
        QFETCH(int, watchSec);
        prepareConfig("Wren-R2", "[Link]\nSilenceTimeoutSec=" + QByteArray::number(watchSec) + "\n");
        AppBridge bridge;
        QSignalSpy gimbalVersion(&bridge, &AppBridge::gimbalVersionChanged);
        SimProcess sim;
        QVERIFY2(connectUdp(sim, bridge, "Wren-R2", {"--silent", "all"}), qPrintable(sim.errorOutput()));
        QTRY_VERIFY_WITH_TIMEOUT(bridge.protocolCounters().udpFrames >= 10, kLongWaitMs);
        QSignalSpy silent(&bridge, &AppBridge::deviceSilentChanged);
        QVERIFY(sim.pause());
        // Waiting for the message that comes with the state fails at once if the state never comes.
        if (watchSec)
            QTRY_VERIFY2_WITH_TIMEOUT(logHas(bridge, "No data from device for 1 s"), qPrintable(describe(bridge)),
                                      kLongWaitMs);
        else
            QTest::qWait(2500);  // more than twice the one-second watch
        QCOMPARE(bridge.deviceSilent(), watchSec > 0);
        QVERIFY(sim.resume());
        const int framesBefore = framesTakenIn(bridge);
        QTRY_VERIFY_WITH_TIMEOUT(framesTakenIn(bridge) > framesBefore, kLongWaitMs);
        QTRY_COMPARE_WITH_TIMEOUT(logHas(bridge, "Device data resumed"), watchSec > 0, kLongWaitMs);
        QVERIFY2(!bridge.deviceSilent() && (watchSec ? silent.count() >= 2 : silent.isEmpty()),
                 qPrintable(describe(bridge)));
        QVERIFY(watchSec || !logHas(bridge, "No data from device"));
        QCOMPARE(gimbalVersion.count(), 0);
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

    // The answer comes from the board the command went to.
    void answersReadRequests_data() {
        QTest::addColumn<QString>("product");
        QTest::addColumn<int>("receiver");
        QTest::addColumn<quint32>("command");
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<quint32>("answerId");
        QTest::addColumn<QByteArray>("answer");
        auto row = [](const char* name, const char* product, int receiver, quint32 command, const char* payload,
                      quint32 answerId, const QByteArray& answer) {
            QTest::newRow(name) << QString(product) << receiver << command << hex(payload) << answerId << answer;
        };
        row("gimbal-version-from-gimbal", "WrenT-R2", 3, MessageId::GimbalVersion, "0100", 0x010018,
            hex("000002010001060300"));
        row("gimbal-version-via-camera-on-tern", "Tern", 4, MessageId::GimbalVersion, "0100", 0x010018,
            hex("000001020202020800"));
        row("camera-version", "Dove", 4, MessageId::CameraVersion, "0100", 0x010317, hex("0000020400"));
        row("visible-settings-22-bytes", "Wren-R2", 4, MessageId::VisibleReadSettings, "0100", 0x010200,
            hex("0000150801000405") + QByteArray(14, 0));
        row("ir-settings-answered-with-request-id", "WrenT-R2", 4, MessageId::InfraredReadSettings, "0100", 0x000100,
            hex("000001083232000000000000"));
        row("channel-config-palette-channel-shifted", "WrenT-R2", 4, MessageId::SbusReadConfig, "0100", 0x010502,
            hex("00000807c8000102030405060710"));
        row("ai-categories-1-to-15", "Tern", 4, MessageId::AiDetectionCategories, "0100", 0x010336,
            hex("000001ff7f") + QByteArray(14, 0));
        row("camera-ip", "Tern-LITE-A", 4, MessageId::GetCameraIp, "0100", 0x010312,
            hex("0000c0a89019ffffff00c0a89001"));
        row("unknown-command-refused", "Dove", 4, 0x000999, "", 0x010999, hex("0100"));
        row("short-payload-length-mismatch", "Dove", 4, MessageId::GimbalSetAngle, "0102", 0x010012, hex("0700"));
        row("palette-beyond-tern-set-refused", "Tern", 4, MessageId::InfraredPalette, "1000", 0x010106, hex("0100"));
        row("palette-accepted", "Dove", 4, MessageId::InfraredPalette, "1400", 0x010106, hex("0000"));
        // Frames for another board and replies are not answered at all.
        row("other-board-ignored", "WrenT-R2", 2, MessageId::CameraVersion, "0100", 0, {});
        row("reply-ignored", "WrenT-R2", 4, replyIdOf(MessageId::CameraVersion), "0000", 0, {});
    }

    void answersReadRequests() {
        QFETCH(QString, product);
        QFETCH(int, receiver);
        QFETCH(quint32, command);
        QFETCH(QByteArray, payload);
        QFETCH(quint32, answerId);
        QFETCH(QByteArray, answer);
        DeviceModel model(product);
        const DeviceFrames out = model.handleFrame(::command(quint8(receiver), command, payload), kStart);
        QCOMPARE(out.size(), answerId ? 1 : 0);
        if (out.isEmpty())
            return;
        QCOMPARE(out[0].messageId, answerId);
        QCOMPARE(int(out[0].sender), receiver);
        QCOMPARE(int(out[0].receiver), int(DeviceId::Application));
        QVERIFY2(out[0].payload == answer, out[0].payload.toHex(' ').constData());
    }

    void gimbalFollowsAngleAndPresetCommands() {
        DeviceModel model("Wren-R2");
        // Pitch -30.5 (code 1, 3050), yaw 45 (code 1, 4500), hundredths of a degree.
        auto out = model.handleFrame(command(3, MessageId::GimbalSetAngle, hex("01ea0b01941100")), kStart);
        QCOMPARE(lastOf(out, 0x010012).payload, hex("0000"));
        DeviceFrames reports = runFor(model, kStart, kStart + 2000);
        const DeviceFrame attitude = lastOf(reports, 0x020002);
        QCOMPARE(attitude.payload.size(), 20);
        QCOMPARE(s16(attitude.payload, 6), qint16(4500));
        QCOMPARE(s16(attitude.payload, 10), qint16(-3050));

        model.handleFrame(command(3, MessageId::GimbalControl, hex("20020200")), kStart + 2000);
        runFor(model, kStart + 2000, kStart + 5000);
        QCOMPARE(model.gimbal().pitch, -90.0);
        QCOMPARE(model.gimbal().yaw, 45.0);

        model.handleFrame(command(3, MessageId::GimbalControl, hex("10020200")), kStart + 5000);
        runFor(model, kStart + 5000, kStart + 8000);
        QCOMPARE(model.gimbal().pitch, 0.0);
        QCOMPARE(model.gimbal().yaw, 0.0);
    }

    // A held direction moves while its repeats keep coming and stops when they stop. The bytes are
    // the interface's own for its arrows (↑ is pitch direction -1): up must look up (pitch rises,
    // as a positive set-angle pitch does), down look down, right turn right.
    void heldDirectionMovesThatWayAndStopsWithoutRepeats_data() {
        QTest::addColumn<int>("yawDir");
        QTest::addColumn<int>("pitchDir");
        QTest::addColumn<bool>("turns");  // yaw moves (else pitch)
        QTest::addColumn<double>("sign");
        QTest::newRow("up-raises-pitch") << 0 << -1 << false << 1.0;
        QTest::newRow("down-lowers-pitch") << 0 << 1 << false << -1.0;
        QTest::newRow("right-turns-right") << 1 << 0 << true << 1.0;
        QTest::newRow("left-turns-left") << -1 << 0 << true << -1.0;
    }
    void heldDirectionMovesThatWayAndStopsWithoutRepeats() {
        QFETCH(int, yawDir);
        QFETCH(int, pitchDir);
        QFETCH(bool, turns);
        QFETCH(double, sign);
        const auto bytes = CommandPayloads::encodeGimbalMove(yawDir, pitchDir);
        const QByteArray payload(reinterpret_cast<const char*>(bytes.data()), int(bytes.size()));
        DeviceModel model("Wren-R2");
        const auto along = [&] { return sign * (turns ? model.gimbal().yaw : model.gimbal().pitch); };
        const auto across = [&] { return turns ? model.gimbal().pitch : model.gimbal().yaw; };
        model.tick(kStart);
        model.handleFrame(command(3, MessageId::GimbalControl, payload), kStart);
        runFor(model, kStart, kStart + 400);
        const double moved = along();
        QVERIFY2(moved > 6 && moved < 10, qPrintable(QString::number(moved)));
        QCOMPARE(across(), 0.0);
        runFor(model, kStart + 400, kStart + 3000);
        QVERIFY2(along() < moved + 2.5, qPrintable(QString::number(along())));
    }

    void zoomMovesGraduallyAndReportsZooming() {
        DeviceModel model("Wren-R2");
        model.tick(kStart);
        // 100x asked on a 40x camera: it goes to 40x.
        model.handleFrame(command(4, MessageId::ZoomToRatio, hex("00e803")), kStart);
        const DeviceFrames moving = runFor(model, kStart, kStart + 1000);
        const DeviceFrame midway = lastOf(moving, 0x020005);
        QCOMPARE(midway.payload.size(), 15);
        QCOMPARE(int(midway.payload[0]), 1);
        const double ratio = u16(midway.payload, 3) / 10.0;
        QVERIFY2(ratio > 1.5 && ratio < 40, qPrintable(QString::number(ratio)));
        const DeviceFrames settled = runFor(model, kStart + 1000, kStart + 4000);
        const DeviceFrame rest = lastOf(settled, 0x020005);
        QCOMPARE(int(rest.payload[0]), 0);
        QCOMPARE(u16(rest.payload, 3), quint16(400));
    }

    void recordingReportsElapsedTime() {
        DeviceModel model("Tern-LITE-A");
        auto out = model.handleFrame(command(4, MessageId::Record, hex("0001") + QByteArray(52, 0)), kStart);
        QCOMPARE(lastOf(out, 0x010303).payload, hex("0000"));
        QCOMPARE(lastOf(out, 0x020303).payload, hex("00010000"));
        const DeviceFrame later = lastOf(runFor(model, kStart, kStart + 2100), 0x020303);
        QCOMPARE(later.payload, hex("00010200"));
        out = model.handleFrame(command(4, MessageId::Record, hex("0001") + QByteArray(52, 0)), kStart + 2200);
        QCOMPARE(u16(lastOf(out, 0x010303).payload, 0), ResultCode::Recording);
        QCOMPARE(lastOf(out, 0x020303).payload.mid(0, 2), hex("0001"));  // still recording
        out = model.handleFrame(command(4, MessageId::Record, hex("0002") + QByteArray(52, 0)), kStart + 2300);
        QCOMPARE(lastOf(out, 0x020303).payload, hex("00000000"));
        QVERIFY(!model.recording());
    }

    // An injected refusal leaves the device as it was and answers with the code; a refused
    // recording start is followed by the recording state.
    void refusalCarriesNothingOut() {
        DeviceModel model("Wren-R2");
        auto out = model.refuse(command(4, MessageId::Record, hex("0001") + QByteArray(52, 0)), 0x0204, kStart);
        QCOMPARE(lastOf(out, 0x010303).payload, hex("0402"));
        QCOMPARE(lastOf(out, 0x020303).payload, hex("00000000"));
        QVERIFY(!model.recording());
        out = model.refuse(command(4, MessageId::InfraredReadSettings, hex("0100")), 1, kStart);
        QCOMPARE(out.size(), 1);
        QCOMPARE(out[0].messageId, MessageId::InfraredReadSettings);
        QCOMPARE(out[0].payload, hex("0100"));
        out = model.refuse(command(4, MessageId::InfraredPalette, hex("0500")), 1, kStart);
        QCOMPARE(model.paletteCode(), 1);
        QVERIFY(model.refuse(command(4, replyIdOf(MessageId::InfraredPalette), hex("0000")), 1, kStart).isEmpty());
    }

    void timeSyncSetsTheCameraClock() {
        DeviceModel model("Tern");
        // The device's time an hour past kStart (4 600 000 ms), zone 480, no daylight saving.
        const QByteArray payload = hex("c030460000000000e001000000000000");
        const auto out = model.handleFrame(command(4, MessageId::CameraSetTime, payload), kStart);
        QCOMPARE(lastOf(out, 0x01030E).payload, hex("0000"));
        QCOMPARE(model.clockOffsetMs(), qint64(3'600'000));
    }

    void missingSdCardRefusesPhotoAndShowsInStatus() {
        DeviceModel model("Dove");
        model.setSdStatus(3);
        const auto out = model.handleFrame(command(4, MessageId::TakePhoto, QByteArray(54, 0)), kStart);
        QCOMPARE(u16(lastOf(out, 0x010302).payload, 0), ResultCode::NoSdCard);
        const DeviceFrame status = lastOf(runFor(model, kStart, kStart + 1100), 0x020003);
        QCOMPARE(status.payload.size(), 16);
        QCOMPARE(int(status.payload[8]), 3);
    }

    void thermometryHotAndColdSpotsInsideTheRegion() {
        DeviceModel model("Tern");
        model.handleFrame(command(4, MessageId::InfraredThermometrySwitch, hex("0000")), kStart);
        // Width 200, height 100, centre (600, 400).
        auto out =
            model.handleFrame(command(4, MessageId::InfraredRegionThermometry, hex("c80064005802900100")), kStart);
        QCOMPARE(lastOf(out, 0x010110).payload, hex("0000"));
        const QRect region(500, 350, 200, 100);
        const DeviceFrames reports = runFor(model, kStart, kStart + 3000);
        int count = 0;
        for (const DeviceFrame& frame : reports) {
            if (frame.messageId != 0x020004)
                continue;
            ++count;
            const QByteArray& p = frame.payload;
            QCOMPARE(p.size(), 34);
            QVERIFY2(s16(p, 0) > s16(p, 8) && s16(p, 8) > s16(p, 2), p.toHex(' ').constData());
            QVERIFY(region.contains(QPoint(u16(p, 10), u16(p, 12))));
            QVERIFY(region.contains(QPoint(u16(p, 14), u16(p, 16))));
            QCOMPARE(int(p[30]), 3);  // Tern's palette set
        }
        QVERIFY2(count >= 14 && count <= 16, qPrintable(QString("%1 reports in 3 s").arg(count)));
    }

    void trackingReportsAndLosesTargetOnRequest() {
        DeviceModel model("WrenT-R2");
        // Start at (100, 200) size 300 x 150.
        auto out = model.handleFrame(command(4, MessageId::BoxTracking, hex("016400c8002c01960000")), kStart);
        QCOMPARE(lastOf(out, 0x010324).payload, hex("0000"));
        const DeviceFrame report = lastOf(runFor(model, kStart, kStart + 500), 0x020324);
        QCOMPARE(report.payload.size(), 12);
        QCOMPARE(int(report.payload[11]), 1);
        model.loseTrackedTarget();
        const DeviceFrame lost = lastOf(runFor(model, kStart + 520, kStart + 1000), 0x020324);
        QCOMPARE(int(lost.payload[11]), 2);
        QVERIFY(!model.tracking());
        out = model.handleFrame(command(4, MessageId::BoxTracking, hex("0100000000000000000000")), kStart + 1000);
        QCOMPARE(u16(lastOf(out, 0x010324).payload, 0), quint16(1));  // an empty box is refused
    }

    void laserRangesToTheGround() {
        DeviceModel model("Wren-R2");
        model.handleFrame(command(3, MessageId::GimbalSetAngle, hex("01b80b02000000")), kStart);  // pitch -30
        runFor(model, kStart, kStart + 1000);
        auto out = model.handleFrame(command(4, MessageId::LaserRanging, hex("0100")), kStart + 1000);
        QCOMPARE(lastOf(out, 0x010400).payload, hex("00006009"));  // 240.0 m
        model.handleFrame(command(4, MessageId::LaserPeriodicRanging, hex("0100")), kStart + 1000);
        const DeviceFrames reports = runFor(model, kStart + 1000, kStart + 2000);
        QCOMPARE(lastOf(reports, 0x020406).payload, hex("00006009"));
        out = model.handleFrame(command(4, MessageId::LaserPeriodicRanging, hex("0000")), kStart + 2000);
        QCOMPARE(lastOf(out, 0x020406).payload, hex("00006009"));  // the last measurement follows the stop
        QVERIFY(lastOf(runFor(model, kStart + 2000, kStart + 3000), 0x020406).payload.isEmpty());
    }

    void settingsWrittenAreReadBack() {
        DeviceModel model("WrenT-R2");
        model.handleFrame(command(4, MessageId::SbusChannelRange, hex("0807c80000")), kStart);
        model.handleFrame(command(4, MessageId::SbusChannelConfig, hex("0003100405060708")), kStart);
        auto out = model.handleFrame(command(4, MessageId::SbusReadConfig, hex("0100")), kStart);
        QCOMPARE(lastOf(out, 0x010502).payload, hex("00000807c8000003100405060710"));
        model.handleFrame(command(4, MessageId::SetCameraIp, hex("01c0000219ffffff00c0000201")), kStart);
        out = model.handleFrame(command(4, MessageId::GetCameraIp, hex("0100")), kStart);
        QCOMPARE(lastOf(out, 0x010312).payload, hex("0000c0000219ffffff00c0000201"));
        model.handleFrame(command(4, MessageId::InfraredPalette, hex("0500")), kStart);
        model.handleFrame(command(4, MessageId::InfraredDigitalZoom, hex("0400")), kStart);
        out = model.handleFrame(command(4, MessageId::InfraredReadSettings, hex("0100")), kStart);
        QCOMPARE(out[0].payload.mid(0, 4), hex("00000520"));
        model.handleFrame(command(4, MessageId::ImageMode, hex("0700")), kStart);
        QCOMPARE(model.videoState().output, VideoState::Output::Split);
    }

    void reportSenderFollowsTheProduct_data() {
        QTest::addColumn<QString>("product");
        QTest::addColumn<int>("sender");
        QTest::newRow("WrenT-R2-camera") << "WrenT-R2" << 4;
        QTest::newRow("Wren-R2-camera") << "Wren-R2" << 4;
        QTest::newRow("Tern-LITE-A-camera") << "Tern-LITE-A" << 4;
        QTest::newRow("Tern-LITE-B-gimbal") << "Tern-LITE-B" << 3;
        QTest::newRow("Tern-gimbal") << "Tern" << 3;
        QTest::newRow("Dove-gimbal") << "Dove" << 3;
    }

    void reportSenderFollowsTheProduct() {
        QFETCH(QString, product);
        QFETCH(int, sender);
        DeviceModel model(product);
        const DeviceFrames reports = runFor(model, kStart, kStart + 1000);
        QCOMPARE(int(lastOf(reports, 0x020003).sender), sender);
        QCOMPARE(int(lastOf(reports, 0x020005).sender), sender);
        QCOMPARE(int(lastOf(reports, 0x020002).sender), int(DeviceId::Gimbal));
        const int attitudeReports = int(std::count_if(reports.begin(), reports.end(),
                                                      [](const DeviceFrame& f) { return f.messageId == 0x020002; }));
        QVERIFY2(attitudeReports >= 10 && attitudeReports <= 11, qPrintable(QString::number(attitudeReports)));
    }

    void sameSeedSameFaults() {
        FaultOptions options;
        options.drop = options.duplicate = options.corrupt = options.garbage = options.split = 0.3;
        FaultInjector first(options, 42);
        FaultInjector second(options, 42);
        FaultInjector other(options, 43);
        QByteArray a, b, c;
        for (int i = 0; i < 200; ++i) {
            a += joined(first.shape(frame(quint8(i)), true));
            b += joined(second.shape(frame(quint8(i)), true));
            c += joined(other.shape(frame(quint8(i)), true));
        }
        QCOMPARE(a, b);
        QVERIFY(a != c);
    }

    void eachFaultDoesWhatItSays_data() {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<bool>("serial");
        QTest::newRow("drop-udp") << "drop" << false;
        QTest::newRow("duplicate-udp") << "duplicate" << false;
        QTest::newRow("corrupt-serial") << "corrupt" << true;
        QTest::newRow("garbage-udp-own-datagram") << "garbage" << false;
        QTest::newRow("garbage-serial-before-frame") << "garbage" << true;
        QTest::newRow("split-serial") << "split" << true;
        QTest::newRow("split-ignored-on-udp") << "split" << false;
    }

    void eachFaultDoesWhatItSays() {
        QFETCH(QString, fault);
        QFETCH(bool, serial);
        SimOptions options;
        QVERIFY(parseSimOptions({"--" + fault, "1"}, &options).ok);
        FaultInjector injector(options.faults, 7);
        const QByteArray original = frame(9);
        const FaultInjector::Shaped shaped = injector.shape(original, serial);
        if (fault == "drop") {
            QVERIFY(shaped.writes.isEmpty());
        } else if (fault == "duplicate") {
            QCOMPARE(shaped.writes.size(), 2);
            QCOMPARE(shaped.writes[0].bytes, original);
            QCOMPARE(shaped.writes[1].bytes, original);
        } else if (fault == "corrupt") {
            QCOMPARE(shaped.writes.size(), 1);
            QCOMPARE(shaped.writes[0].bytes.size(), original.size());
            QVERIFY(!parses(shaped.writes[0].bytes));
        } else if (fault == "garbage" && !serial) {
            QCOMPARE(shaped.writes.size(), 2);
            QVERIFY(!parses(shaped.writes[0].bytes));
            QCOMPARE(shaped.writes[1].bytes, original);
        } else if (fault == "garbage") {
            QCOMPARE(shaped.writes.size(), 1);
            QVERIFY(shaped.writes[0].bytes.endsWith(original));
            QVERIFY(shaped.writes[0].bytes.size() > original.size());
        } else if (fault == "split" && serial) {
            QCOMPARE(shaped.writes.size(), 2);
            QCOMPARE(shaped.writes[0].bytes + shaped.writes[1].bytes, original);
            QVERIFY(shaped.writes[1].delayMs > 0);
        } else {
            QCOMPARE(shaped.writes.size(), 1);
            QCOMPARE(shaped.writes[0].bytes, original);
        }
        QCOMPARE(shaped.faults.isEmpty(), fault == "split" && !serial);
    }

    // Garbage, a stray start byte, a corrupted frame and writes split at every position: every
    // intact frame comes out once, in order.
    void serialStreamFindsEveryFrame() {
        QByteArray stream;
        stream += QByteArray::fromHex("0102030405");
        stream += frame(1);
        stream += QByteArray::fromHex("fd03");  // a start byte that begins nothing
        stream += frame(2, 20);
        QByteArray broken = frame(3);
        broken[broken.size() - 1] = char(broken[broken.size() - 1] ^ 1);
        stream += broken;
        stream += frame(4, 0);
        for (int chunk = 1; chunk <= stream.size(); ++chunk) {
            FrameStream reader;
            QVector<QByteArray> frames;
            for (int at = 0; at < stream.size(); at += chunk)
                frames += reader.append(stream.mid(at, chunk)).frames;
            QVERIFY2(frames.size() == 3, qPrintable(QString("chunk %1: %2 frames").arg(chunk).arg(frames.size())));
            QCOMPARE(frames[0], frame(1));
            QCOMPARE(frames[1], frame(2, 20));
            QCOMPARE(frames[2], frame(4, 0));
            QVERIFY(reader.buffered() < kFrameOverhead);
        }
    }

    void commandLine_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("ok");
        QTest::newRow("defaults") << QStringList{} << true;
        const QString everything =
            "--product Tern --udp 127.0.0.1:1031 --serial --rtsp-port 0 --video-size 1920x1080 "
            "--codec h265 --rtsp-outage 5:2 --rtsp-outage 20:1 --seed 9 --drop 0.1 --delay 50 "
            "--refuse 0x0302=0x0204 --refuse 0x0106 --silent 0x0400";
        QTest::newRow("everything") << everything.split(' ') << true;
        QTest::newRow("unknown-product") << QStringList{"--product", "tern"} << false;
        QTest::newRow("udp-not-loopback") << QStringList{"--udp", "192.0.2.1:1030"} << false;
        QTest::newRow("udp-without-port") << QStringList{"--udp", "127.0.0.1"} << false;
        QTest::newRow("odd-video-size") << QStringList{"--video-size", "1281x720"} << false;
        QTest::newRow("fraction-above-one") << QStringList{"--corrupt", "1.5"} << false;
        QTest::newRow("outage-without-duration") << QStringList{"--rtsp-outage", "5"} << false;
        QTest::newRow("refusal-code-too-big") << QStringList{"--refuse", "0x0302=70000"} << false;
    }

    void commandLine() {
        QFETCH(QStringList, arguments);
        QFETCH(bool, ok);
        SimOptions options;
        const auto parse = parseSimOptions(arguments, &options);
        QVERIFY2(parse.ok == ok, qPrintable(parse.error));
        if (QByteArray(QTest::currentDataTag()) == "everything") {
            QCOMPARE(options.product, QStringLiteral("Tern"));
            QCOMPARE(options.udpPort, quint16(1031));
            QVERIFY(options.serial);
            QCOMPARE(options.rtspPort, quint16(0));
            QCOMPARE(options.videoSize, QSize(1920, 1080));
            QVERIFY(options.h265);
            QCOMPARE(options.outages.size(), 2);
            QCOMPARE(options.outages[1].startS, 20.0);
            QCOMPARE(options.faults.delayMs, 50);
            // Refusals and silences go by message number; a refusal without a code answers 1.
            FaultInjector injector(options.faults, 1);
            quint16 code = 0;
            QVERIFY(injector.refuses(0x0302, &code) && code == 0x0204);
            QVERIFY(injector.refuses(0x0106, &code) && code == 1);
            QVERIFY(!injector.refuses(0x0303, &code));
            QVERIFY(injector.silences(0x0400) && !injector.silences(0x0406));
        }
    }
};

QTEST_MAIN(TestSimLink)
#include "tst_simlink.moc"
