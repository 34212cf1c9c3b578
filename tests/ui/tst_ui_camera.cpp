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
    // Chooses an output and lets what goes with it (IR's image settings) pass.
    bool switchOutput(const QString& radio) {
        if (!ui.click(radio))
            return false;
        const bool sent = QTest::qWaitFor([&] { return !device.payloads(MessageId::ImageMode).isEmpty(); }, 10000);
        Ui::Fixture::settle(500);
        device.collector().clear();
        return sent;
    }

    // Camera status report: photo/video mode, RTSP and codec codes, output code, bitrate index + 1.
    static QByteArray cameraStatus(int bitrateIndex) {
        QByteArray payload(16, '\0');
        payload[0] = 1;
        payload[3] = 5;
        payload[4] = char(bitrateIndex + 1);
        return LinkTest::frameBytes(4, 1, reportIdOf(MessageId::CameraSystemStatus), payload);
    }
    // A successful answer of the device with these payload bytes after the result code.
    static QByteArray answer(uint32_t replyId, std::initializer_list<int> rest) {
        return LinkTest::frameBytes(4, 1, replyId, LinkTest::replyPayload(0, Ui::bytes(rest)));
    }

private slots:
    void init() { Ui::installPictures(); }
    void cleanup() { ui.stop(); }  // the next start replaces the device too

    void outputSwitchReachesTheDevice_data() {
        QTest::addColumn<QString>("language");
        QTest::addColumn<bool>("tracking");
        QTest::addColumn<QString>("radio");
        QTest::addColumn<Ui::Link>("link");
        QTest::addColumn<QString>("mode");
        QTest::newRow("zh IR") << "zh" << false << "videoOutputIr" << Ui::Link::Udp << "00 00";
        QTest::newRow("en IR serial") << "en" << false << "videoOutputIr" << Ui::Link::Serial << "00 00";
        QTest::newRow("zh split while tracking") << "zh" << true << "videoOutputSplit" << Ui::Link::Udp << "07 00";
        QTest::newRow("en visible after split") << "en" << true << "videoOutputVisible" << Ui::Link::Serial << "05 00";
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
        if (radio == "videoOutputVisible")  // start from another output
            QVERIFY(switchOutput("videoOutputSplit"));
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

    // A status that arrives while the operator's choice (a combo's next entry, an output radio) is
    // fresh does not undo it; once the 2 s hold-off has passed, the control shows what the device
    // reports.
    void choiceOutlivesAStaleStatus_data() {
        QTest::addColumn<QString>("control");
        QTest::addColumn<bool>("irOutput");
        QTest::addColumn<QString>("holder");  // item and property of the hold-off
        QTest::addColumn<QString>("holding");
        QTest::addColumn<uint>("sentId");
        QTest::addColumn<QByteArray>("stale");
        QTest::addColumn<QString>("deviceProperty");  // the controller's value once the stale frame is in
        QTest::addColumn<int>("deviceValue");
        QTest::addColumn<int>("shown");  // what the control shows for it (the radio: unchecked)
        QTest::newRow("output") << "videoOutputIr" << false << "cameraPanel"
                                << "videoOutputSyncCooldown" << uint(MessageId::ImageMode) << cameraStatus(0)
                                << "cameraStatusAvailable" << 1 << 0;  // the status says visible
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
        QFETCH(QString, control);
        QFETCH(bool, irOutput);
        QFETCH(QString, holder);
        QFETCH(QString, holding);
        QFETCH(uint, sentId);
        QFETCH(QByteArray, stale);
        QFETCH(QString, deviceProperty);
        QFETCH(int, deviceValue);
        QFETCH(int, shown);
        QVERIFY(startLinked("en"));
        if (irOutput)
            QVERIFY(switchOutput("videoOutputIr"));
        QQuickItem* box = ui.item(control);
        QVERIFY(box && box->isVisible());
        const bool combo = box->property("currentIndex").isValid();  // else a radio
        const auto showing = [&] { return box->property(combo ? "currentIndex" : "checked").toInt(); };
        const int chosen = showing() + 1;
        if (combo) {
            box->forceActiveFocus();
            QTest::keyClick(ui.window, Qt::Key_Down);
        } else {
            QVERIFY(ui.click(control));
        }
        QTRY_VERIFY_WITH_TIMEOUT(!device.payloads(sentId).isEmpty(), 10000);
        QCOMPARE(showing(), chosen);

        QQuickItem* hold = ui.item(holder);
        QVERIFY(hold && hold->property(qPrintable(holding)).toBool());
        QVERIFY(device.deliver(stale));
        QTRY_COMPARE_WITH_TIMEOUT(ui.bridge->property(qPrintable(deviceProperty)).toInt(), deviceValue, 10000);
        // The stale value came while the 2 s window was still open (unless the machine stalled that
        // long): the operator's choice stays.
        if (hold->property(qPrintable(holding)).toBool())
            QCOMPARE(showing(), chosen);

        // Once the operator's window has passed, the device's value is shown.
        QTRY_COMPARE_WITH_TIMEOUT(showing(), shown, 15000);
    }

    // The palettes (-1: the controller's list) and the photo resolutions each product offers.
    void listsFollowTheProduct() {
        QVERIFY(ui.start(Ui::config("zh", "WrenT-R2", {"rtsp://127.0.0.1:9/a"})));
        for (const auto& [product, palettes, photos] :
             {std::tuple{"WrenT-R2", 9, 2}, {"Wren-R2", 20, 2}, {"Tern", -1, 3}, {"Dove", 20, 3}}) {
            ui.bridge->selectProduct(product);
            QTRY_COMPARE(ui.bridge->currentProduct(), QString(product));
            QTRY_VERIFY(ui.click("tabCamera"));
            const int expected = palettes >= 0 ? palettes : ui.bridge->irColorSchemeNames().size();
            QVERIFY(expected > 0);
            QTRY_COMPARE(ui.read("irColorSchemeCombo", "count").toInt(), expected);
            QCOMPARE(ui.read("photoResolutionCombo", "count").toInt(), photos);
            QCOMPARE(ui.read("photoResolutionCombo", "currentText").toString(), QString("3840 * 2160"));
            QCOMPARE(ui.read("recordResolutionCombo", "count").toInt(), 2);
        }
    }

    // A press beside the image fields ends their editing and sends all four as they stand; an
    // emptied field sends its default (brightness, contrast and denoise 50, enhancement 5).
    void pressBesideTheImageFieldsSendsAllFour_data() {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QStringList>("sent");  // brightness, contrast, denoise, enhancement
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("switchFirst");
        const QString none;
        QTest::newRow("brightness emptied")
            << "irBrightnessField" << QStringList{"32 00", "32 00", "00 32 00", "00 00"} << none << none;
        QTest::newRow("contrast typed") << "irContrastField" << QStringList{"32 00", "46 00", "00 32 00", "00 00"}
                                        << "70" << none;
        // A level set while its feature is off goes out with the switch's state, ready for later.
        QTest::newRow("denoise typed while off")
            << "irDenoiseField" << QStringList{"32 00", "32 00", "00 46 00", "00 00"} << "70" << none;
        QTest::newRow("denoise emptied while on")
            << "irDenoiseField" << QStringList{"32 00", "32 00", "01 32 00", "00 00"} << none << "irDenoiseSwitch";
        QTest::newRow("enhancement emptied while on")
            << "irEnhanceField" << QStringList{"32 00", "32 00", "00 32 00", "05 00"} << none << "irEnhanceSwitch";
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
        QVERIFY(switchOutput("videoOutputIr"));
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
