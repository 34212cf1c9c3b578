// The link panel, the message log and the shared controls with a real controller and real links
// (a loopback UDP device and a pseudo-terminal), driven by mouse and keyboard.

#include <QClipboard>
#include <QScreen>
#include <QtTest>

#include "LinkTestDevices.h"
#include "UiFixture.h"

class TestUiLinks : public QObject {
    Q_OBJECT

    Ui::Fixture ui;

    bool startRuntime() { return ui.start(Ui::config("en", "Wren-R2", {"rtsp://127.0.0.1:9/a"})); }
    void showSerialTab() {
        QVERIFY(ui.item("commTabs"));
        ui.item("commTabs")->setProperty("currentIndex", 0);
        QTRY_VERIFY(ui.item("serialSwitch")->isVisible());
    }
    // Stands in for the port scan: the combo lists these ports.
    void listPorts(const QStringList& ports) { ui.item("serialPortCombo")->setProperty("model", ports); }
    bool switchOn(const QString& name) { return ui.item(name)->property("checked").toBool(); }
    // A row of the log view in scene coordinates while any of it is on screen, else empty.
    static QRectF rowOnScreen(QQuickItem* log, int row) {
        QRectF rect;
        QMetaObject::invokeMethod(log, "rowRect", Q_RETURN_ARG(QRectF, rect), Q_ARG(int, row));
        return rect.isEmpty() ? rect : log->mapRectToScene(rect);
    }
    // The link pill's fill and border colours.
    QStringList pillLook() const {
        QObject* pill = ui.item("linkPill");
        QObject* border = pill->property("border").value<QObject*>();
        return {pill->property("color").value<QColor>().name(), border->property("color").value<QColor>().name()};
    }
    void wheel(QQuickItem* log, int notches) {
        const QPointF at = log->mapToScene(QPointF(log->width() / 2, log->height() / 2));
        QWheelEvent event(at, ui.window->mapToGlobal(at.toPoint()), QPoint(), QPoint(0, 120 * notches), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QGuiApplication::sendEvent(ui.window, &event);
    }
    // What the screen shows of the log view.
    QImage logPicture(QQuickItem* log) {
        const QImage screen = ui.window->screen()->grabWindow(ui.window->winId()).toImage();
        const qreal ratio = ui.window->effectiveDevicePixelRatio();
        const QRectF area = log->mapRectToScene(QRectF(0, 0, log->width(), log->height()));
        return screen.copy(QRectF(area.topLeft() * ratio, area.size() * ratio).toRect());
    }

private slots:
    void init() { Ui::installPictures(); }
    void cleanup() { ui.stop(); }

    // Without a port the switch asks for a new scan; a port that fails to open says so. Either
    // way the switch stays off, and no other complaint follows.
    void serialSwitchStaysOffWithoutAUsablePort() {
        QVERIFY(startRuntime());
        showSerialTab();
        // The port that fails comes first: the scan asked for without a port may list real ones.
        for (const auto& [ports, said] :
             {std::pair{QStringList{"/nonexistent/ttySKYVANE"}, "Failed to open serial port"},
              {QStringList(), "serial ports"}}) {
            listPorts(ports);
            ui.bridge->clearMessages();
            Ui::Fixture::settle();
            QVERIFY(ui.click("serialSwitch"));
            QTRY_VERIFY(ui.bridge->messageLog().contains(said, Qt::CaseInsensitive));
            Ui::Fixture::settle();
            QVERIFY(!switchOn("serialSwitch"));
            QVERIFY(!ui.bridge->serialOpened());
            QVERIFY2(!ui.bridge->messageLog().contains("Invalid serial params") &&
                         (!ports.isEmpty() || !ui.bridge->messageLog().contains("Failed to open")),
                     qPrintable(ui.bridge->messageLog()));
        }
    }

    // The serial switch opens the port as the operator would; a port that disappears under the open
    // link turns the switch off and frees the port choice. Each switch mirrors the controller, which
    // keeps one link: opening one turns the other off. The UDP switch links to the typed address and
    // closes the link again. The header's pill shows the link's kind. Offline, the IP tab asks the
    // device nothing and does not complain ("connect first").
    void switchesFollowTheLink() {
        LinkTest::UdpDevice device;
        LinkTest::PtyDevice lost;
        QVERIFY(startRuntime());
        ui.bridge->clearMessages();
        QVERIFY(ui.click("tabIP"));
        QTRY_COMPARE(ui.read("controlTabs", "currentIndex").toInt(), 3);
        Ui::Fixture::settle(500);
        QVERIFY2(ui.bridge->messageLog().isEmpty(), qPrintable(ui.bridge->messageLog()));
        showSerialTab();
        listPorts({lost.slavePath()});
        QVERIFY(ui.click("serialSwitch"));
        QTRY_VERIFY(ui.bridge->serialOpened());
        QVERIFY(switchOn("serialSwitch"));
        QVERIFY(!ui.read("serialPortCombo", "enabled").toBool());
        QTRY_COMPARE(pillLook(), (QStringList{"#edf6ff", "#89c7ff"}));
        lost.hangUp();
        QTRY_VERIFY_WITH_TIMEOUT(!ui.bridge->serialOpened(), LinkTest::kLongWaitMs);
        QTRY_VERIFY(!switchOn("serialSwitch"));
        QVERIFY(ui.read("serialPortCombo", "enabled").toBool());
        QVERIFY(ui.bridge->messageLog().contains("Serial port lost: " + lost.slavePath()));

        LinkTest::PtyDevice pty;
        listPorts({pty.slavePath()});
        QVERIFY(ui.click("serialSwitch"));
        QTRY_VERIFY(ui.bridge->serialOpened());
        ui.item("commTabs")->setProperty("currentIndex", 1);
        QTRY_VERIFY(ui.item("udpSwitch")->isVisible());
        QVERIFY(ui.type("udpIp", "127.0.0.1"));
        QVERIFY(ui.type("udpPort", QString::number(device.port())));
        QVERIFY(ui.click("udpSwitch"));
        QTRY_VERIFY(ui.bridge->udpConnected());
        QTRY_VERIFY(!switchOn("serialSwitch"));
        QVERIFY(!ui.bridge->serialOpened());
        QVERIFY(switchOn("udpSwitch"));
        QVERIFY(device.collector.waitForFrames(1, 10000));  // link-up requests at the typed address

        QVERIFY(ui.click("udpSwitch"));
        QTRY_VERIFY(!ui.bridge->udpConnected());
        QVERIFY(!switchOn("udpSwitch"));
        QTRY_COMPARE(pillLook(), (QStringList{"#f5f7fa", "#d4dbe5"}));
    }

    // The view follows the end, stays where the operator scrolled to, and shows each line where it
    // says it is: a screen built up line by line looks exactly like one drawn at once. A drag
    // selects across lines for copying.
    void messageLogFollowsTheEndClearsAndCopies() {
        QVERIFY(startRuntime());
        ui.bridge->clearMessages();
        QQuickItem* log = ui.item("messageLogArea");
        // The last lines one per frame, as they come from a device; every tenth line wraps.
        for (int i = 0; i < 120; ++i) {
            QString text = QStringLiteral("line %1").arg(i, 3, 10, QChar('0'));
            if (i % 10 == 3)
                text += " saved: /tmp/skyvane/recordings/skyvane_" + QString(120, 'x') + ".mkv";
            ui.bridge->messageLines()->append("[12:00:00] " + text);  // as they are, not summed up
            if (i >= 100)
                QVERIFY(QSignalSpy(ui.window, &QQuickWindow::frameSwapped).wait(5000));
        }
        QTRY_COMPARE(log->property("count").toInt(), 120);
        const QRectF screen = log->mapRectToScene(QRectF(0, 0, log->width(), log->height()));
        QTRY_VERIFY(!rowOnScreen(log, 119).isEmpty());
        QCOMPARE(rowOnScreen(log, 119).bottom(), screen.bottom());
        QVERIFY(rowOnScreen(log, 0).isEmpty());
        QVERIFY(log->property("atEnd").toBool());
        const QStringList lines = ui.bridge->messageLog().split('\n');
        QCOMPARE(lines.size(), 120);
        QVERIFY(lines.first().endsWith("line 000") && lines.last().endsWith("line 119"));
        Ui::Fixture::settle();
        const QImage builtUp = logPicture(log);
        QMetaObject::invokeMethod(log, "scrollToEnd");
        Ui::Fixture::settle();
        QCOMPARE(logPicture(log), builtUp);
        // A repeated line counts up in place, and a long log drops its oldest lines under a notice:
        // the screen still shows the end exactly as a full redraw does.
        for (int i = 0; i < 3; ++i) {
            ui.bridge->appendMessage("repeated");
            QVERIFY(QSignalSpy(ui.window, &QQuickWindow::frameSwapped).wait(5000));
        }
        QVERIFY(ui.bridge->messageLog().endsWith("] repeated ×3"));
        const int total = MessageLogModel::kKeptLines + MessageLogModel::kTrimStep;
        for (int i = 121; i <= total; ++i)
            ui.bridge->messageLines()->append(QStringLiteral("[12:00:00] line %1").arg(i));
        QTRY_COMPARE(log->property("count").toInt(), MessageLogModel::kKeptLines + 1);
        QVERIFY(ui.bridge->messageLog().startsWith("… "));
        Ui::Fixture::settle();
        QCOMPARE(rowOnScreen(log, MessageLogModel::kKeptLines).bottom(), screen.bottom());
        const QImage trimmed = logPicture(log);
        QMetaObject::invokeMethod(log, "scrollToEnd");
        Ui::Fixture::settle();
        QCOMPARE(logPicture(log), trimmed);
        ui.bridge->clearMessages();
        for (int i = 0; i < 120; ++i)
            ui.bridge->messageLines()->append(QStringLiteral("[12:00:00] line %1").arg(i, 3, 10, QChar('0')));
        QTRY_COMPARE(log->property("count").toInt(), 120);

        // Scrolled up, the view stays put while lines come in; back at the end, it follows again.
        wheel(log, 2);
        QTRY_VERIFY(!log->property("atEnd").toBool());
        const QRectF row110 = rowOnScreen(log, 110);
        QVERIFY(!row110.isEmpty());
        ui.bridge->appendMessage("while scrolled up");
        QTRY_COMPARE(log->property("count").toInt(), 121);
        Ui::Fixture::settle();
        QCOMPARE(rowOnScreen(log, 110), row110);
        // A press at the top of the scroll bar's track shows the start, one at the bottom the end.
        QQuickItem* bar = ui.item("messageLogScrollBar");
        QTest::mouseClick(ui.window, Qt::LeftButton, Qt::NoModifier,
                          bar->mapToScene(QPointF(bar->width() / 2, 1)).toPoint());
        QTRY_COMPARE(rowOnScreen(log, 0).top(), screen.top());
        QTest::mouseClick(ui.window, Qt::LeftButton, Qt::NoModifier,
                          bar->mapToScene(QPointF(bar->width() / 2, bar->height() - 1)).toPoint());
        QTRY_VERIFY(log->property("atEnd").toBool());
        wheel(log, 2);
        QTRY_VERIFY(!log->property("atEnd").toBool());
        wheel(log, -100);
        QTRY_VERIFY(log->property("atEnd").toBool());
        ui.bridge->appendMessage("back at the end");
        QTRY_COMPARE(rowOnScreen(log, 121).bottom(), screen.bottom());

        QVERIFY(ui.click("messageLogClearButton"));
        QTRY_VERIFY(ui.bridge->messageLog().isEmpty());
        QTRY_COMPARE(log->property("count").toInt(), 0);
        ui.bridge->appendMessage("after clear");
        QTRY_COMPARE(log->property("count").toInt(), 1);
        QCOMPARE(rowOnScreen(log, 0).top(), screen.top());

        // A drag from one line into a later one selects across the lines; Ctrl+C copies exactly
        // that, Ctrl+A then Ctrl+C the whole log.
        ui.bridge->clearMessages();
        for (int i = 0; i < 3; ++i)
            ui.bridge->appendMessage(QStringLiteral("entry number %1").arg(i));
        QTRY_COMPARE(log->property("count").toInt(), 3);
        Ui::Fixture::settle();
        const QRectF first = rowOnScreen(log, 0);
        const QRectF third = rowOnScreen(log, 2);
        QVERIFY(!first.isEmpty() && !third.isEmpty());
        const QImage unselected = logPicture(log);
        // From the start of the first line to the middle of the third one.
        const QPoint from = QPointF(first.left() + 1, first.center().y()).toPoint();
        const QPoint to = QPointF(first.left() + log->width() / 8, third.center().y()).toPoint();
        ui.drag(from, to, 5);
        const QStringList entries = ui.bridge->messageLog().split('\n');
        const QString selected = log->property("selectedText").toString();
        QVERIFY2(selected.startsWith(entries[0] + "\n" + entries[1] + "\n"), qPrintable(selected));
        const QString inThird = selected.section('\n', 2);
        QVERIFY2(!inThird.isEmpty() && inThird.size() < entries[2].size() && entries[2].startsWith(inThird),
                 qPrintable(selected));
        QTest::keyClick(ui.window, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(), selected);
        // A line coming in keeps the selection on its lines.
        ui.bridge->appendMessage("entry number 3");
        QTRY_COMPARE(log->property("count").toInt(), 4);
        QCOMPARE(log->property("selectedText").toString(), selected);
        // The selection is shown.
        QTRY_VERIFY(logPicture(log) != unselected);

        QTest::keyClick(ui.window, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(ui.window, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(), ui.bridge->messageLog());
    }
};

QTEST_MAIN(TestUiLinks)
#include "tst_ui_links.moc"
