// The gimbal tab as the device sees it: the real window and controller on a loopback UDP device or a
// pseudo-terminal, driven by mouse and keyboard; every check is on the frames the device receives.

#include <QElapsedTimer>
#include <QtTest>

#include <memory>

#include "UiLinkedDevice.h"
#include "protocol/MessageCatalogue.h"

namespace {

using Ui::Link;

// GimbalControl payloads: mode 0 with the yaw and pitch codes (0 negative, 1 positive, 2 none).
const QString kStopPayload = QStringLiteral("00 02 02 00");
const QString kUpPayload = QStringLiteral("00 02 00 00");
const QString kRightPayload = QStringLiteral("00 01 02 00");

// Visible-camera status report: zoom state in byte 0, ratio x 10 in bytes 3-4.
QByteArray zoomReport(int ratioTimesTen) {
    QByteArray payload(15, '\0');
    payload[3] = char(ratioTimesTen & 0xFF);
    payload[4] = char(ratioTimesTen >> 8);
    return payload;
}

// The controller's own resends of a stop the device has not confirmed, from its session-log line.
int unconfirmedResends = 0;
QtMessageHandler chainedHandler = nullptr;

void countResends(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (message.contains(QStringLiteral("未确认，重发一次")))
        ++unconfirmedResends;
    chainedHandler(type, context, message);
}

}  // namespace

class TestUiGimbal : public QObject {
    Q_OBJECT

    Ui::Fixture ui;
    Ui::LinkedDevice device;

    LinkTest::FrameCollector& collector() { return device.collector(); }
    bool deliver(const QByteArray& frame) { return device.deliver(frame); }
    QStringList payloads(uint32_t id) { return device.payloads(id); }

    // The runtime page of a product with the given link up and its link-up traffic behind it.
    bool startLinked(Link link, const QString& product = QStringLiteral("Wren-R2")) {
        return ui.start(Ui::config("en", product, {"rtsp://127.0.0.1:9/a"})) && device.attach(ui, link);
    }

    int countPayload(const QString& payload) { return payloads(MessageId::GimbalControl).count(payload); }
    // Stops the panel sent: a stop the device has not confirmed within 400 ms is sent once more by
    // the controller itself, and that copy is not the panel's.
    int panelStops() { return countPayload(kStopPayload) - unconfirmedResends; }
    void forgetFrames() {
        collector().clear();
        unconfirmedResends = 0;
    }

    void press(const QString& name) { QTest::mousePress(ui.window, Qt::LeftButton, Qt::NoModifier, at(name)); }
    void release(const QString& name) { QTest::mouseRelease(ui.window, Qt::LeftButton, Qt::NoModifier, at(name)); }
    QPoint at(const QString& name) { return ui.centre(ui.item(name)); }

    // Replaces a field's text by typing (an empty text clears it).
    void retype(const QString& name, const QString& text) {
        QVERIFY(ui.click(name));
        QTest::keyClick(ui.window, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(ui.window, Qt::Key_Backspace);
        for (const QChar c : text)
            QTest::keyClick(ui.window, c.toLatin1());
    }

private slots:
    void initTestCase() { chainedHandler = qInstallMessageHandler(countResends); }
    void init() {
        Ui::installPictures();
        unconfirmedResends = 0;
    }
    void cleanup() {
        ui.stop();
        device.reset();
    }

    void directionPadMovesWhileHeldAndStopsOnce_data() { Ui::LinkedDevice::addLinkRows(); }

    // Holding an arrow repeats the move; releasing stops exactly once. The pad is dead while
    // tracking, and tracking coming on ends a hold that is under way.
    void directionPadMovesWhileHeldAndStopsOnce() {
        QFETCH(Link, link);
        QVERIFY(startLinked(link));

        QElapsedTimer held;
        held.start();
        press("padUp");
        QTRY_VERIFY_WITH_TIMEOUT(countPayload(kUpPayload) >= 5, 15000);
        release("padUp");
        const qint64 heldMs = held.elapsed();
        const int moves = countPayload(kUpPayload);
        // A 33 ms repeat: a slow machine sends fewer, never more than one per 20 ms.
        QVERIFY2(moves <= heldMs / 20 + 2, qPrintable(QString("%1 moves in %2 ms").arg(moves).arg(heldMs)));
        QCOMPARE(payloads(MessageId::GimbalControl).first(), kUpPayload);

        // The device confirms the stop, so the controller has no reason to send it again.
        QTRY_VERIFY_WITH_TIMEOUT(countPayload(kStopPayload) >= 1, 10000);
        QVERIFY(deliver(LinkTest::frameBytes(3, 1, replyIdOf(MessageId::GimbalControl), LinkTest::replyPayload(0))));
        Ui::Fixture::settle(900);
        QCOMPARE(countPayload(kUpPayload), moves);
        const QStringList control = payloads(MessageId::GimbalControl);
        QCOMPARE(control.indexOf(kStopPayload), moves);  // after the last move
        QCOMPARE(panelStops(), 1);

        collector().clear();
        ui.window->setProperty("trackingEnabled", true);
        QTest::mouseClick(ui.window, Qt::LeftButton, Qt::NoModifier, at("padRight"));
        Ui::Fixture::settle(500);
        QVERIFY2(payloads(MessageId::GimbalControl).isEmpty(),
                 qPrintable(payloads(MessageId::GimbalControl).join('|')));

        ui.window->setProperty("trackingEnabled", false);
        QTRY_VERIFY(ui.item("padRight")->isEnabled());
        press("padRight");
        QTRY_VERIFY_WITH_TIMEOUT(countPayload(kRightPayload) >= 3, 15000);
        ui.window->setProperty("trackingEnabled", true);
        Ui::Fixture::settle(300);
        const int beforeQuiet = countPayload(kRightPayload);
        Ui::Fixture::settle(500);
        QCOMPARE(countPayload(kRightPayload), beforeQuiet);
        release("padRight");
        Ui::Fixture::settle(300);
        QCOMPARE(panelStops(), 1);  // the lost press stopped; the release adds nothing
    }

    void applySendsTheTypedAngle_data() {
        QTest::addColumn<QString>("pitch");
        QTest::addColumn<QString>("yaw");
        QTest::addColumn<int>("pitchSteps");
        QTest::addColumn<int>("yawSteps");
        QTest::addColumn<QString>("payload");
        // Pitch direction (0 up, 1 down, 2 none), |pitch| x 100, yaw direction, |yaw| x 100, 0.
        QTest::newRow("typed, yaw clamped") << "-30.5"
                                            << "200" << 0 << 0 << "01 ea 0b 01 50 46 00";
        QTest::newRow("empty pitch is 0") << ""
                                          << "45" << 0 << 0 << "02 00 00 01 94 11 00";
        QTest::newRow("steps stop at the limits") << "89.5"
                                                  << "-179" << 2 << -2 << "00 28 23 00 50 46 00";
    }

    void applySendsTheTypedAngle() {
        QFETCH(QString, pitch);
        QFETCH(QString, yaw);
        QFETCH(int, pitchSteps);
        QFETCH(int, yawSteps);
        QFETCH(QString, payload);
        QVERIFY(startLinked(Link::Udp));
        retype("pitchInput", pitch);
        retype("yawInput", yaw);
        for (int i = 0; i < qAbs(pitchSteps); ++i)
            QVERIFY(ui.click(pitchSteps > 0 ? "pitchStepUp" : "pitchStepDown"));
        for (int i = 0; i < qAbs(yawSteps); ++i)
            QVERIFY(ui.click(yawSteps > 0 ? "yawStepUp" : "yawStepDown"));
        QVERIFY(ui.click("applyAngle"));
        QTRY_VERIFY_WITH_TIMEOUT(!payloads(MessageId::GimbalSetAngle).isEmpty(), 10000);
        QCOMPARE(payloads(MessageId::GimbalSetAngle).first(), payload);
    }

    void zoomSliderSendsOnceWhenTheOperatorLetsGo_data() { Ui::LinkedDevice::addLinkRows(); }

    // A drag across the slider is one zoom command, for the value the slider ends on.
    void zoomSliderSendsOnceWhenTheOperatorLetsGo() {
        QFETCH(Link, link);
        QVERIFY(startLinked(link));
        QQuickItem* slider = ui.item("visibleZoomSlider");
        QVERIFY(slider && slider->isVisible());
        const qreal y = slider->height() / 2;
        auto point = [&](qreal fraction) {
            return slider->mapToScene(QPointF(slider->width() * fraction, y)).toPoint();
        };
        QTest::mousePress(ui.window, Qt::LeftButton, Qt::NoModifier, point(0.02));
        for (qreal f = 0.1; f < 0.55; f += 0.1)
            QTest::mouseMove(ui.window, point(f));
        QTest::mouseRelease(ui.window, Qt::LeftButton, Qt::NoModifier, point(0.5));
        const double value = slider->property("value").toDouble();
        QVERIFY2(value > 5, qPrintable(QString::number(value)));

        QTRY_VERIFY_WITH_TIMEOUT(!payloads(MessageId::ZoomToRatio).isEmpty(), 10000);
        Ui::Fixture::settle(800);  // past the 300 ms debounce: no second command
        const QStringList zooms = payloads(MessageId::ZoomToRatio);
        QCOMPARE(zooms.size(), 1);
        const int tenths = qRound(value * 10);
        QCOMPARE(zooms.first(), LinkTest::hex(QByteArray("\0", 1) + char(tenths & 0xFF) + char(tenths >> 8)));
        QCOMPARE(ui.read("visibleZoomInput", "text").toString(), QString::number(value, 'f', 1));
    }

    // A device report does not move the slider while the operator's change is fresh (10 s), and
    // does once that time is over.
    void deviceZoomWaitsForTheOperator() {
        QVERIFY(startLinked(Link::Udp));
        QVERIFY(ui.click("zoomPlus"));
        QTRY_VERIFY_WITH_TIMEOUT(!payloads(MessageId::ZoomToRatio).isEmpty(), 10000);
        QCOMPARE(payloads(MessageId::ZoomToRatio), QStringList{"00 0b 00"});
        QQuickItem* slider = ui.item("visibleZoomSlider");
        QCOMPARE(slider->property("value").toDouble(), 1.1);

        const QByteArray report = LinkTest::frameBytes(4, 1, 0x020005, zoomReport(50));
        QVERIFY(deliver(report));
        QTRY_COMPARE_WITH_TIMEOUT(ui.bridge->currentVisibleZoom(), 5.0, 10000);
        if (ui.read("zoomRow", "manualInputActive").toBool())  // unless the machine stalled for 10 s
            QCOMPARE(slider->property("value").toDouble(), 1.1);

        QTRY_VERIFY_WITH_TIMEOUT((deliver(report), qFuzzyCompare(slider->property("value").toDouble(), 5.0)), 30000);
        QCOMPARE(ui.read("visibleZoomInput", "text").toString(), QString("5.0"));
    }

    // A held "+" steps once, then keeps stepping; the zoom it ends on goes out when released.
    void heldZoomStepRepeats() {
        QVERIFY(startLinked(Link::Udp));
        QQuickItem* slider = ui.item("visibleZoomSlider");
        press("zoomPlus");
        QTRY_VERIFY_WITH_TIMEOUT(slider->property("value").toDouble() >= 1.5, 15000);
        release("zoomPlus");
        const double value = slider->property("value").toDouble();
        QTRY_VERIFY_WITH_TIMEOUT(!payloads(MessageId::ZoomToRatio).isEmpty(), 10000);
        Ui::Fixture::settle(600);
        QCOMPARE(slider->property("value").toDouble(), value);
        const int tenths = qRound(value * 10);
        QCOMPARE(payloads(MessageId::ZoomToRatio).last(),
                 LinkTest::hex(QByteArray("\0", 1) + char(tenths & 0xFF) + char(tenths >> 8)));
        QVERIFY(payloads(MessageId::ZoomToRatio).size() <= tenths - 10);  // never more than one per step
    }

    // A typed zoom goes out once when the operator presses anywhere else; leaving the field
    // afterwards sends it no second time.
    void typedZoomIsCommittedByTheNextPress() {
        QVERIFY(startLinked(Link::Udp));
        retype("visibleZoomInput", "3.5");
        QVERIFY(ui.click("messageLogArea"));
        QTRY_VERIFY_WITH_TIMEOUT(!payloads(MessageId::ZoomToRatio).isEmpty(), 10000);
        QVERIFY(ui.click("pitchInput"));
        QVERIFY(ui.click("messageLogArea"));
        Ui::Fixture::settle(500);
        QCOMPARE(payloads(MessageId::ZoomToRatio), QStringList{"00 23 00"});
        QCOMPARE(ui.read("visibleZoomSlider", "value").toDouble(), 3.5);
    }

    // With the IR output chosen the steps are whole and stop at 1 and 8: a step press at a limit
    // sends nothing.
    void irZoomStepsStopAtTheLimits() {
        QVERIFY(startLinked(Link::Udp, "WrenT-R2"));
        QVERIFY(ui.click("tabCamera"));
        QVERIFY(ui.click("videoOutputIr"));
        QVERIFY(ui.click("tabGimbal"));
        QTRY_VERIFY(ui.item("zoomMinus")->isVisible());
        Ui::Fixture::settle(500);
        collector().clear();
        auto zooms = [this] { return payloads(MessageId::ZoomToRatio) + payloads(MessageId::InfraredDigitalZoom); };
        QVERIFY(ui.click("zoomMinus"));
        for (int i = 0; i < 7; ++i)
            QVERIFY(ui.click("zoomPlus"));
        QTRY_COMPARE_WITH_TIMEOUT(zooms().size(), 7, 10000);
        QCOMPARE(ui.read("visibleZoomSlider", "value").toDouble(), 8.0);
        QVERIFY(ui.click("zoomPlus"));
        Ui::Fixture::settle(600);
        QCOMPARE(zooms().size(), 7);
        QCOMPARE(ui.read("visibleZoomSlider", "value").toDouble(), 8.0);
    }
};

QTEST_MAIN(TestUiGimbal)
#include "tst_ui_gimbal.moc"
