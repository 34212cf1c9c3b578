// Detection and box tracking against a loopback device: the category bitmap, switching off, the
// tracking box clipping, the silent second stop, and the acknowledgement rate limit and quiet window.
#include <QSignalSpy>
#include <QtTest>

#include "BridgeDeviceFixture.h"
#include "SignalRecorder.h"

using namespace BridgeDevice;

namespace {

constexpr uint32_t kDetect = 0x000319;
constexpr uint32_t kTrack = 0x000324;

// Detection report with one target of category 4 and status 0: detection runs.
QByteArray detectionRunning() {
    return QByteArray(8, '\0') + bytes({1, 4, 1, 0});
}

}  // namespace

class TestBridgeAi : public QObject {
    Q_OBJECT

private:
    Fixture f;

private slots:
    void cleanup() { f.reset(); }

    void switchingOff_data() {
        QTest::addColumn<QString>("language");
        QTest::addColumn<QString>("status");
        QTest::addColumn<QString>("message");
        QTest::newRow("en") << QString("en") << QString("Disabled") << QString("AI detect off sent");
        QTest::newRow("zh") << "zh" << QString::fromUtf8("已关闭") << QString::fromUtf8("已发送智能识别 关闭");
    }
    void switchingOff() {
        QFETCH(QString, language);
        QFETCH(QString, status);
        QFETCH(QString, message);
        AppBridge& bridge = f.up(Link::Udp, language);
        QVERIFY(f.report(0x020319, detectionRunning()));
        QTRY_VERIFY_WITH_TIMEOUT(bridge.aiDetecting(), kLongWaitMs);
        QCOMPARE(bridge.aiDetectedCount(), 1);

        SignalRecorder recorder(&bridge);
        bridge.setAiDetect(false);
        // The state is cleared at once, before the frame goes out.
        QCOMPARE(recorder.names,
                 (QStringList{"aiDetectingChanged", "aiDetectedCountChanged", "aiDetectStatusChanged"}));
        QVERIFY(!bridge.aiDetecting());
        QCOMPARE(bridge.aiDetectedCount(), 0);
        QCOMPARE(bridge.aiDetectStatus(), status);
        QCOMPARE(f.payloadHex(kDetect), QStringLiteral("02 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00"));
        QCOMPARE(f.newMessages(), QStringList{message});
        // The same state again is sent silently.
        bridge.setAiDetect(false);
        QCOMPARE(f.waitSent(kDetect, 2).size(), 2);
        QCOMPARE(f.newMessages(), QStringList{message});
    }

    // Without a link the switches' commands say so, build no frame and report that nothing went
    // out; with one they report the frame sent (the switches show "on" only then), the categories
    // as a bitmap.
    void detectionAndTrackingNeedALink() {
        AppBridge& offline = f.offline(QStringLiteral("en"), QStringLiteral("Wren-R2"));
        const uint8_t sequence = offline.nextSequenceNumber();
        offline.setAiDetect(true);
        QVERIFY(!offline.setAiDetectWithCategories(false, {3}));
        QVERIFY(!offline.armBoxTracking());
        QCOMPARE(f.newMessages(),
                 (QStringList{"AI detect: connect UDP or UART first", "AI detect: connect UDP or UART first",
                              "Box tracking: please connect UDP or UART first"}));
        QCOMPARE(offline.nextSequenceNumber(), sequence);  // no frame was even built

        AppBridge& bridge = f.up(Link::Udp);
        QVERIFY(bridge.setAiDetectWithCategories(true, {1, 8, 9, 128}));
        QCOMPARE(f.payloadHex(kDetect), QStringLiteral("01 00 81 01 00 00 00 00 00 00 00 00 00 00 00 00 00 80"));
        QCOMPARE(int(f.sent(kDetect).first().frame.receiverId), 4);
        // Switching on leaves the state to the device's reports.
        QVERIFY(!bridge.aiDetecting());
        QCOMPARE(f.newMessages(), QStringList{"AI detect on sent"});
        QVERIFY(bridge.armBoxTracking());
        QCOMPARE(f.payloadHex(0x000010), QStringLiteral("00 02 02 00"));  // the gimbal holds still
        QVERIFY(f.sent(kTrack).isEmpty());
    }

    void trackingBoxIsClipped_data() {
        QTest::addColumn<QVector<int>>("box");
        QTest::addColumn<QString>("payload");
        QTest::addColumn<QString>("message");
        QTest::newRow("right-bottom-edge") << QVector<int>{1900, 1000, 100, 200} << "01 6c 07 e8 03 14 00 58 00 00"
                                           << "Box tracking started: region (1900,1000) 20x88";
        QTest::newRow("negative-and-empty") << QVector<int>{-5, -5, 0, 0} << "01 00 00 00 00 01 00 01 00 00"
                                            << "Box tracking started: region (0,0) 1x1";
        QTest::newRow("beyond-the-frame") << QVector<int>{5000, 5000, 5000, 5000} << "01 7f 07 3f 04 01 00 01 00 00"
                                          << "Box tracking started: region (1919,1087) 1x1";
        QTest::newRow("inside") << QVector<int>{100, 200, 300, 400} << "01 64 00 c8 00 2c 01 90 01 00"
                                << "Box tracking started: region (100,200) 300x400";
    }
    void trackingBoxIsClipped() {
        QFETCH(QVector<int>, box);
        QFETCH(QString, payload);
        QFETCH(QString, message);
        AppBridge& bridge = f.up(Link::Udp);
        bridge.setTracking(true, box[0], box[1], box[2], box[3]);
        QCOMPARE(f.payloadHex(kTrack), payload);
        QCOMPARE(f.newMessages(), QStringList{message});
    }

    // A stop goes out twice: at once with its message, 150 ms later silently, and no more. A stop
    // that is itself a silent retry is not repeated, and a silent request says nothing.
    void stopIsRepeatedOnceSilently() {
        AppBridge& bridge = f.up(Link::Serial, QStringLiteral("zh"));
        bridge.setTracking(true, 1900, 1000, 100, 200);
        QCOMPARE(f.waitSent(kTrack).size(), 1);
        const qint64 calledAt = f.now();
        bridge.setTracking(false, 100, 100, 50, 50);
        const auto frames = f.waitSent(kTrack, 3);
        QVERIFY2(frames.size() == 3, qPrintable(f.wire()));
        QCOMPARE(LinkTest::hex(frames[1].payload()), QStringLiteral("02 00 00 00 00 00 00 00 00 00"));
        QCOMPARE(frames[2].payload(), frames[1].payload());
        // A timer never fires early; how late it fires depends on the machine.
        QVERIFY2(frames[2].atMs - calledAt >= 149, qPrintable(f.wire()));
        bridge.setTracking(false, 0, 0, 1, 1, true, false);
        bridge.setTracking(true, 5, 5, 5, 5, false, true);
        QTest::qWait(250);
        QCOMPARE(f.sent(kTrack).size(), 5);
        QCOMPARE(f.newMessages(), (QStringList{"已发送框选跟踪: 区域 (1900,1000) 20×88", "已关闭框选跟踪"}));
    }

    // At most one acknowledgement message per 800 ms, worded for the last request.
    void acknowledgementRateLimit() {
        AppBridge& bridge = f.up(Link::Udp);
        bridge.setTracking(true, 10, 10, 100, 100);
        f.markMessages();
        // The controller reads its clock somewhere between the delivery and the moment it is seen
        // handled: a message is due when that span starts 800 ms after the last shown one ended,
        // and suppressed when it ends less than 800 ms after that one started.
        const qint64 firstFrom = f.now();
        QVERIFY(f.reply(0x010324, 0));
        f.settle(0);
        const qint64 firstTo = f.now();
        QCOMPARE(f.newMessages().size(), 1);
        QVERIFY(f.reply(0x010324, 0));
        QVERIFY(f.reply(0x010324, 0));
        f.settle(0);
        SKIP_IF_WINDOW_OVERRUN(f.now() - firstFrom, 800);
        QCOMPARE(f.newMessages().size(), 1);
        QTest::qWait(qMax(0, int(firstTo + 810 - f.now())));
        const qint64 secondFrom = f.now();
        QVERIFY(f.reply(0x010324, 0));
        f.settle(0);
        QCOMPARE(f.newMessages().size(), 2);
        QVERIFY(f.reply(0x010324, 0));
        f.settle(0);
        SKIP_IF_WINDOW_OVERRUN(f.now() - secondFrom, 800);
        QCOMPARE(f.newMessages(),
                 (QStringList{"Box tracking confirmed by device", "Box tracking confirmed by device"}));

        // After a stop the wording changes; a refusal has its own. Waiting longer than the limit
        // can only let a message through.
        QTest::qWait(820);
        bridge.setTracking(false, 0, 0, 0, 0);
        f.markMessages();
        QVERIFY(f.reply(0x010324, 0));
        QTRY_COMPARE_WITH_TIMEOUT(f.newMessages(), QStringList{"Box tracking stopped by device"}, kLongWaitMs);
        QTest::qWait(820);
        QVERIFY(f.reply(0x010324, 7));
        QTRY_COMPARE_WITH_TIMEOUT(f.newMessages(),
                                  (QStringList{"Box tracking stopped by device", "Box tracking failed"}), kLongWaitMs);
    }

    // A silent-message request says nothing and keeps its acknowledgements quiet for a second.
    void silentRequestKeepsAcknowledgementsQuiet() {
        AppBridge& bridge = f.up(Link::Udp);
        QTest::qWait(820);  // past the rate limit of the link-up stop
        const qint64 calledAt = f.now();
        bridge.setTracking(true, 10, 10, 100, 100, false, true);
        const qint64 returnedAt = f.now();
        QCOMPARE(f.waitSent(kTrack).size(), 1);
        QVERIFY(f.reply(0x010324, 0));
        QVERIFY(f.reply(0x010324, 1));
        f.settle(0);
        SKIP_IF_WINDOW_OVERRUN(f.now() - calledAt, 1000);
        f.settle(200);
        QCOMPARE(f.newMessages(), QStringList());
        // Once the quiet second is over, whatever the machine's speed, the next one is reported.
        QTest::qWait(qMax(0, int(returnedAt + 1050 - f.now())));
        QVERIFY(f.reply(0x010324, 0));
        QTRY_COMPARE_WITH_TIMEOUT(f.newMessages(), QStringList{"Box tracking confirmed by device"}, kLongWaitMs);
    }

    // The category list arrives as a signal on the next turn, on either link.
    void categoriesReceived_data() {
        QTest::addColumn<int>("link");
        QTest::addColumn<QString>("language");
        QTest::addColumn<QByteArray>("rest");
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<QVariantList>("ids");
        QTest::addColumn<QString>("message");
        QTest::newRow("udp-two") << int(Link::Udp) << "en" << bytes({1, 0x05}) << true << QVariantList{1, 3}
                                 << "AI categories received: on, 2 categories";
        QTest::newRow("serial-zh-off") << int(Link::Serial) << "zh" << bytes({0, 0x80, 0x01}) << false
                                       << QVariantList{8, 9} << "已接收智能识别类别: 关闭, 2 类";
    }
    void categoriesReceived() {
        QFETCH(int, link);
        QFETCH(QString, language);
        QFETCH(QByteArray, rest);
        QFETCH(bool, enabled);
        QFETCH(QVariantList, ids);
        QFETCH(QString, message);
        AppBridge& bridge = f.up(Link(link), language);
        bridge.getAiDetectCategories();
        QCOMPARE(f.payloadHex(0x000336), QStringLiteral("01 00"));
        f.markMessages();
        QSignalSpy received(&bridge, &AppBridge::aiDetectCategoriesReceived);
        QVERIFY(f.reply(0x010336, 0, rest));
        QVERIFY(received.wait(kLongWaitMs));
        QCOMPARE(received.count(), 1);
        QCOMPARE(received.first().at(0).toBool(), enabled);
        QCOMPARE(received.first().at(1).toList(), ids);
        QCOMPARE(f.newMessages(), QStringList{message});
    }
};

QTEST_GUILESS_MAIN(TestBridgeAi)
#include "tst_bridge_ai.moc"
