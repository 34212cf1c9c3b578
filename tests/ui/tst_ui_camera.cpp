// The camera tab as the device sees it: the real window and controller on a loopback device,
// driven by mouse and keyboard; the checks are on the frames the device receives.

#include <QtTest>

#include "UiLinkedDevice.h"
#include "protocol/MessageCatalogue.h"

class TestUiCamera : public QObject {
    Q_OBJECT

    Ui::Fixture ui;
    Ui::LinkedDevice device;

    bool startLinked(const QString& language, Ui::Link link = Ui::Link::Udp) {
        if (!ui.start(Ui::config(language, "WrenT-R2", {"rtsp://127.0.0.1:9/a"})) || !device.attach(ui, link))
            return false;
        if (!ui.click("tabCamera"))
            return false;
        Ui::Fixture::settle(600);  // the tab's own requests (settings, versions, AI categories) are out
        device.collector().clear();
        return true;
    }

    // Camera status report: photo/video mode, RTSP and codec codes, output code, bitrate index + 1.
    bool deliverCameraStatus(int bitrateIndex) {
        QByteArray payload(16, '\0');
        payload[0] = 1;
        payload[3] = 5;
        payload[4] = char(bitrateIndex + 1);
        return device.deliver(LinkTest::frameBytes(4, 1, reportIdOf(MessageId::CameraSystemStatus), payload));
    }

private slots:
    void init() { Ui::installPictures(); }
    void cleanup() {
        ui.stop();
        device.reset();
    }

    void outputSwitchReachesTheDevice_data() {
        QTest::addColumn<QString>("language");
        QTest::addColumn<QString>("radio");
        QTest::addColumn<QString>("mode");
        QTest::addColumn<bool>("tracking");
        QTest::addColumn<Ui::Link>("link");
        QTest::newRow("zh IR") << "zh"
                               << "videoOutputIr"
                               << "00 00" << false << Ui::Link::Udp;
        QTest::newRow("en IR serial") << "en"
                                      << "videoOutputIr"
                                      << "00 00" << false << Ui::Link::Serial;
        QTest::newRow("zh split while tracking") << "zh"
                                                 << "videoOutputSplit"
                                                 << "07 00" << true << Ui::Link::Udp;
        QTest::newRow("en visible after split") << "en"
                                                << "videoOutputVisible"
                                                << "05 00" << true << Ui::Link::Serial;
    }

    // The mode goes out in either language; IR restores the image settings the controls show; a
    // switch while tracking stops tracking without a message line.
    void outputSwitchReachesTheDevice() {
        QFETCH(QString, language);
        QFETCH(QString, radio);
        QFETCH(QString, mode);
        QFETCH(bool, tracking);
        QFETCH(Ui::Link, link);
        QVERIFY(startLinked(language, link));
        if (radio == "videoOutputVisible") {  // start from another output
            QVERIFY(ui.click("videoOutputSplit"));
            QTRY_VERIFY(!device.payloads(MessageId::ImageMode).isEmpty());
            Ui::Fixture::settle(300);
            device.collector().clear();
        }
        ui.window->setProperty("trackingEnabled", tracking);
        ui.bridge->clearMessages();
        QVERIFY(ui.click(radio));
        QTRY_VERIFY_WITH_TIMEOUT(!device.payloads(MessageId::ImageMode).isEmpty(), 10000);
        Ui::Fixture::settle(500);
        QCOMPARE(device.payloads(MessageId::ImageMode), QStringList{mode});
        if (radio == "videoOutputIr") {
            QCOMPARE(device.payloads(MessageId::InfraredBrightness), QStringList{"32 00"});
            QCOMPARE(device.payloads(MessageId::InfraredContrast), QStringList{"32 00"});
            QCOMPARE(device.payloads(MessageId::InfraredDenoise), QStringList{"00 32 00"});
            QCOMPARE(device.payloads(MessageId::InfraredEnhance), QStringList{"00 00"});
            QCOMPARE(device.payloads(MessageId::InfraredSuperResolution), QStringList{"00 00"});
            QCOMPARE(device.payloads(MessageId::InfraredPalette).size(), 1);
            QCOMPARE(ui.read("irBrightnessField", "text").toString(), QString("50"));
        }
        QCOMPARE(device.payloads(MessageId::BoxTracking).isEmpty(), !tracking);
        QVERIFY2(ui.bridge->messageLog().isEmpty(), qPrintable(ui.bridge->messageLog()));
    }

    // The status the device sent before it switched does not flip the operator's output choice
    // back; the device's later status does move it.
    void outputChoiceOutlivesAStaleStatus() {
        QVERIFY(startLinked("en"));
        QVERIFY(deliverCameraStatus(0));  // visible output
        QTRY_VERIFY_WITH_TIMEOUT(ui.bridge->cameraStatusAvailable(), 10000);
        QQuickItem* panel = ui.item("cameraPanel");
        QVERIFY(ui.click("videoOutputIr"));
        QVERIFY(deliverCameraStatus(0));
        Ui::Fixture::settle(100);
        if (panel->property("videoOutputSyncCooldown").toBool())  // unless the machine stalled for 2 s
            QVERIFY(ui.read("videoOutputIrRadio", "checked").toBool());
        QTRY_VERIFY_WITH_TIMEOUT(!panel->property("videoOutputSyncCooldown").toBool(), 15000);
        QTRY_VERIFY_WITH_TIMEOUT(ui.read("videoOutputVisibleRadio", "checked").toBool(), 10000);
    }

    // A status that arrives while the operator's bitrate change is fresh does not undo it.
    void bitrateChoiceOutlivesAStaleStatus() {
        QVERIFY(startLinked("en"));
        QQuickItem* combo = ui.item("videoBitrateCombo");
        QVERIFY(combo && combo->isVisible());
        combo->forceActiveFocus();
        QTest::keyClick(ui.window, Qt::Key_Down);
        QTRY_VERIFY_WITH_TIMEOUT(!device.payloads(MessageId::VideoBitrate).isEmpty(), 10000);
        QCOMPARE(combo->property("currentIndex").toInt(), 1);

        QQuickItem* panel = ui.item("cameraPanel");
        QVERIFY(panel);
        QVERIFY(panel->property("videoBitrateSyncCooldown").toBool());
        QVERIFY(deliverCameraStatus(0));
        QTRY_COMPARE_WITH_TIMEOUT(ui.bridge->cameraVideoBitrateIndex(), 0, 10000);
        // The status was applied while the 2 s window was still open (unless the machine stalled
        // that long): the operator's choice stays.
        if (panel->property("videoBitrateSyncCooldown").toBool())
            QCOMPARE(combo->property("currentIndex").toInt(), 1);

        // Once the operator's window has passed, the device's value is shown again.
        QTRY_COMPARE_WITH_TIMEOUT(combo->property("currentIndex").toInt(), 0, 15000);
    }

    void listsFollowTheProduct_data() {
        QTest::addColumn<QString>("product");
        QTest::addColumn<int>("palettes");  // -1: the controller's list
        QTest::addColumn<QString>("firstPhoto");
        QTest::addColumn<int>("photos");
        QTest::addColumn<int>("records");
        QTest::newRow("WrenT-R2") << "WrenT-R2" << 9 << "3840 * 2160" << 2 << 2;
        QTest::newRow("Wren-R2") << "Wren-R2" << 20 << "3840 * 2160" << 2 << 2;
        QTest::newRow("Tern") << "Tern" << -1 << "3840 * 2160" << 3 << 2;
        QTest::newRow("Dove") << "Dove" << 20 << "3840 * 2160" << 3 << 2;
    }

    void listsFollowTheProduct() {
        QFETCH(QString, product);
        QFETCH(int, palettes);
        QFETCH(QString, firstPhoto);
        QFETCH(int, photos);
        QFETCH(int, records);
        QVERIFY(ui.start(Ui::config("zh", product, {"rtsp://127.0.0.1:9/a"})));
        QVERIFY(ui.click("tabCamera"));
        const int expected = palettes >= 0 ? palettes : ui.bridge->irColorSchemeNames().size();
        QVERIFY(expected > 0);
        QCOMPARE(ui.read("irColorSchemeCombo", "count").toInt(), expected);
        QCOMPARE(ui.read("photoResolutionCombo", "count").toInt(), photos);
        QCOMPARE(ui.read("photoResolutionCombo", "currentText").toString(), firstPhoto);
        QCOMPARE(ui.read("recordResolutionCombo", "count").toInt(), records);
    }

    // A product change puts the controls back to their defaults without telling the device.
    void productChangeResetsQuietly() {
        QVERIFY(startLinked("en"));
        QVERIFY(ui.click("videoOutputIr"));
        QTRY_VERIFY_WITH_TIMEOUT(!device.payloads(MessageId::ImageMode).isEmpty(), 10000);
        Ui::Fixture::settle(500);
        device.collector().clear();
        ui.bridge->selectProduct("Tern-LITE-A");
        // The window's own tracking stop shows that the link is still up to carry anything else.
        QTRY_VERIFY_WITH_TIMEOUT(!device.payloads(MessageId::BoxTracking).isEmpty(), 10000);
        Ui::Fixture::settle(800);
        for (uint32_t id : {MessageId::ImageMode, MessageId::InfraredPalette, MessageId::InfraredBrightness,
                            MessageId::InfraredContrast, MessageId::InfraredDenoise, MessageId::InfraredEnhance,
                            MessageId::InfraredSuperResolution, MessageId::VideoBitrate,
                            MessageId::VideoOutputResolution, MessageId::VideoEncoding})
            QVERIFY2(device.payloads(id).isEmpty(), qPrintable(QString::number(id, 16)));
        QVERIFY(ui.read("videoOutputVisibleRadio", "checked").toBool());
        QVERIFY(!ui.read("videoOutputIrRadio", "checked").toBool());
    }
};

QTEST_MAIN(TestUiCamera)
#include "tst_ui_camera.moc"
