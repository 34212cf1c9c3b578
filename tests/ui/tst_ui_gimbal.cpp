// The gimbal tab as the device sees it: the real window and controller on a loopback UDP device or a
// pseudo-terminal, driven by mouse and keyboard; every check is on the frames the device receives.

#include <QtTest>

#include "UiLinkedDevice.h"

namespace {

using Ui::Link;

const QString kUpPayload = QStringLiteral("00 02 00 00");
const QString kRightPayload = QStringLiteral("00 01 02 00");

// Visible-camera status report: zoom state in byte 0, ratio x 10 in bytes 3-4.
QByteArray zoomReport(int ratioTimesTen) {
    return QByteArray(3, '\0') + Ui::u16(ratioTimesTen) + QByteArray(10, '\0');
}

// A zoom-to-ratio payload for the ratio x 10.
QString zoomTo(int tenths) {
    return LinkTest::hex(Ui::bytes({0}) + Ui::u16(tenths));
}

}  // namespace

class TestUiGimbal : public QObject {
    Q_OBJECT

    Ui::Fixture ui;
    Ui::LinkedDevice device;

    QStringList payloads(uint32_t id) { return device.payloads(id); }

    void press(const QString& name) { QTest::mousePress(ui.window, Qt::LeftButton, Qt::NoModifier, at(name)); }
    void release(const QString& name) { QTest::mouseRelease(ui.window, Qt::LeftButton, Qt::NoModifier, at(name)); }
    QPoint at(const QString& name) { return ui.centre(ui.item(name)); }

private slots:
    void initTestCase() { Ui::Resends::install(); }
    void init() { Ui::installPictures(); }
    void cleanup() { ui.stop(); }  // the next start replaces the device too

    void directionPadMovesWhileHeldAndStopsOnce_data() { Ui::LinkedDevice::addLinkRows(); }

    // Holding an arrow repeats the move; releasing stops exactly once. The pad is dead while
    // tracking, and tracking coming on ends a hold that is under way.
    void directionPadMovesWhileHeldAndStopsOnce() {
        QFETCH(Link, link);
        QVERIFY(device.start(ui, "Wren-R2", link));
        QElapsedTimer held;
        held.start();
        press("padUp");
        device.verifyRepeat(kUpPayload, held);
        release("padUp");
        device.verifyOneStop();

        device.clear();
        ui.window->setProperty("trackingEnabled", true);
        QTest::mouseClick(ui.window, Qt::LeftButton, Qt::NoModifier, at("padRight"));
        Ui::Fixture::settle(500);
        QVERIFY2(payloads(MessageId::GimbalControl).isEmpty(),
                 qPrintable(payloads(MessageId::GimbalControl).join('|')));

        ui.window->setProperty("trackingEnabled", false);
        QTRY_VERIFY(ui.item("padRight")->isEnabled());
        press("padRight");
        QTRY_VERIFY_WITH_TIMEOUT(device.controls(kRightPayload) >= 3, 15000);
        ui.window->setProperty("trackingEnabled", true);
        Ui::Fixture::settle(300);
        const int beforeQuiet = device.controls(kRightPayload);
        Ui::Fixture::settle(500);
        QCOMPARE(device.controls(kRightPayload), beforeQuiet);
        release("padRight");
        Ui::Fixture::settle(300);
        QCOMPARE(device.stops(), 1);  // the lost press stopped; the release adds nothing
    }

    void applySendsTheTypedAngle_data() {
        QTest::addColumn<QString>("pitch");
        QTest::addColumn<int>("pitchSteps");
        QTest::addColumn<QString>("yaw");
        QTest::addColumn<int>("yawSteps");
        QTest::addColumn<QString>("payload");
        // Pitch direction (0 up, 1 down, 2 none), |pitch| x 100, yaw direction, |yaw| x 100, 0.
        QTest::newRow("typed, yaw clamped") << "-30.5" << 0 << "200" << 0 << "01 ea 0b 01 50 46 00";
        QTest::newRow("empty pitch is 0") << "" << 0 << "45" << 0 << "02 00 00 01 94 11 00";
        QTest::newRow("steps stop at the limits") << "89.5" << 2 << "-179" << -2 << "00 28 23 00 50 46 00";
    }

    void applySendsTheTypedAngle() {
        QFETCH(QString, pitch);
        QFETCH(QString, yaw);
        QFETCH(int, pitchSteps);
        QFETCH(int, yawSteps);
        QFETCH(QString, payload);
        QVERIFY(device.start(ui, "Wren-R2"));
        QVERIFY(ui.type("pitchInput", pitch));
        QVERIFY(ui.type("yawInput", yaw));
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
        QVERIFY(device.start(ui, "Wren-R2", link));
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
        QCOMPARE(zooms.first(), zoomTo(qRound(value * 10)));
        QCOMPARE(ui.read("visibleZoomInput", "text").toString(), QString::number(value, 'f', 1));
    }

    // A click on "+" steps once; a held "+" steps once, then keeps stepping; the zoom it ends on goes out when
    // released. A typed zoom goes out once when the operator presses anywhere else; leaving the field afterwards sends
    // it no second time.
    void heldAndTypedZoomGoOutOnceAndOutliveAReport() {
        QVERIFY(device.start(ui, "Wren-R2"));
        QQuickItem* slider = ui.item("visibleZoomSlider");
        QVERIFY(ui.click("zoomPlus"));
        QTRY_COMPARE_WITH_TIMEOUT(payloads(MessageId::ZoomToRatio), QStringList{"00 0b 00"}, 10000);
        device.clear();
        press("zoomPlus");
        QTRY_VERIFY_WITH_TIMEOUT(slider->property("value").toDouble() >= 1.6, 15000);
        release("zoomPlus");
        const double value = slider->property("value").toDouble();
        QTRY_VERIFY_WITH_TIMEOUT(!payloads(MessageId::ZoomToRatio).isEmpty(), 10000);
        Ui::Fixture::settle(600);
        QCOMPARE(slider->property("value").toDouble(), value);
        const int tenths = qRound(value * 10);
        QCOMPARE(payloads(MessageId::ZoomToRatio).last(), zoomTo(tenths));
        QVERIFY(payloads(MessageId::ZoomToRatio).size() <= tenths - 11);  // never more than one per step

        device.clear();
        QVERIFY(ui.type("visibleZoomInput", "3.5"));
        QVERIFY(ui.click("messageLogArea"));
        QTRY_VERIFY_WITH_TIMEOUT(!payloads(MessageId::ZoomToRatio).isEmpty(), 10000);
        QVERIFY(ui.click("pitchInput"));
        QVERIFY(ui.click("messageLogArea"));
        Ui::Fixture::settle(500);
        QCOMPARE(payloads(MessageId::ZoomToRatio), QStringList{"00 23 00"});
        QCOMPARE(slider->property("value").toDouble(), 3.5);

        // A device report does not move the slider while the operator's change is fresh (10 s),
        // and does once that time is over.
        const QByteArray report = LinkTest::frameBytes(4, 1, 0x020005, zoomReport(50));
        QVERIFY(device.deliver(report));
        QTRY_COMPARE_WITH_TIMEOUT(ui.bridge->currentVisibleZoom(), 5.0, 10000);
        if (ui.read("zoomRow", "manualInputActive").toBool())  // unless the machine stalled for 10 s
            QCOMPARE(slider->property("value").toDouble(), 3.5);
        QTRY_VERIFY_WITH_TIMEOUT((device.deliver(report), qFuzzyCompare(slider->property("value").toDouble(), 5.0)),
                                 30000);
        QCOMPARE(ui.read("visibleZoomInput", "text").toString(), QString("5.0"));
    }

    // With the IR output chosen the steps are whole and stop at 1 and 8: a step press at a limit
    // sends nothing.
    void irZoomStepsStopAtTheLimits() {
        QVERIFY(device.start(ui, "WrenT-R2"));
        QVERIFY(ui.click("tabCamera"));
        QVERIFY(ui.click("videoOutputIr"));
        QVERIFY(ui.click("tabGimbal"));
        QTRY_VERIFY(ui.item("zoomMinus")->isVisible());
        Ui::Fixture::settle(500);
        device.clear();
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
