// The camera tab as the device sees it: the real window and controller on a loopback device,
// driven by mouse and keyboard; the checks are on the frames the device receives.

#include <QtTest>

#include <algorithm>

#include "UiLinkedDevice.h"
#include "bridge/IrPalettes.h"
#include "protocol/MessageCatalogue.h"

class TestUiCamera : public QObject {
    Q_OBJECT

    Ui::Fixture ui;
    Ui::LinkedDevice device;

    bool startLinked(const QString& language, Ui::Link link = Ui::Link::Udp) {
        if (!device.start(ui, "WrenT-R2", link, language) || !ui.click("tabCamera"))
            return false;
        Ui::Fixture::settle(600);  // the tab's own requests (settings, versions, AI categories) are out
        device.collector().clear();
        return true;
    }

    // Camera status report: photo/video mode, RTSP and codec codes, output code, bitrate index + 1.
    static QByteArray cameraStatus(int bitrateIndex) {
        QByteArray payload(16, '\0');
        payload[0] = 1;
        payload[3] = 5;
        payload[4] = char(bitrateIndex + 1);
        return LinkTest::frameBytes(4, 1, reportIdOf(MessageId::CameraSystemStatus), payload);
    }
    bool deliverCameraStatus(int bitrateIndex) { return device.deliver(cameraStatus(bitrateIndex)); }
    // A successful answer of the device with these payload bytes after the result code.
    static QByteArray answer(uint32_t replyId, std::initializer_list<int> rest) {
        QByteArray payload(2, '\0');
        for (int b : rest)
            payload.append(char(b));
        return LinkTest::frameBytes(4, 1, replyId, payload);
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

    // A status that arrives while the operator's choice is fresh does not undo it; once the 2 s
    // hold-off has passed, the combo shows what the device reports.
    void choiceOutlivesAStaleStatus_data() {
        QTest::addColumn<QString>("combo");
        QTest::addColumn<bool>("irOutput");
        QTest::addColumn<QString>("holder");  // item and property of the hold-off
        QTest::addColumn<QString>("holding");
        QTest::addColumn<uint>("sentId");
        QTest::addColumn<QByteArray>("stale");
        QTest::addColumn<QString>("deviceProperty");  // the controller's value once the stale frame is in
        QTest::addColumn<int>("deviceValue");
        QTest::addColumn<int>("shown");  // the combo's entry for it
        QTest::newRow("bitrate") << "videoBitrateCombo" << false << "cameraPanel"
                                 << "videoBitrateSyncCooldown" << uint(MessageId::VideoBitrate) << cameraStatus(0)
                                 << "cameraVideoBitrateIndex" << 0 << 0;
        const int whiteHot = IrPalettes::codeForPosition(IrPalettes::Group::NinePalettes, -1, 0);
        QTest::newRow("palette") << "irColorSchemeCombo" << true << "cameraIrGroup"
                                 << "holdingPalette" << uint(MessageId::InfraredPalette)
                                 << answer(0x010100, {whiteHot, 0}) << "currentIrColorSchemeComboIndex" << 0 << 0;
        // 3840 x 2160 for photos (index 2) and recording (index 1): the first entry of both combos.
        QTest::newRow("photo") << "photoResolutionCombo" << false << "cameraExtraRows"
                               << "holdingPhoto" << uint(MessageId::VisiblePhotoResolution)
                               << answer(0x010200, {0x16, 0x26}) << "cameraPhotoResolutionIndex" << 2 << 0;
        QTest::newRow("record") << "recordResolutionCombo" << false << "cameraExtraRows"
                                << "holdingRecord" << uint(MessageId::VisibleRecordResolution)
                                << answer(0x010200, {0x16, 0x26}) << "cameraRecordResolutionIndex" << 1 << 0;
    }
    void choiceOutlivesAStaleStatus() {
        QFETCH(QString, combo);
        QFETCH(bool, irOutput);
        QFETCH(QString, holder);
        QFETCH(QString, holding);
        QFETCH(uint, sentId);
        QFETCH(QByteArray, stale);
        QFETCH(QString, deviceProperty);
        QFETCH(int, deviceValue);
        QFETCH(int, shown);
        QVERIFY(startLinked("en"));
        if (irOutput) {
            QVERIFY(ui.click("videoOutputIr"));
            QTRY_VERIFY_WITH_TIMEOUT(!device.payloads(MessageId::ImageMode).isEmpty(), 10000);
            Ui::Fixture::settle(500);
            device.collector().clear();
        }
        QQuickItem* box = ui.item(combo);
        QVERIFY(box && box->isVisible());
        const int chosen = box->property("currentIndex").toInt() + 1;
        box->forceActiveFocus();
        QTest::keyClick(ui.window, Qt::Key_Down);
        QTRY_VERIFY_WITH_TIMEOUT(!device.payloads(sentId).isEmpty(), 10000);
        QCOMPARE(box->property("currentIndex").toInt(), chosen);

        QQuickItem* hold = ui.item(holder);
        QVERIFY(hold && hold->property(qPrintable(holding)).toBool());
        QVERIFY(device.deliver(stale));
        QTRY_COMPARE_WITH_TIMEOUT(ui.bridge->property(qPrintable(deviceProperty)).toInt(), deviceValue, 10000);
        // The stale value came while the 2 s window was still open (unless the machine stalled that
        // long): the operator's choice stays.
        if (hold->property(qPrintable(holding)).toBool())
            QCOMPARE(box->property("currentIndex").toInt(), chosen);

        // Once the operator's window has passed, the device's value is shown.
        QTRY_COMPARE_WITH_TIMEOUT(box->property("currentIndex").toInt(), shown, 15000);
    }

    void listsFollowTheProduct_data() {
        QTest::addColumn<QString>("product");
        QTest::addColumn<int>("palettes");  // -1: the controller's list
        QTest::addColumn<int>("photos");
        QTest::addColumn<int>("records");
        QTest::newRow("WrenT-R2") << "WrenT-R2" << 9 << 2 << 2;
        QTest::newRow("Wren-R2") << "Wren-R2" << 20 << 2 << 2;
        QTest::newRow("Tern") << "Tern" << -1 << 3 << 2;
        QTest::newRow("Dove") << "Dove" << 20 << 3 << 2;
    }

    void listsFollowTheProduct() {
        QFETCH(QString, product);
        QFETCH(int, palettes);
        QFETCH(int, photos);
        QFETCH(int, records);
        QVERIFY(ui.start(Ui::config("zh", product, {"rtsp://127.0.0.1:9/a"})));
        QVERIFY(ui.click("tabCamera"));
        const int expected = palettes >= 0 ? palettes : ui.bridge->irColorSchemeNames().size();
        QVERIFY(expected > 0);
        QCOMPARE(ui.read("irColorSchemeCombo", "count").toInt(), expected);
        QCOMPARE(ui.read("photoResolutionCombo", "count").toInt(), photos);
        QCOMPARE(ui.read("photoResolutionCombo", "currentText").toString(), QString("3840 * 2160"));
        QCOMPARE(ui.read("recordResolutionCombo", "count").toInt(), records);
    }

    // A press beside the image fields ends their editing and sends all four as they stand; an
    // emptied field sends its default (brightness, contrast and denoise 50, enhancement 5).
    void pressBesideTheImageFieldsSendsAllFour_data() {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("switchFirst");
        QTest::addColumn<QStringList>("sent");  // brightness, contrast, denoise, enhancement
        QTest::newRow("brightness emptied") << "irBrightnessField"
                                            << ""
                                            << "" << QStringList{"32 00", "32 00", "00 32 00", "00 00"};
        QTest::newRow("contrast typed") << "irContrastField"
                                        << "70"
                                        << "" << QStringList{"32 00", "46 00", "00 32 00", "00 00"};
        // A level set while its feature is off goes out with the switch's state, ready for later.
        QTest::newRow("denoise typed while off") << "irDenoiseField"
                                                 << "70"
                                                 << "" << QStringList{"32 00", "32 00", "00 46 00", "00 00"};
        QTest::newRow("denoise emptied while on")
            << "irDenoiseField"
            << ""
            << "irDenoiseSwitch" << QStringList{"32 00", "32 00", "01 32 00", "00 00"};
        QTest::newRow("enhancement emptied while on")
            << "irEnhanceField"
            << ""
            << "irEnhanceSwitch" << QStringList{"32 00", "32 00", "00 32 00", "05 00"};
    }
    void pressBesideTheImageFieldsSendsAllFour() {
        QFETCH(QString, field);
        QFETCH(QString, text);
        QFETCH(QString, switchFirst);
        QFETCH(QStringList, sent);
        const QList<uint32_t> ids{MessageId::InfraredBrightness, MessageId::InfraredContrast,
                                  MessageId::InfraredDenoise, MessageId::InfraredEnhance};
        QVERIFY(startLinked("en"));
        QSignalSpy drawn(ui.window, &QQuickWindow::frameSwapped);
        QVERIFY(ui.click("videoOutputIr"));
        QTRY_VERIFY_WITH_TIMEOUT(!device.payloads(MessageId::InfraredSuperResolution).isEmpty(), 10000);
        if (!switchFirst.isEmpty()) {
            // The image rows appear with the output switch: click the switch once a frame has laid them out.
            QTRY_VERIFY(drawn.count() > 0);
            QVERIFY(ui.click(switchFirst));
            QTRY_VERIFY_WITH_TIMEOUT(device.payloads(ids[2]).size() + device.payloads(ids[3]).size() == 3, 10000);
        }
        device.collector().clear();
        QVERIFY(ui.type(field, text));
        QTRY_COMPARE(ui.read(field, "text").toString(), text);

        // Beside the restart button: empty space of the tab.
        QQuickItem* restart = ui.item("restartCamera");
        QTest::mouseClick(ui.window, Qt::LeftButton, Qt::NoModifier,
                          ui.centre(restart) + QPoint(int(restart->width()) / 2 + 40, 0));
        QTRY_VERIFY_WITH_TIMEOUT(
            std::all_of(ids.begin(), ids.end(), [&](uint32_t id) { return !device.payloads(id).isEmpty(); }), 10000);
        QVERIFY(!ui.item(field)->hasActiveFocus());
        Ui::Fixture::settle(300);  // a second copy of the edited field would be on its way by now
        for (int i = 0; i < ids.size(); ++i)
            QCOMPARE(device.payloads(ids[i]), QStringList{sent[i]});
    }

    // A product change puts the controls back to their defaults without telling the device; a
    // click on the output already chosen tells it nothing either.
    void productChangeResetsQuietly() {
        QVERIFY(startLinked("en"));
        QVERIFY(ui.click("videoOutputIr"));
        QTRY_VERIFY_WITH_TIMEOUT(!device.payloads(MessageId::ImageMode).isEmpty(), 10000);
        Ui::Fixture::settle(500);
        device.collector().clear();
        QVERIFY(ui.click("videoOutputIrRadio"));  // the output already chosen
        ui.bridge->selectProduct("Tern-LITE-A");
        // The window's own tracking stop shows that the link is still up to carry anything else.
        QTRY_VERIFY_WITH_TIMEOUT(!device.payloads(MessageId::BoxTracking).isEmpty(), 10000);
        QTRY_VERIFY(ui.read("videoOutputVisibleRadio", "checked").toBool());
        Ui::Fixture::settle(800);
        for (uint32_t id : {MessageId::ImageMode, MessageId::InfraredPalette, MessageId::InfraredBrightness,
                            MessageId::InfraredContrast, MessageId::InfraredDenoise, MessageId::InfraredEnhance,
                            MessageId::InfraredSuperResolution, MessageId::VideoBitrate,
                            MessageId::VideoOutputResolution, MessageId::VideoEncoding})
            QVERIFY2(device.payloads(id).isEmpty(), qPrintable(QString::number(id, 16)));
        QVERIFY(!ui.read("videoOutputIrRadio", "checked").toBool());
    }
};

QTEST_MAIN(TestUiCamera)
#include "tst_ui_camera.moc"
