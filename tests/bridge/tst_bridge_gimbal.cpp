// Gimbal motion against a loopback device: payloads and receivers, the set-angle guard, the
// 400 ms resend without answers, and the settling by replies (0x0100xx) or reports (0x0200xx).
#include <QtTest>

#include "BridgeDeviceFixture.h"

using namespace BridgeDevice;

namespace {

constexpr uint32_t kControl = 0x000010;
constexpr uint32_t kSetAngle = 0x000012;

}  // namespace

class TestBridgeGimbal : public QObject {
    Q_OBJECT

private:
    Fixture f;

private slots:
    void cleanup() { f.reset(); }

    void receiverFollowsTheProduct_data() {
        QTest::addColumn<QString>("product");
        QTest::addColumn<int>("receiver");
        QTest::newRow("WrenT-R2") << "WrenT-R2" << 3;
        QTest::newRow("Wren-R2") << "Wren-R2" << 3;
        QTest::newRow("Tern-LITE-A") << "Tern-LITE-A" << 3;
        QTest::newRow("Tern-LITE-B") << "Tern-LITE-B" << 4;
        QTest::newRow("Tern") << "Tern" << 4;
        QTest::newRow("Dove") << "Dove" << 4;
    }
    void receiverFollowsTheProduct() {
        QFETCH(QString, product);
        QFETCH(int, receiver);
        AppBridge& bridge = f.up(Link::Udp, QStringLiteral("en"), product);
        QCOMPARE(bridge.gimbalDestinationId(), receiver);
        bridge.gimbalMove(1, 0);
        bridge.gimbalDown();
        bridge.gimbalSetAngle(10, 20);
        const auto control = f.waitSent(kControl, 2);
        const auto angle = f.waitSent(kSetAngle, 1);
        QVERIFY2(control.size() == 2 && angle.size() == 1, qPrintable(f.wire()));
        for (const auto& wire : control + angle)
            QCOMPARE(int(wire.frame.receiverId), receiver);
    }

    // Press-and-hold moves carry no acknowledgement state: one frame each, never repeated, and an
    // answer to them says nothing.
    void movesAreSentOnceAndAnswersStaySilent() {
        AppBridge& bridge = f.up(Link::Udp);
        bridge.gimbalMove(5, -3);
        bridge.gimbalMove(0, 0);
        QCOMPARE(f.waitSent(kControl, 2).size(), 2);
        QCOMPARE(LinkTest::hex(f.sent(kControl)[0].payload()), QStringLiteral("00 01 00 00"));
        QCOMPARE(LinkTest::hex(f.sent(kControl)[1].payload()), QStringLiteral("00 02 02 00"));
        QVERIFY(f.reply(0x010010, 0));
        QVERIFY(f.reply(0x010010, 1));
        f.settle(500);
        QVERIFY2(f.sent(kControl).size() == 2, qPrintable(f.wire()));
        QCOMPARE(f.newMessages(), QStringList());
        // An angle of zero is the centring preset.
        bridge.gimbalSetAngle(0.0, -0.0);
        QCOMPARE(LinkTest::hex(f.waitSent(kControl, 3).last().payload()), QStringLiteral("10 02 02 00"));
        QVERIFY(f.sent(kSetAngle).isEmpty());
    }

    // Presets have no guard: without a link the send path complains, for the frame and its resend.
    void presetWithoutALinkStillRetries() {
        AppBridge& bridge = f.offline(QStringLiteral("en"), QStringLiteral("Wren-R2"));
        bridge.gimbalStop();
        QCOMPARE(f.newMessages(), QStringList{"No UDP/UART link, send failed"});
        QTRY_COMPARE_WITH_TIMEOUT(f.newMessages().size(), 2, kLongWaitMs);
    }

    // Nobody answers: every preset and every angle goes out exactly twice, 400 ms apart.
    void withoutAnswersEachFrameGoesOutTwice_data() {
        QTest::addColumn<Command>("command");
        QTest::addColumn<uint32_t>("id");
        QTest::addColumn<QString>("payload");
        QTest::newRow("home") << Command(&AppBridge::gimbalHome) << kControl << "10 02 02 00";
        QTest::newRow("down") << Command(&AppBridge::gimbalDown) << kControl << "20 02 02 00";
        QTest::newRow("stop") << Command(&AppBridge::gimbalStop) << kControl << "00 02 02 00";
        QTest::newRow("angle") << Command([](AppBridge& b) { b.gimbalSetAngle(-30.5, 45); }) << kSetAngle
                               << "01 ea 0b 01 94 11 00";
    }
    void withoutAnswersEachFrameGoesOutTwice() {
        QFETCH(Command, command);
        QFETCH(uint32_t, id);
        QFETCH(QString, payload);
        AppBridge& bridge = f.up(Link::Udp);
        const qint64 calledAt = f.now();
        command(bridge);
        const auto frames = f.waitSent(id, 2);
        QVERIFY2(frames.size() == 2, qPrintable(f.wire()));
        QCOMPARE(LinkTest::hex(frames[0].payload()), payload);
        QCOMPARE(LinkTest::hex(frames[1].payload()), payload);
        // A timer never fires early; how late it fires depends on the machine.
        QVERIFY2(frames[1].atMs - calledAt >= 399, qPrintable(f.wire()));
        QTest::qWait(500);
        QVERIFY2(f.sent(id).size() == 2, qPrintable(f.wire()));
        QCOMPARE(f.newMessages(), QStringList());
    }

    // A confirmation, as a reply or as a report, settles the command on either link: no second copy.
    void confirmationSettlesTheCommand_data() {
        QTest::addColumn<int>("link");
        QTest::addColumn<QString>("language");
        QTest::addColumn<Command>("command");
        QTest::addColumn<uint32_t>("answerId");
        QTest::addColumn<QString>("message");
        const int udp = int(Link::Udp);
        const Command home = &AppBridge::gimbalHome;
        const Command angle = [](AppBridge& b) { b.gimbalSetAngle(10, 10); };
        const QString angleConfirmed = QStringLiteral("Angle set confirmed by device");
        QTest::newRow("control-reply-en") << udp << "en" << home << 0x010010u << "Gimbal control confirmed by device";
        QTest::newRow("control-report-zh") << udp << "zh" << home << 0x020010u << "设备已确认云台控制成功";
        QTest::newRow("angle-reply-zh") << udp << "zh" << angle << 0x010012u << "设备已确认角度设置成功";
        QTest::newRow("angle-report-en") << udp << "en" << angle << 0x020012u << angleConfirmed;
        QTest::newRow("serial-angle-reply-en") << int(Link::Serial) << "en" << angle << 0x010012u << angleConfirmed;
    }
    void confirmationSettlesTheCommand() {
        QFETCH(int, link);
        QFETCH(QString, language);
        QFETCH(Command, command);
        QFETCH(uint32_t, answerId);
        QFETCH(QString, message);
        AppBridge& bridge = f.up(Link(link), language);
        const uint32_t id = answerId & 0xFFFF;
        const qint64 calledAt = f.now();
        command(bridge);
        QCOMPARE(f.waitSent(id).size(), 1);
        QVERIFY(f.reply(answerId, 0));
        QVERIFY(f.waitHandled());
        SKIP_IF_WINDOW_OVERRUN(f.now() - calledAt, 400);
        // The twin answer (report after reply or the other way round) finds nothing pending.
        QVERIFY(f.reply(answerId ^ 0x030000, 0));
        f.settle(600);
        QVERIFY2(f.sent(id).size() == 1, qPrintable(f.wire()));
        QCOMPARE(f.newMessages(), QStringList{message});
    }

    // A refused command is sent again at once, and only once; a refusal of the copy is reported too.
    void refusedCommandIsResentOnce_data() {
        QTest::addColumn<int>("link");
        QTest::addColumn<QString>("language");
        QTest::addColumn<Command>("command");
        QTest::addColumn<uint32_t>("secondRefusal");
        QTest::addColumn<QString>("message");
        const Command down = &AppBridge::gimbalDown;
        const Command angle = [](AppBridge& b) { b.gimbalSetAngle(-30.5, 45); };
        const QString presetFailed = QStringLiteral("Gimbal control failed, resending once");
        QTest::newRow("preset-en") << int(Link::Udp) << "en" << down << 0x020010u << presetFailed;
        QTest::newRow("angle-zh") << int(Link::Udp) << "zh" << angle << 0x010012u << "设备响应角度设置失败";
        QTest::newRow("serial-preset-en") << int(Link::Serial) << "en" << down << 0x020010u << presetFailed;
    }
    void refusedCommandIsResentOnce() {
        QFETCH(int, link);
        QFETCH(QString, language);
        QFETCH(Command, command);
        QFETCH(uint32_t, secondRefusal);
        QFETCH(QString, message);
        AppBridge& bridge = f.up(Link(link), language);
        const uint32_t id = secondRefusal & 0xFFFF;
        const bool angle = id == kSetAngle;
        const qint64 calledAt = f.now();
        command(bridge);
        QCOMPARE(f.waitSent(id).size(), 1);
        const qint64 refusedAt = f.now();
        QVERIFY(f.reply(id | 0x010000, angle ? 2 : 0x0203));
        const auto twice = f.waitSent(id, 2);
        QVERIFY2(twice.size() == 2, qPrintable(f.wire()));
        // Only a copy that came before the timer could have sent one tells that the refusal did.
        SKIP_IF_WINDOW_OVERRUN(twice[1].atMs - calledAt, 400);
        QCOMPARE(twice[1].payload(), twice[0].payload());
        QVERIFY(f.reply(secondRefusal, angle ? 2 : 1));
        // The copy, sent after the refusal was delivered, waits 400 ms for its own answer.
        QVERIFY(f.waitHandled());
        SKIP_IF_WINDOW_OVERRUN(f.now() - refusedAt, 400);
        f.settle(angle ? 900 : 500);
        QVERIFY2(f.sent(id).size() == 2, qPrintable(f.wire()));
        QCOMPARE(f.newMessages(), (QStringList{message, message}));
    }

    // The copy sent after a refusal (or after the timer) is still waiting for its answer: when the
    // device accepts it the operator learns that the angle was set after all.
    void secondCopyOfAnAngleIsConfirmed_data() {
        QTest::addColumn<bool>("refuseFirst");
        QTest::addColumn<QStringList>("messages");
        QTest::newRow("refused-then-confirmed")
            << true << QStringList{"Angle set failed", "Angle set confirmed by device"};
        QTest::newRow("unanswered-then-confirmed") << false << QStringList{"Angle set confirmed by device"};
    }
    void secondCopyOfAnAngleIsConfirmed() {
        QFETCH(bool, refuseFirst);
        QFETCH(QStringList, messages);
        AppBridge& bridge = f.up(Link::Udp);
        const qint64 calledAt = f.now();
        bridge.gimbalSetAngle(12, 0);
        QCOMPARE(f.waitSent(kSetAngle).size(), 1);
        // The copy goes out when the refusal was delivered or 400 ms after the command, not sooner;
        // its answer has to come within 400 ms of that.
        const qint64 copyNotBefore = refuseFirst ? f.now() : calledAt + 400;
        if (refuseFirst)
            QVERIFY(f.reply(0x020012, 1));
        const auto twice = f.waitSent(kSetAngle, 2);
        QVERIFY2(twice.size() == 2, qPrintable(f.wire()));
        if (refuseFirst)
            SKIP_IF_WINDOW_OVERRUN(twice[1].atMs - calledAt, 400);
        QVERIFY(f.reply(0x010012, 0));
        QVERIFY(f.waitHandled());
        SKIP_IF_WINDOW_OVERRUN(f.now() - copyNotBefore, 400);
        f.settle(900);
        QVERIFY2(f.sent(kSetAngle).size() == 2, qPrintable(f.wire()));
        QCOMPARE(f.newMessages(), messages);
    }

    // The wait for an answer to one command's copy ends without touching a newer command: that
    // one still gets its own copy 400 ms later (a stop pressed during the wait must not be lost).
    void newCommandKeepsItsResendAfterAnOlderCopy_data() {
        QTest::addColumn<Command>("older");
        QTest::addColumn<Command>("newer");
        QTest::addColumn<uint32_t>("id");
        QTest::addColumn<QString>("payload");
        const Command angle10 = [](AppBridge& b) { b.gimbalSetAngle(10, 10); };
        const Command angle20 = [](AppBridge& b) { b.gimbalSetAngle(20, 20); };
        QTest::newRow("home-then-stop") << Command(&AppBridge::gimbalHome) << Command(&AppBridge::gimbalStop)
                                        << kControl << "00 02 02 00";
        QTest::newRow("angle-then-angle") << angle10 << angle20 << kSetAngle << "00 d0 07 01 d0 07 00";
    }
    void newCommandKeepsItsResendAfterAnOlderCopy() {
        QFETCH(Command, older);
        QFETCH(Command, newer);
        QFETCH(uint32_t, id);
        QFETCH(QString, payload);
        AppBridge& bridge = f.up(Link::Udp);
        older(bridge);
        const auto copies = f.waitSent(id, 2);
        QVERIFY2(copies.size() == 2, qPrintable(f.wire()));
        QTest::qWait(200);  // the older copy is still waiting for its answer
        // Had the copy's wait ended already, the newer command would not meet it.
        const qint64 calledAt = f.now();
        SKIP_IF_WINDOW_OVERRUN(calledAt - copies[1].atMs, 400);
        newer(bridge);
        const auto frames = f.waitSent(id, 4);
        QVERIFY2(frames.size() == 4, qPrintable(f.wire()));
        QCOMPARE(LinkTest::hex(frames[2].payload()), payload);
        QCOMPARE(LinkTest::hex(frames[3].payload()), payload);
        QVERIFY2(frames[3].atMs - calledAt >= 399, qPrintable(f.wire()));
    }

    // A preset abandons a pending angle: the angle is not resent.
    void presetCancelsThePendingAngle() {
        AppBridge& bridge = f.up(Link::Udp);
        bridge.gimbalSetAngle(20, 30);
        bridge.gimbalStop();
        QVERIFY(f.waitSent(kControl, 2).size() == 2);
        QVERIFY2(f.sent(kSetAngle).size() == 1, qPrintable(f.wire()));
    }
};

QTEST_GUILESS_MAIN(TestBridgeGimbal)
#include "tst_bridge_gimbal.moc"
