// Steering with the keyboard and a gamepad: key events on the real window and SDL's virtual
// joystick, with every check on the frames a loopback device receives.

#include <QtTest>

#include <SDL.h>

#include <memory>

#include "UiLinkedDevice.h"
#include "input/GamepadInput.h"

namespace {

using Ui::Link;

const QString kPadName = QStringLiteral("Skyvane test pad");

// A game controller held by SDL's virtual joystick driver: axes and buttons in SDL's
// game-controller order, triggers released (the virtual axis runs from -32768).
class VirtualPad {
public:
    VirtualPad() {
        SDL_VirtualJoystickDesc desc;
        SDL_zero(desc);
        desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
        desc.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
        desc.naxes = SDL_CONTROLLER_AXIS_MAX;
        desc.nbuttons = SDL_CONTROLLER_BUTTON_MAX;
        desc.name = "Skyvane test pad";
        const int index = SDL_JoystickAttachVirtualEx(&desc);
        m_joystick = index >= 0 ? SDL_JoystickOpen(index) : nullptr;
        setAxis(SDL_CONTROLLER_AXIS_TRIGGERLEFT, -32768);
        setAxis(SDL_CONTROLLER_AXIS_TRIGGERRIGHT, -32768);
    }
    ~VirtualPad() {
        if (!m_joystick)
            return;
        SDL_JoystickClose(m_joystick);
        for (int i = 0; i < SDL_NumJoysticks(); ++i)
            if (SDL_JoystickIsVirtual(i))
                SDL_JoystickDetachVirtual(i);
    }

    bool attached() const { return m_joystick != nullptr; }
    void setAxis(int axis, int value) {
        if (m_joystick)
            SDL_JoystickSetVirtualAxis(m_joystick, axis, static_cast<Sint16>(value));
    }
    void setButton(int button, bool down) {
        if (m_joystick)
            SDL_JoystickSetVirtualButton(m_joystick, button, down ? 1 : 0);
    }

private:
    SDL_Joystick* m_joystick = nullptr;
};

}  // namespace

class TestUiInput : public QObject {
    Q_OBJECT

    Ui::Fixture ui;
    Ui::LinkedDevice device;
    std::unique_ptr<GamepadInput> gamepad;

    // The runtime page of a Wren-R2 on a loopback UDP device, active, with the gamepad published.
    bool startLinked(const QString& language = QStringLiteral("en"), const QByteArray& extraIni = {}) {
        ui.beforeLoad = [this](AppBridge* bridge, QQmlContext* context) {
            gamepad = std::make_unique<GamepadInput>(bridge);
            context->setContextProperty("gamepad", gamepad.get());
        };
        if (!device.start(ui, "Wren-R2", Link::Udp, language, extraIni))
            return false;
        ui.window->requestActivate();
        return QTest::qWaitForWindowActive(ui.window) && gamepad->available();
    }

    void verifyNothingSent(const char* what) {
        Ui::Fixture::settle(500);
        QStringList sent;
        for (const auto& wire : device.collector().frames)
            if (wire.frame.messageId != MessageId::InfraredReadSettings)
                sent << QString::number(wire.frame.messageId, 16);
        QVERIFY2(sent.isEmpty(), qPrintable(QString("%1: %2").arg(what, sent.join(' '))));
    }

    void waitForPad(bool connected) {
        QTRY_COMPARE_WITH_TIMEOUT(gamepad->connected(), connected, 10000);
        Ui::Fixture::settle(100);
        device.clear();
    }

private slots:
    void initTestCase() {
        Ui::Resends::install();
        // The test's own handle on SDL: the virtual joystick lives as long as the joystick subsystem.
        SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
        SDL_SetHint(SDL_HINT_JOYSTICK_HIDAPI, "0");
        QVERIFY2(SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) == 0, SDL_GetError());
    }
    void cleanupTestCase() { SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER); }
    void init() { Ui::installPictures(); }
    void cleanup() {
        ui.engine.reset();
        gamepad.reset();
        ui.stop();
    }

    // Sliders and lists do not keep the arrows once clicked: they still steer the gimbal.
    void arrowKeysMoveWhileHeldAndStopOnce_data() {
        QTest::addColumn<QList<int>>("keys");
        QTest::addColumn<QString>("payload");
        QTest::addColumn<QString>("clickedFirst");
        QTest::newRow("up") << QList<int>{Qt::Key_Up} << "00 02 00 00" << QString();
        QTest::newRow("left") << QList<int>{Qt::Key_Left} << "00 00 02 00" << QString();
        QTest::newRow("down and right together")
            << QList<int>{Qt::Key_Down, Qt::Key_Right} << "00 01 01 00" << QString();
        QTest::newRow("right after a click on a slider") << QList<int>{Qt::Key_Right} << "00 01 02 00"
                                                         << "visibleZoomSlider";
    }

    void arrowKeysMoveWhileHeldAndStopOnce() {
        QFETCH(QList<int>, keys);
        QFETCH(QString, payload);
        QFETCH(QString, clickedFirst);
        QVERIFY(startLinked());
        if (!clickedFirst.isEmpty()) {
            QVERIFY(ui.click(clickedFirst));
            Ui::Fixture::settle(500);
            device.clear();
        }
        QElapsedTimer held;
        held.start();
        for (int key : keys)
            QTest::keyPress(ui.window, Qt::Key(key));
        if (keys.size() == 1)
            device.verifyRepeat(payload, held);
        else
            QTRY_VERIFY_WITH_TIMEOUT(device.controls(payload) >= 5, 15000);
        for (int key : keys)
            QTest::keyRelease(ui.window, Qt::Key(key));
        device.verifyOneStop();
    }

    // The window losing the focus ends a held arrow with one stop; the late release adds nothing.
    // F1 shows the help, F (not Ctrl+F) the video on the whole page, and Esc ends both. A text
    // field keeps its keys; Esc leaves it and the keys steer again. Tracking blocks the directions,
    // centre and down.
    void windowKeysAndNoSteeringFromATextFieldOrWhileTracking() {
        QVERIFY(startLinked("zh"));
        QTest::keyPress(ui.window, Qt::Key_Right);
        QTRY_VERIFY_WITH_TIMEOUT(device.controls("00 01 02 00") >= 3, 15000);
        QWindow other;
        other.resize(200, 200);
        other.show();
        other.requestActivate();
        QVERIFY(QTest::qWaitForWindowActive(&other));
        device.verifyOneStop();
        QTest::keyRelease(ui.window, Qt::Key_Right);
        Ui::Fixture::settle(500);
        QCOMPARE(device.stops(), 1);
        other.hide();
        ui.window->requestActivate();
        QVERIFY(QTest::qWaitForWindowActive(ui.window));

        QQuickItem* help = ui.item("helpOverlay");
        QVERIFY(help && !help->isVisible());
        QTest::keyClick(ui.window, Qt::Key_F1);
        QTRY_VERIFY(help->isVisible());
        QTest::keyClick(ui.window, Qt::Key_F, Qt::ControlModifier);
        Ui::Fixture::settle(200);
        QVERIFY(!ui.windowProperty("videoFullscreen").toBool());
        QTest::keyClick(ui.window, Qt::Key_F);
        QTRY_VERIFY(ui.windowProperty("videoFullscreen").toBool());
        QTest::keyClick(ui.window, Qt::Key_Escape);
        QTRY_VERIFY(!ui.windowProperty("videoFullscreen").toBool());
        QVERIFY(!help->isVisible());

        QVERIFY(ui.click("pitchInput"));
        QTRY_VERIFY(ui.item("pitchInput")->hasActiveFocus());
        device.clear();
        for (Qt::Key key : {Qt::Key_Up, Qt::Key_Down, Qt::Key_Home, Qt::Key_End})
            QTest::keyPress(ui.window, key);
        QTest::keyClick(ui.window, Qt::Key_P);
        verifyNothingSent("keys in a text field");
        for (Qt::Key key : {Qt::Key_Up, Qt::Key_Down, Qt::Key_Home, Qt::Key_End})
            QTest::keyRelease(ui.window, key);

        QTest::keyClick(ui.window, Qt::Key_Escape);
        QTRY_VERIFY(!ui.item("pitchInput")->hasActiveFocus());
        QTest::keyClick(ui.window, Qt::Key_End);
        QTRY_VERIFY_WITH_TIMEOUT(device.payloads(MessageId::GimbalControl).contains("20 02 02 00"), 10000);

        Ui::Fixture::settle(1000);  // past the look-down's own resend
        ui.window->setProperty("trackingEnabled", true);
        device.clear();
        QTest::keyPress(ui.window, Qt::Key_Left);
        QTest::keyClick(ui.window, Qt::Key_Home);
        QTest::keyClick(ui.window, Qt::Key_End);
        verifyNothingSent("keys while tracking");
        QTest::keyRelease(ui.window, Qt::Key_Left);
        verifyNothingSent("release while tracking");
    }

    void shortcutsSendTheirCommands_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<uint>("messageId");
        QTest::addColumn<QString>("payload");
        // A control clicked before the key; the message log keeps only its own Ctrl+C and Ctrl+A.
        QTest::addColumn<QString>("clickedFirst");
        // With the link closed first, the command fails and says so in the log.
        QTest::addColumn<QString>("failure");
        QTest::newRow("Home centres") << int(Qt::Key_Home) << uint(MessageId::GimbalControl) << "10 02 02 00"
                                      << QString() << QString();
        QTest::newRow("End looks down after a click in the log")
            << int(Qt::Key_End) << uint(MessageId::GimbalControl) << "20 02 02 00"
            << "messageLogArea" << QString();
        QTest::newRow("+ zooms one step")
            << int(Qt::Key_Plus) << uint(MessageId::ZoomToRatio) << "00 0b 00" << QString() << QString();
        QTest::newRow("P takes a photo") << int(Qt::Key_P) << uint(MessageId::TakePhoto) << QString() << QString()
                                         << QString();
        QTest::newRow("R starts recording")
            << int(Qt::Key_R) << uint(MessageId::Record) << QString() << QString() << QString();
        QTest::newRow("R without a link does not mark recording")
            << int(Qt::Key_R) << uint(MessageId::Record) << QString() << QString()
            << "Failed to send start record command";
    }

    void shortcutsSendTheirCommands() {
        QFETCH(int, key);
        QFETCH(uint, messageId);
        QFETCH(QString, payload);
        QFETCH(QString, clickedFirst);
        QFETCH(QString, failure);
        QVERIFY(startLinked());
        if (!clickedFirst.isEmpty())
            QVERIFY(ui.click(clickedFirst));
        if (!failure.isEmpty()) {
            ui.bridge->disconnectUdp();
            QTest::keyClick(ui.window, Qt::Key(key));
            QTRY_VERIFY_WITH_TIMEOUT(ui.bridge->messageLog().contains(failure), 10000);
            Ui::Fixture::settle();  // the window's state follows the controller on the next turn
            QVERIFY(!ui.windowProperty("isRecording").toBool());
            return;
        }
        QTest::keyClick(ui.window, Qt::Key(key));
        QTRY_VERIFY_WITH_TIMEOUT(!device.payloads(messageId).isEmpty(), 10000);
        if (!payload.isEmpty())
            QCOMPARE(device.payloads(messageId).first(), payload);
        QTRY_COMPARE(ui.windowProperty("isRecording").toBool(), key == Qt::Key_R);
    }

    // Stick, triggers and buttons through SDL, hot-plugged after the start, reach the device as
    // the gimbal tab's commands do. A pad pulled out while its stick is held stops the gimbal once
    // and says so.
    void gamepadSteersZoomsAndPressesButtons() {
        QVERIFY(startLinked());
        QVERIFY(!gamepad->connected());
        auto owned = std::make_unique<VirtualPad>();
        VirtualPad& pad = *owned;
        QVERIFY2(pad.attached(), SDL_GetError());
        waitForPad(true);
        QVERIFY(ui.bridge->messageLog().contains("Gamepad connected: " + kPadName));
        QTRY_VERIFY(ui.read("padStatus", "text").toString().contains(kPadName));

        QElapsedTimer held;
        held.start();
        pad.setAxis(SDL_CONTROLLER_AXIS_LEFTY, -32767);
        device.verifyRepeat("00 02 00 00", held);
        pad.setAxis(SDL_CONTROLLER_AXIS_LEFTY, -4000);  // back inside the dead zone
        device.verifyOneStop();

        device.clear();
        pad.setAxis(SDL_CONTROLLER_AXIS_LEFTX, 32767 / 5);  // 20 %, under the 25 % dead zone
        verifyNothingSent("deflection inside the dead zone");
        pad.setAxis(SDL_CONTROLLER_AXIS_LEFTX, 0);

        // Continuous zoom codes: 0 in, 1 out, 2 stop.
        pad.setAxis(SDL_CONTROLLER_AXIS_TRIGGERRIGHT, 32767);
        QTRY_COMPARE_WITH_TIMEOUT(device.payloads(MessageId::ContinuousZoom), QStringList{"00 00"}, 10000);
        pad.setAxis(SDL_CONTROLLER_AXIS_TRIGGERRIGHT, -32768);
        QTRY_COMPARE_WITH_TIMEOUT(device.payloads(MessageId::ContinuousZoom), (QStringList{"00 00", "02 00"}), 10000);
        pad.setAxis(SDL_CONTROLLER_AXIS_TRIGGERLEFT, 32767);
        QTRY_COMPARE_WITH_TIMEOUT(device.payloads(MessageId::ContinuousZoom).value(2), QString("01 00"), 10000);
        pad.setAxis(SDL_CONTROLLER_AXIS_TRIGGERLEFT, -32768);
        QTRY_COMPARE_WITH_TIMEOUT(device.payloads(MessageId::ContinuousZoom).value(3), QString("02 00"), 10000);

        const struct {
            SDL_GameControllerButton button;
            uint32_t id;
            const char* payload;
        } buttons[] = {{SDL_CONTROLLER_BUTTON_Y, MessageId::GimbalControl, "10 02 02 00"},
                       {SDL_CONTROLLER_BUTTON_X, MessageId::GimbalControl, "20 02 02 00"},
                       {SDL_CONTROLLER_BUTTON_A, MessageId::TakePhoto, nullptr},
                       {SDL_CONTROLLER_BUTTON_B, MessageId::Record, nullptr}};
        for (const auto& b : buttons) {
            device.clear();
            pad.setButton(b.button, true);
            QTRY_VERIFY2_WITH_TIMEOUT(!device.payloads(b.id).isEmpty(), qPrintable(QString::number(b.button)), 10000);
            if (b.payload)
                QCOMPARE(device.payloads(b.id).first(), QString(b.payload));
            pad.setButton(b.button, false);
            Ui::Fixture::settle(1000);  // past a preset's own resend
        }

        // Tracking: the stick is dead, and Back switches tracking off.
        ui.window->setProperty("trackingEnabled", true);
        device.clear();
        pad.setAxis(SDL_CONTROLLER_AXIS_LEFTX, 32767);
        verifyNothingSent("stick while tracking");
        pad.setAxis(SDL_CONTROLLER_AXIS_LEFTX, 0);
        pad.setButton(SDL_CONTROLLER_BUTTON_BACK, true);
        QTRY_VERIFY(!ui.windowProperty("trackingEnabled").toBool());
        QTRY_VERIFY_WITH_TIMEOUT(!device.payloads(MessageId::BoxTracking).isEmpty(), 10000);

        pad.setButton(SDL_CONTROLLER_BUTTON_BACK, false);
        Ui::Fixture::settle(500);
        device.clear();
        pad.setAxis(SDL_CONTROLLER_AXIS_LEFTX, 32767);
        QTRY_VERIFY_WITH_TIMEOUT(device.controls("00 01 02 00") >= 3, 15000);
        owned.reset();
        QTRY_VERIFY_WITH_TIMEOUT(!gamepad->connected(), 10000);
        device.verifyOneStop();
        QVERIFY(ui.bridge->messageLog().contains("Gamepad disconnected: " + kPadName));
    }

    // The dead zone and the buttons come from the configuration file.
    void configuredDeadZoneAndButtons() {
        QVERIFY(startLinked("en", "[Input]\nDeadZone=50\nHomeButton=start\n"));
        VirtualPad pad;
        QVERIFY2(pad.attached(), SDL_GetError());
        waitForPad(true);
        pad.setAxis(SDL_CONTROLLER_AXIS_LEFTY, 32767 * 2 / 5);  // 40 %: inside a 50 % dead zone
        pad.setButton(SDL_CONTROLLER_BUTTON_Y, true);           // no longer mapped
        verifyNothingSent("inside the configured dead zone, unmapped button");
        pad.setButton(SDL_CONTROLLER_BUTTON_START, true);
        QTRY_VERIFY_WITH_TIMEOUT(device.payloads(MessageId::GimbalControl).contains("10 02 02 00"), 10000);
        QCOMPARE(device.payloads(MessageId::GimbalControl).first(), QString("10 02 02 00"));
    }
};

QTEST_MAIN(TestUiInput)
#include "tst_ui_input.moc"
