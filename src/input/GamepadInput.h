#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <QVariantMap>

#include <array>

class AppBridge;
struct _SDL_GameController;

// One gamepad or joystick read through SDL2's game-controller interface on the GUI thread. The
// class only reports the operator's intent (a held direction, continuous zoom, a pressed button);
// the interface routes it to the same calls as the gimbal tab, so that one set of rules (the
// repeat while held, the one stop on release, nothing while tracking) governs every input.
//
// Settings, read once at construction from the [Input] group of the configuration file:
//   Gamepad (bool, true), DeadZone (percent of full deflection, 25), MappingFile (SDL mapping
//   database, none), HomeButton (y), DownButton (x), PhotoButton (a), RecordButton (b),
//   TrackingOffButton (back). Button names are SDL's game-controller names.
class GamepadInput : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool connected READ connected NOTIFY padChanged)
    Q_PROPERTY(QString padName READ padName NOTIFY padChanged)
    Q_PROPERTY(QVariantMap buttonNames READ buttonNames CONSTANT)
    Q_PROPERTY(int deadZonePercent READ deadZonePercent CONSTANT)

public:
    // The actions a button can be mapped to, in the order of buttonNames().
    enum Action { Home, Down, Photo, Record, TrackingOff, ActionCount };

    explicit GamepadInput(AppBridge* bridge, QObject* parent = nullptr);
    ~GamepadInput() override;

    bool connected() const { return m_pad != nullptr; }
    QString padName() const { return m_padName; }
    QVariantMap buttonNames() const;
    int deadZonePercent() const { return m_deadZonePercent; }
    // False when SDL could not start its game-controller subsystem (or the pad is switched off).
    bool available() const { return m_sdlStarted; }

    // Forgets the held stick and triggers (reporting a release for each), so that a deflection
    // still held afterwards counts as a new one: used when the window loses the focus.
    Q_INVOKABLE void releaseAll();

    // Reads events and the pad's state once; the poll timer calls it, tests may call it directly.
    void poll();

signals:
    void padChanged();
    // The stick left the dead zone or changed direction: yaw and pitch are -1, 0 or 1 each
    // (pitch -1 is up, as on the gimbal tab's pad).
    void directionHeld(int yaw, int pitch);
    // The stick came back into the dead zone, or the pad holding it went away.
    void directionReleased();
    // Continuous zoom: 1 in (right trigger), -1 out (left trigger), 0 when both are let go.
    void zoomChanged(int action);
    // A mapped button went down: "home", "down", "photo", "record" or "trackingOff".
    void buttonPressed(const QString& action);

private:
    void readSettings();
    void loadMappingFile();
    void handleEvents();
    void openFirstPad();
    void openPad(int deviceIndex);
    void closePad();
    void readState();
    void setDirection(int yaw, int pitch);
    void setZoom(int action);

    AppBridge* m_bridge;
    QTimer m_pollTimer;
    bool m_sdlStarted = false;
    _SDL_GameController* m_pad = nullptr;
    int m_padInstance = -1;
    QString m_padName;
    int m_deadZonePercent = 25;
    int m_threshold = 0;
    std::array<int, ActionCount> m_buttons{};
    std::array<bool, ActionCount> m_buttonDown{};
    int m_yaw = 0;
    int m_pitch = 0;
    int m_zoom = 0;
};
