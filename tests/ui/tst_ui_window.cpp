// The main window and the product page with a real controller: language, product selection and
// what a product change resets, the header, the splitter and the recording clock.

#include <QtTest>

#include "UiLinkedDevice.h"
#include "protocol/MessageCatalogue.h"

class TestUiWindow : public QObject {
    Q_OBJECT

    Ui::Fixture ui;
    Ui::LinkedDevice device;

    static QByteArray recordingReport(bool recording, int seconds) {
        return LinkTest::frameBytes(4, 1, 0x020303, Ui::bytes({0, recording ? 3 : 4}) + Ui::u16(seconds));
    }

private slots:
    void init() { Ui::installPictures(); }
    void cleanup() {
        if (!QByteArray(QTest::currentTestFunction()).startsWith("windowHelpers"))
            ui.stop();
    }

    // The window's translations between the controller's values and what the panels show.
    void windowHelpersTranslateValues_data() {
        QTest::addColumn<QString>("function");
        QTest::addColumn<QVariant>("argument");
        QTest::addColumn<QVariant>("expected");
        QTest::newRow("index-17-capped") << "comboIndexToChannel" << QVariant(17) << QVariant(15);
        QTest::newRow("photo-res-3") << "photoResolutionUiIndex" << QVariant(3) << QVariant(0);
        QTest::newRow("photo-res-0") << "photoResolutionUiIndex" << QVariant(0) << QVariant(2);
        QTest::newRow("photo-res-unknown") << "photoResolutionUiIndex" << QVariant(-1) << QVariant(1);
        QTest::newRow("record-res-negative") << "recordResolutionUiIndex" << QVariant(-4) << QVariant(0);
        QTest::newRow("record-res-unknown") << "recordResolutionUiIndex" << QVariant(7) << QVariant(1);
        QTest::newRow("duration") << "formatRecordingDuration" << QVariant(3723) << QVariant("01:02:03");
        QTest::newRow("duration-zero") << "formatRecordingDuration" << QVariant(0) << QVariant("00:00:00");
        QTest::newRow("stream-unknown-product")
            << "defaultStreamUrlForProduct" << QVariant("X") << QVariant("rtsp://192.168.120.10:8600/videoh264_chn0");
    }

    void windowHelpersTranslateValues() {
        QFETCH(QString, function);
        QFETCH(QVariant, argument);
        QFETCH(QVariant, expected);
        if (!ui.window)
            QVERIFY(ui.start(Ui::config("en")));
        QVariant result;
        QVERIFY(QMetaObject::invokeMethod(ui.window, qPrintable(function), Q_RETURN_ARG(QVariant, result),
                                          Q_ARG(QVariant, argument)));
        QCOMPARE(result.toString(), expected.toString());
    }

    // The language (product page) and the theme (runtime header) switch at run time and are read
    // again on the next start; the theme recolours the window at once.
    void languageAndThemeSwitchAndSurviveRestart() {
        QVERIFY(ui.start(Ui::config("zh")));
        QCOMPARE(ui.read("langSwitcher", "currentIndex").toInt(), 0);
        QVERIFY(ui.click("langSegment1"));
        QTRY_COMPARE(ui.bridge->language(), QStringLiteral("en"));
        QTRY_COMPARE(ui.read("langSwitcher", "currentIndex").toInt(), 1);
        QCOMPARE(ui.bridge->theme(), QStringLiteral("light"));
        const QColor light = ui.windowProperty("color").value<QColor>();
        ui.bridge->selectProduct("Tern");
        QTRY_VERIFY(ui.item("themeButton") && ui.item("themeButton")->isVisible());
        QCOMPARE(ui.read("themeButton", "text").toString(), QStringLiteral("Dark theme"));
        QVERIFY(ui.click("themeButton"));
        QTRY_COMPARE(ui.bridge->theme(), QStringLiteral("dark"));
        const QColor dark = ui.windowProperty("color").value<QColor>();
        QVERIFY2(dark.lightnessF() < 0.2 && light.lightnessF() > 0.8, qPrintable(dark.name() + " " + light.name()));
        QCOMPARE(ui.read("themeButton", "text").toString(), QStringLiteral("Light theme"));

        // A restart reads the stored choices (the configuration is not rewritten here).
        ui.stop();
        AppBridge reread;
        QCOMPARE(reread.language(), QStringLiteral("en"));
        QCOMPARE(reread.theme(), QStringLiteral("dark"));
        QVERIFY(ui.start(Ui::config("en", "Tern", {}, "[Display]\nTheme=DARK\n")));
        QCOMPARE(ui.windowProperty("color").value<QColor>(), dark);
        ui.bridge->setTheme("anything else");
        QTRY_COMPARE(ui.windowProperty("color").value<QColor>(), light);
    }

    void productButtonOpensRuntimePageWithItsAddresses_data() {
        QTest::addColumn<QString>("product");
        QTest::addColumn<QStringList>("history");
        QTest::addColumn<QString>("expectedUrl");
        QTest::addColumn<QByteArray>("extra");
        QTest::addColumn<QString>("expectedAddress");  // the device's, on the UDP tab
        const QString url = "rtsp://127.0.0.1:9/a";
        QTest::newRow("empty-history-stores-default-A")
            << "WrenT-R2" << QStringList() << "rtsp://192.168.120.10:8600/live0" << QByteArray()
            << "192.168.120.10:1030";
        QTest::newRow("empty-history-stores-default-B")
            << "Tern" << QStringList() << "rtsp://192.168.120.20:558/live/single" << QByteArray()
            << "192.168.120.20:1030";
        QTest::newRow("history-first-entry-reused")
            << "Dove" << QStringList{url, "rtsp://127.0.0.1:9/b"} << url << QByteArray() << "192.168.120.20:1030";
        QTest::newRow("configured-device-address")
            << "Wren-R2" << QStringList{url} << url << QByteArray("[Device]\nAddress=127.0.0.1\nPort=1031\n")
            << "127.0.0.1:1031";
    }

    void productButtonOpensRuntimePageWithItsAddresses() {
        QFETCH(QString, product);
        QFETCH(QStringList, history);
        QFETCH(QByteArray, extra);
        QFETCH(QString, expectedUrl);
        QFETCH(QString, expectedAddress);
        // The product's history is seeded under its name while another product is selected.
        QByteArray ini = Ui::config("en", QString(), {}, extra);
        if (!history.isEmpty())
            ini += "\n[streamHistory]\n" + product.toUtf8() + "=" + history.join(", ").toUtf8() + "\n";
        QVERIFY(ui.start(ini));
        QVERIFY(!ui.bridge->runtimePage());

        QVERIFY(ui.click("productButton_" + product));
        QTRY_VERIFY(ui.bridge->runtimePage());
        QCOMPARE(ui.bridge->currentProduct(), product);
        QTRY_COMPARE(ui.read("videoItem", "url").toString(), expectedUrl);
        QCOMPARE(ui.read("streamCombo", "editText").toString(), expectedUrl);
        QCOMPARE(ui.bridge->streamHistory().value(0), expectedUrl);
        QCOMPARE(ui.bridge->streamHistory().size(), history.isEmpty() ? 1 : history.size());
        QCOMPARE(ui.text("udpIp") + ":" + ui.text("udpPort"), expectedAddress);
        QCOMPARE(ui.read("commTabs", "currentIndex").toInt(), 1);
    }

    // Home leaves the runtime page: what it stops on the device (the gimbal, tracking, continuous
    // ranging) reaches it before the link closes, and no failure follows. The next product lacks
    // the tracking tab: the selection comes back to a tab that exists, tracking is off and the
    // recording clock starts over.
    void productChangeStopsTheDeviceAndResetsTabsTrackingAndClock() {
        QVERIFY(device.start(ui, "Tern"));
        const auto payloads = [&](uint32_t id) { return device.payloads(id); };
        QTRY_VERIFY(ui.item("tabTracking")->isVisible());
        QVERIFY(ui.click("tabTracking"));
        QTRY_COMPARE(ui.read("controlTabs", "currentIndex").toInt(), 4);
        ui.bridge->laserPeriodicOn();
        QTRY_VERIFY_WITH_TIMEOUT(!payloads(MessageId::LaserPeriodicRanging).isEmpty(), LinkTest::kLongWaitMs);
        ui.window->setProperty("trackingEnabled", true);
        ui.window->setProperty("isRecording", true);
        ui.window->setProperty("recordingElapsedSeconds", 42);
        device.collector().clear();
        QVERIFY(ui.click("homeButton"));
        QTRY_VERIFY(!ui.bridge->runtimePage());
        QVERIFY(!ui.bridge->linkOpen());
        QTRY_VERIFY_WITH_TIMEOUT(!payloads(MessageId::GimbalControl).isEmpty() &&
                                     !payloads(MessageId::BoxTracking).isEmpty() &&
                                     !payloads(MessageId::LaserPeriodicRanging).isEmpty(),
                                 LinkTest::kLongWaitMs);
        QCOMPARE(payloads(MessageId::GimbalControl), QStringList{"00 02 02 00"});
        QVERIFY(payloads(MessageId::BoxTracking).first().startsWith("02 00"));
        QCOMPARE(payloads(MessageId::LaserPeriodicRanging), QStringList{"00 00"});
        QVERIFY(!ui.windowProperty("trackingEnabled").toBool());
        QTest::qWait(600);  // past the moment an unanswered stop would be sent again
        QVERIFY2(!ui.bridge->messageLog().contains("fail", Qt::CaseInsensitive), qPrintable(ui.bridge->messageLog()));
        QTRY_VERIFY(ui.item("productButton_Tern-LITE-A")->isVisible());
        QVERIFY(!ui.item("homeButton")->isVisible());

        QVERIFY(ui.click("productButton_Tern-LITE-A"));
        QTRY_VERIFY(ui.bridge->runtimePage());
        QTRY_COMPARE(ui.bridge->currentProduct(), QStringLiteral("Tern-LITE-A"));
        QTRY_VERIFY(ui.item("homeButton")->isVisible());
        QTRY_VERIFY(!ui.item("tabTracking")->isVisible());
        QVERIFY(ui.read("controlTabs", "currentIndex").toInt() <= 3);
        QCOMPARE(ui.windowProperty("trackingEnabled").toBool(), false);
        QCOMPARE(ui.windowProperty("isRecording").toBool(), false);
        QCOMPARE(ui.windowProperty("recordingElapsedSeconds").toInt(), 0);
        QCOMPARE(ui.windowProperty("captureMode").toString(), QStringLiteral("video"));

        // A double click on the video gives it the whole page; another brings the panes back.
        QTest::mouseDClick(ui.window, Qt::LeftButton, Qt::NoModifier, ui.centre(ui.item("videoItem")));
        QTRY_VERIFY(!ui.item("leftPanel")->isVisible());
        QVERIFY(!ui.item("homeButton")->isVisible() && !ui.item("splitter")->isVisible());
        QTRY_VERIFY(ui.item("videoItem")->width() > ui.window->width() - 20);
        QTest::mouseDClick(ui.window, Qt::LeftButton, Qt::NoModifier, ui.centre(ui.item("videoItem")));
        QTRY_VERIFY(ui.item("leftPanel")->isVisible() && ui.item("homeButton")->isVisible());
    }

    // While the open link's device is silent the pill is amber and says so in the current language,
    // and the values the device reported in the panels are shown stale, with their age; the next
    // frame gives both back their look (the pill's look of a UDP link).
    void linkPillShowsASilentDevice() {
        QVERIFY(device.start(ui, "Wren-R2", Ui::Link::Udp, "en", "[Link]\nSilenceTimeoutSec=1\n"));
        const QByteArray heartbeat = LinkTest::frameBytes(4, 1, 0x020002, QByteArray(1, '\0'));
        QQuickItem* pill = ui.item("linkPill");
        QObject* border = pill->property("border").value<QObject*>();
        QQuickItem* version = ui.item("gimbalHwVersion");
        for (const auto& [language, silentText, age] :
             {std::tuple{"en", QString("Connected: UDP (no data)"), QString("s ago")},
              {"zh", QString::fromUtf8("当前连接: UDP（无数据）"), QString::fromUtf8("秒前")}}) {
            ui.bridge->setLanguage(language);
            QVERIFY(device.deliver(heartbeat));
            QTRY_COMPARE_WITH_TIMEOUT(pill->property("color").value<QColor>(), QColor("#fff6e5"),
                                      LinkTest::kLongWaitMs);
            QCOMPARE(border->property("color").value<QColor>(), QColor("#f0b654"));
            QCOMPARE(ui.read("linkPillText", "text").toString(), silentText);
            QVERIFY(version->property("stale").toBool());
            QTRY_VERIFY(version->property("text").toString().contains(age));
            QVERIFY(version->property("font").value<QFont>().italic());

            QVERIFY(device.deliver(heartbeat));
            QTRY_COMPARE_WITH_TIMEOUT(pill->property("color").value<QColor>(), QColor("#edf9f2"),
                                      LinkTest::kLongWaitMs);
            QCOMPARE(version->property("text").toString(), ui.bridge->gimbalHwVersion());
            QVERIFY(!version->property("font").value<QFont>().italic());
            QCOMPARE(border->property("color").value<QColor>(), QColor("#9ad8b7"));
            QCOMPARE(ui.read("linkPillText", "text").toString(), ui.bridge->linkStatus());
        }
    }

    void splitterStaysWithinItsBounds_data() {
        QTest::addColumn<int>("windowWidth");
        QTest::addColumn<bool>("maximised");
        QTest::addColumn<int>("dragBy");
        QTest::addColumn<QString>("bound");
        QTest::newRow("wide-left") << 1700 << false << -1500 << "lower";
        QTest::newRow("wide-right") << 1700 << false << 1500 << "upper";
        QTest::newRow("narrow-left") << 1100 << false << -1000 << "lower";
        QTest::newRow("maximised-right") << 1700 << true << 1500 << "maximised";
    }

    void splitterStaysWithinItsBounds() {
        QFETCH(int, windowWidth);
        QFETCH(bool, maximised);
        QFETCH(int, dragBy);
        QFETCH(QString, bound);
        QVERIFY(ui.start(Ui::config("en", "Tern", {"rtsp://127.0.0.1:9/a"}), QSize(windowWidth, 900)));
        if (maximised) {
            ui.window->showMaximized();
            QTRY_COMPARE(ui.window->visibility(), QWindow::Maximized);
            Ui::Fixture::settle();
        }
        QQuickItem* splitter = ui.item("splitter");
        QQuickItem* row = ui.item("runtimeRow");
        QTRY_VERIFY(splitter->isVisible() && row->width() > 0);
        ui.drag(ui.centre(splitter), ui.centre(splitter) + QPoint(dragBy, 0), 10);
        Ui::Fixture::settle();

        const double rowWidth = row->width();
        const double ratio = ui.windowProperty("userLeftPaneRatio").toDouble();
        const double leftWidth = ui.item("leftPanel")->width();
        if (bound == "lower") {
            const double lower = qMin(qMax(0.22, 520.0 / rowWidth), 0.55);
            QVERIFY2(qAbs(ratio - lower) < 0.01, qPrintable(QString::number(ratio)));
            QVERIFY(leftWidth >= qMin(520.0, 0.85 * rowWidth) - 1);
        } else if (bound == "upper") {
            QVERIFY2(qAbs(ratio - 0.6) < 0.01, qPrintable(QString::number(ratio)));
            QVERIFY(qAbs(leftWidth - 0.6 * rowWidth) < 2);
        } else {
            // Maximised, the left pane is held at a third of the row whatever the operator chose.
            QVERIFY2(qAbs(ratio - 0.6) < 0.01, qPrintable(QString::number(ratio)));
            QVERIFY2(qAbs(leftWidth - qMax(qMin(520.0, 0.85 * rowWidth), 0.34 * rowWidth)) < 2,
                     qPrintable(QString::number(leftWidth)));
        }
    }

    // The local clock follows the device's count only when they drift two seconds or more apart.
    void recordingClockFollowsTheDeviceOnlyWhenItDrifts() {
        QVERIFY(device.start(ui, "Wren-R2"));  // the device answers the program's port
        QVERIFY(device.deliver(recordingReport(true, 100)));
        QTRY_VERIFY(ui.windowProperty("isRecording").toBool());
        QTRY_COMPARE(ui.windowProperty("lastDeviceRecordingSeconds").toInt(), 100);
        // Hold the local clock still so that only the device's count can move it.
        QObject* timer = ui.window->findChild<QObject*>("recordingDurationTimer");
        QVERIFY(timer);
        QMetaObject::invokeMethod(timer, "stop");
        for (const auto& [drift, resynchronised] : {std::pair{1, false}, {2, true}, {-5, true}}) {
            ui.window->setProperty("recordingElapsedSeconds", 100);
            QVERIFY(device.deliver(recordingReport(true, 100 + drift)));
            QTRY_COMPARE(ui.windowProperty("lastDeviceRecordingSeconds").toInt(), 100 + drift);
            QCOMPARE(ui.windowProperty("recordingElapsedSeconds").toInt(), resynchronised ? 100 + drift : 100);
        }

        QVERIFY(device.deliver(recordingReport(false, 0)));
        QTRY_VERIFY(!ui.windowProperty("isRecording").toBool());
        QCOMPARE(ui.windowProperty("recordingElapsedSeconds").toInt(), 0);
    }

    void hoveringTheNextProductSlidesItsPictureIn_data() {
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("second");
        QTest::addColumn<int>("side");
        QTest::newRow("next-comes-from-right") << "Wren-R2" << QString("Tern-LITE-A") << 1;
        QTest::newRow("previous-comes-from-left") << "Tern" << QString("Tern-LITE-B") << -1;
    }

    void hoveringTheNextProductSlidesItsPictureIn() {
        QFETCH(QString, first);
        QFETCH(QString, second);
        QFETCH(int, side);
        Ui::installPictures("Dove");
        QVERIFY(ui.start(Ui::config("en")));
        QObject* page = ui.item("mainPage");
        QVERIFY(ui.hover("productButton_" + first));
        QTRY_VERIFY(ui.item("productPreviewImage")->isVisible());
        QVERIFY(!ui.item("logoPreviewImage")->isVisible());
        Ui::Fixture::settle();

        const QMetaProperty slide = page->metaObject()->property(page->metaObject()->indexOfProperty("previewSlideX"));
        QVERIFY(slide.hasNotifySignal());
        QSignalSpy moved(page, slide.notifySignal());
        QVERIFY(ui.hover("productButton_" + second));
        QTRY_VERIFY(moved.count() > 0);
        const double start = page->property("previewSlideX").toDouble();
        QVERIFY2(start * side > 0, qPrintable(QString::number(start)));
        QTRY_COMPARE(page->property("previewSlideX").toDouble(), 0.0);
        QCOMPARE(page->property("hoveredProduct").toString(), second);

        // A model without a picture keeps the default one.
        QVERIFY(ui.hover("productButton_Dove"));
        QTRY_COMPARE(page->property("hoveredProduct").toString(), QStringLiteral("Dove"));
        Ui::Fixture::settle(500);
        QVERIFY(!ui.item("productPreviewImage")->isVisible());
        QVERIFY(ui.item("logoPreviewImage")->isVisible());
        QCOMPARE(ui.read("logoPreviewImage", "status").toInt(), 1);  // Image.Ready
    }
};

QTEST_MAIN(TestUiWindow)
#include "tst_ui_window.moc"
