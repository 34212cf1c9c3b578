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
    void settingAnswers_data() {
        QTest::addColumn<int>("link");
        QTest::addColumn<bool>("english");
        for (Link link : {Link::Udp, Link::Serial}) {
            QTest::newRow(qPrintable(linkName(link) + QStringLiteral("-en"))) << int(link) << true;
            QTest::newRow(qPrintable(linkName(link) + QStringLiteral("-zh"))) << int(link) << false;
        }
    }
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
        };
        f.up(Link(link), english ? QStringLiteral("en") : QStringLiteral("zh"));
        QStringList expected;
        for (const Answer& answer : answers) {
            QVERIFY(f.reply(answer.id, answer.result));
            if (answer.en)
                expected << QString::fromUtf8(english ? answer.en : answer.zh);
            QTRY_COMPARE_WITH_TIMEOUT(f.newMessages(), expected, kLongWaitMs);
        }
        f.settle(100);
        QCOMPARE(f.newMessages(), expected);
    }

    // Photo and recording confirmations keep their per-link wording.
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
        bridge.toggleRecord();  // start
        QVERIFY(f.waitSent(0x000303).size() == 1);
        QVERIFY(f.reply(0x010303, 0));
        QTRY_COMPARE_WITH_TIMEOUT(f.newMessages().size(), 3, kLongWaitMs);
        QTRY_VERIFY_WITH_TIMEOUT(bridge.recording(), kLongWaitMs);
        bridge.toggleRecord();  // stop
        QVERIFY(f.waitSent(0x000303, 2).size() == 2);
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

    // A refused continuous zoom is resent once, on either link; the message comes with every refusal.
    void continuousZoomRefusals_data() { addLinkRows(); }
    void continuousZoomRefusals() {
        QFETCH(int, link);
        AppBridge& bridge = f.up(Link(link));
        bridge.cameraZoom(-1);
        QCOMPARE(f.waitSent(0x000306).size(), 1);
        QVERIFY(f.reply(0x010306, 1));
        const auto resent = f.waitSent(0x000306, 2);
        QVERIFY2(resent.size() == 2, qPrintable(f.wire()));
        QCOMPARE(LinkTest::hex(resent[1].payload()), QStringLiteral("01 00"));
        QVERIFY(f.reply(0x010306, 1));
        f.settle(150);
        QVERIFY2(f.sent(0x000306).size() == 2, qPrintable(f.wire()));
        QCOMPARE(f.newMessages(),
                 (QStringList{"Continuous zoom failed, resending once", "Continuous zoom failed, resending once"}));
        // Settled now: a further refusal is reported but resends nothing.
        QVERIFY(f.reply(0x010306, 1));
        f.settle(150);
        QCOMPARE(f.sent(0x000306).size(), 2);

        // Confirmations, worded by the last direction sent.
        f.markMessages();
        bridge.cameraZoom(1);
        QVERIFY(f.reply(0x010306, 0));
        QTRY_COMPARE_WITH_TIMEOUT(f.newMessages().size(), 1, kLongWaitMs);
        bridge.cameraZoom(0);
        QVERIFY(f.reply(0x010306, 0));
        QTRY_COMPARE_WITH_TIMEOUT(
            f.newMessages(), (QStringList{"Mixed zoom start confirmed by device", "Zoom stop confirmed by device"}),
            kLongWaitMs);
    }

    // A refusal with no zoom command waiting must not start a zoom of its own.
    void strayZoomRefusalsSendNothing() {
        f.up(Link::Udp, QStringLiteral("zh"));
        QVERIFY(f.reply(0x010306, 1));
        QVERIFY(f.reply(0x010304, 1));
        f.settle(150);
        QVERIFY2(f.sent(0x000306).isEmpty() && f.sent(0x000304).isEmpty(), qPrintable(f.wire()));
        QCOMPARE(f.newMessages(), (QStringList{QString::fromUtf8("连续变倍失败，重发一次"),
                                               QString::fromUtf8("指定变倍失败，重发一次")}));
    }

    // A refused zoom ratio is resent once; a second refusal also drops the completion message.
    void zoomRatioRefusals_data() { addLinkRows(); }
    void zoomRatioRefusals() {
        QFETCH(int, link);
        AppBridge& bridge = f.up(Link(link));
        bridge.setVisibleZoom(5);
        QCOMPARE(f.waitSent(0x000304).size(), 1);
        QVERIFY(f.reply(0x010304, 3));
        const auto resent = f.waitSent(0x000304, 2);
        QVERIFY2(resent.size() == 2, qPrintable(f.wire()));
        QCOMPARE(LinkTest::hex(resent[1].payload()), QStringLiteral("00 32 00"));
        QCOMPARE(int(resent[1].frame.receiverId), 4);
        QVERIFY(f.reply(0x010304, 3));
        QVERIFY(f.report(0x020005, zoomReport(false, 30)));
        QTRY_COMPARE_WITH_TIMEOUT(bridge.currentVisibleZoom(), 3.0, kLongWaitMs);
        f.settle();
        QCOMPARE(f.sent(0x000304).size(), 2);
        QCOMPARE(f.newMessages(), (QStringList{"Zoom set failed, resending once", "Zoom set failed, resending once"}));

        // Confirmed: nothing to say until the zoom comes to rest.
        f.markMessages();
        bridge.setVisibleZoom(6);
        QVERIFY(f.reply(0x010304, 0));
        f.settle();
        QCOMPARE(f.newMessages(), QStringList());
        QVERIFY(f.report(0x020005, zoomReport(false, 60)));
        QTRY_COMPARE_WITH_TIMEOUT(f.newMessages(), QStringList{"Mixed zoom completed"}, kLongWaitMs);
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
