// Replies to commands on both links: confirmations and refusals, the per-link wording of photo and
// recording answers, pending photo resolutions, and the once-only resend of refused zoom commands.
#include <QSignalSpy>
#include <QtTest>

#include "BridgeDeviceFixture.h"

using namespace BridgeDevice;

class TestBridgeReplies : public QObject {
    Q_OBJECT

private:
    Fixture f;

private slots:
    void cleanup() { f.reset(); }

    // The same answers on both links (refusals formerly known on one link only included). One
    // controller per link and language receives every answer of the table in turn.
    void settingAnswers_data() { addLinkRows("english", "en", "zh"); }
    void settingAnswers() {
        QFETCH(int, link);
        QFETCH(bool, english);
        struct Answer {
            uint32_t id;
            uint16_t result;
            const char* en;  // nullptr: nothing is said
            const char* zh;
        };
        const Answer answers[] = {
            {0x010201, 0, "Record resolution confirmed by device", "设备已确认录像分辨率设置成功"},
            {0x010201, 1, "Record resolution set failed", "录像分辨率设置失败"},
            {0x010308, 0, "Video bitrate confirmed by device", "设备已确认码率设置成功"},
            {0x010308, 2, "Video bitrate set failed", "码率设置失败"},
            {0x01030A, 0, "RTSP resolution confirmed by device", "设备已确认RTSP分辨率设置成功"},
            {0x01030A, 0x0202, "RTSP resolution set failed", "RTSP分辨率设置失败"},
            {0x01030B, 0, "Video encoding confirmed by device", "设备已确认视频编码设置成功"},
            {0x01030B, 1, "Video encoding set failed", "视频编码设置失败"},
            {0x010318, 0, "Video output switch confirmed by device", "视频输出切换成功"},
            {0x010318, 1, "Video output switch failed", "视频输出切换失败"},
            {0x010106, 0, nullptr, nullptr},
            {0x010106, 1, "IR palette set failed", "红外色板设置失败"},
            {0x010302, 0x0204, "Photo command failed", "拍照失败"},
            {0x010303, 1, "Record command failed", "录像指令执行失败"},
            {0x010312, 1, "IP get failed", "IP获取失败"},
            {0x010202, 1, "Photo resolution set failed", "拍照分辨率设置失败"},
            {0x010555, 0, nullptr, nullptr},
            // Zoom refusals with no zoom command waiting: said, but no zoom of their own is sent.
            {0x010306, 1, "Continuous zoom failed, resending once", "连续变倍失败，重发一次"},
            {0x010304, 1, "Zoom set failed, resending once", "指定变倍失败，重发一次"},
        };
        f.up(Link(link), english ? QStringLiteral("en") : QStringLiteral("zh"));
        QStringList expected;
        for (const Answer& answer : answers) {
            QVERIFY(f.reply(answer.id, answer.result));
            if (answer.en)
                expected << QString::fromUtf8(english ? answer.en : answer.zh);
            QTRY_COMPARE_WITH_TIMEOUT(f.newMessages(), expected, kLongWaitMs);
        }
        f.settle(150);
        QCOMPARE(f.newMessages(), expected);
        QVERIFY2(f.sent(0x000306).isEmpty() && f.sent(0x000304).isEmpty(), qPrintable(f.wire()));
    }

    // Photo and recording confirmations keep their per-link wording; the recording commands on the wire.
    void photoAndRecordConfirmations_data() {
        QTest::addColumn<int>("link");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("udp") << int(Link::Udp)
                             << QStringList{"Photo captured successfully", "Record command succeeded",
                                            "Start recording confirmed", "Stop recording confirmed",
                                            "Stop recording failed"};
        QTest::newRow("serial") << int(Link::Serial)
                                << QStringList{"Photo command confirmed by device",
                                               "Record command confirmed by device",
                                               "Record command confirmed by device",
                                               "Record command confirmed by device", "Stop recording failed"};
    }
    void photoAndRecordConfirmations() {
        QFETCH(int, link);
        QFETCH(QStringList, expected);
        AppBridge& bridge = f.up(Link(link));
        QVERIFY(f.reply(0x010302, 0));
        QVERIFY(f.reply(0x010303, 0));
        QTRY_COMPARE_WITH_TIMEOUT(f.newMessages().size(), 2, kLongWaitMs);
        // Starting switches the mode to recording in the frame just before the command.
        QSignalSpy recording(&bridge, &AppBridge::recordingChanged);
        bridge.toggleRecord();
        QCOMPARE(recording.count(), 0);  // announced on the next turn of the event loop
        const auto start = f.waitSent(0x000303);
        const auto mode = f.sent(0x000300);
        QVERIFY2(start.size() == 1 && mode.size() == 1, qPrintable(f.wire()));
        QCOMPARE(uint8_t(mode[0].frame.sequence + 1), start[0].frame.sequence);
        QCOMPARE(LinkTest::hex(mode[0].payload()), QStringLiteral("01 00"));
        QCOMPARE(start[0].payload(), QByteArray("\x00\x01", 2) + QByteArray(52, '\0'));
        QVERIFY(f.reply(0x010303, 0));
        QTRY_COMPARE_WITH_TIMEOUT(f.newMessages().size(), 3, kLongWaitMs);
        QVERIFY(bridge.recording());
        bridge.toggleRecord();  // stopping does not switch the mode
        QVERIFY(f.waitSent(0x000303, 2).size() == 2);
        QCOMPARE(f.sent(0x000303)[1].payload(), QByteArray("\x00\x02", 2) + QByteArray(52, '\0'));
        QCOMPARE(f.sent(0x000300).size(), 1);
        QTRY_COMPARE_WITH_TIMEOUT(recording.count(), 2, kLongWaitMs);
        QVERIFY(!bridge.recording());
        QVERIFY(f.reply(0x010303, 0));
        QTRY_COMPARE_WITH_TIMEOUT(f.newMessages().size(), 4, kLongWaitMs);
        QVERIFY(f.reply(0x010303, 0x0201));
        QTRY_COMPARE_WITH_TIMEOUT(f.newMessages(), expected, kLongWaitMs);
    }

    // A photo resolution becomes visible only with its confirmation; a refusal drops it.
    void photoResolutionFollowsTheConfirmation() {
        AppBridge& bridge = f.up(Link::Serial);
        QSignalSpy status(&bridge, &AppBridge::cameraStatusChanged);
        QVERIFY(f.reply(0x010202, 0));  // nothing pending: message only
        QTRY_COMPARE_WITH_TIMEOUT(f.newMessages(), QStringList{"Photo resolution confirmed by device"}, kLongWaitMs);
        f.settle();
        QCOMPARE(status.count(), 0);
        QCOMPARE(bridge.cameraPhotoResolutionIndex(), -1);

        bridge.setPhotoResolution(QStringLiteral("3840*2160"));
        QVERIFY(f.reply(0x010202, 1));
        QVERIFY(f.reply(0x010202, 0));
        QTRY_COMPARE_WITH_TIMEOUT(f.newMessages().size(), 3, kLongWaitMs);
        QCOMPARE(bridge.cameraPhotoResolutionIndex(), -1);

        bridge.setPhotoResolution(QStringLiteral("3840*2160"));
        QVERIFY(f.reply(0x010202, 0));
        QTRY_COMPARE_WITH_TIMEOUT(bridge.cameraPhotoResolutionIndex(), 2, kLongWaitMs);
        QTRY_COMPARE_WITH_TIMEOUT(status.count(), 1, kLongWaitMs);
    }

    // A refused zoom command (continuous or ratio) is resent once, on either link; the message
    // comes with every refusal, and a refused ratio is not announced as completed at rest.
    void zoomRefusals_data() { addLinkRows("continuous", "continuous", "ratio"); }
    void zoomRefusals() {
        QFETCH(int, link);
        QFETCH(bool, continuous);
        AppBridge& bridge = f.up(Link(link));
        const uint32_t id = continuous ? 0x000306 : 0x000304;
        const QString failed = continuous ? QStringLiteral("Continuous zoom failed, resending once")
                                          : QStringLiteral("Zoom set failed, resending once");
        continuous ? bridge.cameraZoom(-1) : bridge.setVisibleZoom(5);
        QCOMPARE(f.waitSent(id).size(), 1);
        QVERIFY(f.reply(id | 0x010000, 3));
        const auto resent = f.waitSent(id, 2);
        QVERIFY2(resent.size() == 2, qPrintable(f.wire()));
        QCOMPARE(LinkTest::hex(resent[1].payload()), QString::fromLatin1(continuous ? "01 00" : "00 32 00"));
        QCOMPARE(int(resent[1].frame.receiverId), 4);
        QVERIFY(f.reply(id | 0x010000, 3));
        QVERIFY(f.report(0x020005, zoomReport(false, 30)));
        QTRY_COMPARE_WITH_TIMEOUT(bridge.currentVisibleZoom(), 3.0, kLongWaitMs);
        f.settle(150);
        QVERIFY2(f.sent(id).size() == 2, qPrintable(f.wire()));
        QCOMPARE(f.newMessages(), (QStringList{failed, failed}));

        // Confirmations: the continuous zoom's worded by the direction sent, the ratio's silent
        // until the zoom comes to rest.
        f.markMessages();
        continuous ? bridge.cameraZoom(1) : bridge.setVisibleZoom(6);
        QVERIFY(f.reply(id | 0x010000, 0));
        if (continuous) {
            QTRY_COMPARE_WITH_TIMEOUT(f.newMessages().size(), 1, kLongWaitMs);
            bridge.cameraZoom(0);
            QVERIFY(f.reply(0x010306, 0));
        } else {
            f.settle();
            QCOMPARE(f.newMessages(), QStringList());
            QVERIFY(f.report(0x020005, zoomReport(false, 60)));
        }
        const QStringList confirmed =
            continuous ? QStringList{"Mixed zoom start confirmed by device", "Zoom stop confirmed by device"}
                       : QStringList{"Mixed zoom completed"};
        QTRY_COMPARE_WITH_TIMEOUT(f.newMessages(), confirmed, kLongWaitMs);
    }

    // A new zoom-ratio command while one is pending keeps the retry already spent.
    void retryIsPerPendingCommand() {
        AppBridge& bridge = f.up(Link::Udp);
        bridge.setVisibleZoom(5);
        QVERIFY(f.reply(0x010304, 1));
        QCOMPARE(f.waitSent(0x000304, 2).size(), 2);
        bridge.setVisibleZoom(7);  // still pending: the retry is not given back
        QCOMPARE(f.waitSent(0x000304, 3).size(), 3);
        QVERIFY(f.reply(0x010304, 1));
        f.settle(150);
        QCOMPARE(f.sent(0x000304).size(), 3);
    }
};

QTEST_GUILESS_MAIN(TestBridgeReplies)
#include "tst_bridge_replies.moc"
