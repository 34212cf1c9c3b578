// Gamepad input: SDL's game-controller subsystem only (no SDL video or audio), polled by a timer on
// the GUI thread. Pads come and go through SDL's device events; the first one present is used.
#include "GamepadInput.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>

#include <SDL.h>

#include "app/AppConfig.h"
#include "app/SafeFiles.h"
#include "app/elog.h"
#include "bridge/AppBridge.h"

namespace {

// With a pad: often enough that a released stick stops the gimbal well within one 33 ms repeat.
// Without one only SDL's device events are looked at, and a pad plugged in is taken up within
// a quarter of a second; the program then does not wake a hundred times a second for nothing.
constexpr int kPadPollIntervalMs = 10;
constexpr int kHotplugPollIntervalMs = 250;
constexpr int kAxisFullScale = 32767;

struct ActionSetting {
    const char* key;
    const char* defaultButton;
    const char* action;
};

// In the order of GamepadInput::Action.
constexpr std::array<ActionSetting, GamepadInput::ActionCount> kActionSettings{{
    {"Input/HomeButton", "y", "home"},
    {"Input/DownButton", "x", "down"},
    {"Input/PhotoButton", "a", "photo"},
    {"Input/RecordButton", "b", "record"},
    {"Input/TrackingOffButton", "back", "trackingOff"},
}};

// -1, 0 or 1: the side of the dead zone the axis is on.
int axisDirection(int value, int threshold) {
    if (value > threshold)
        return 1;
    if (value < -threshold)
        return -1;
    return 0;
}

int buttonFromSetting(const ActionSetting& setting) {
    const QString name = AppConfig::stringValue(setting.key, setting.defaultButton).trimmed().toLower();
    const SDL_GameControllerButton button = SDL_GameControllerGetButtonFromString(name.toUtf8().constData());
    if (button != SDL_CONTROLLER_BUTTON_INVALID)
        return button;
    qWarning() << "[gamepad] unknown button name" << name << "for" << setting.key << "- using" << setting.defaultButton;
    return SDL_GameControllerGetButtonFromString(setting.defaultButton);
}

}  // namespace

GamepadInput::GamepadInput(AppBridge* bridge, QObject* parent) : QObject(parent), m_bridge(bridge) {
    readSettings();
    if (!AppConfig::boolValue(QStringLiteral("Input/Gamepad"), true))
        return;
    // The program has its own signal handling and no SDL window: SDL must not take SIGINT, and
    // must report pads without a focused SDL window.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
    if (SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) != 0) {
        qWarning() << "[gamepad] SDL game-controller subsystem unavailable:" << SDL_GetError();
        return;
    }
    m_sdlStarted = true;
    for (const ActionSetting& setting : kActionSettings)
        m_buttons[static_cast<size_t>(&setting - kActionSettings.data())] = buttonFromSetting(setting);
    loadMappingFile();
    m_pollTimer.setInterval(kHotplugPollIntervalMs);
    openFirstPad();
    connect(&m_pollTimer, &QTimer::timeout, this, &GamepadInput::poll);
    m_pollTimer.start();
}

GamepadInput::~GamepadInput() {
    if (!m_sdlStarted)
        return;
    if (m_pad)
        SDL_GameControllerClose(m_pad);
    SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER);
}

void GamepadInput::readSettings() {
    m_deadZonePercent = qBound(5, AppConfig::intValue(QStringLiteral("Input/DeadZone"), 25), 95);
    m_threshold = kAxisFullScale * m_deadZonePercent / 100;
}

// Pads SDL does not know, from a file in SDL's mapping database format.
void GamepadInput::loadMappingFile() {
    const QString mappingFile = AppConfig::stringValue(QStringLiteral("Input/MappingFile")).trimmed();
    if (mappingFile.isEmpty())
        return;
    // A relative path is taken beside the executable, like the configuration file itself.
    const QString path = QDir(QCoreApplication::applicationDirPath()).absoluteFilePath(mappingFile);
    // SDL would wait forever in the open of a FIFO, before the window ever shows.
    if (SafeFiles::kindOf(path) == SafeFiles::Kind::Other) {
        const QByteArray text = QStringLiteral("mapping file %1 is %2, not a regular file: not read")
                                    .arg(path, SafeFiles::describe(path))
                                    .toUtf8();
        qWarning("[gamepad] %s", text.constData());
        elog_w("app", "Gamepad %s", text.constData());
        return;
    }
    const int added = SDL_GameControllerAddMappingsFromFile(path.toLocal8Bit().constData());
    if (added < 0)
        qWarning() << "[gamepad] cannot read mapping file" << path << ":" << SDL_GetError();
    else
        qInfo() << "[gamepad]" << added << "mappings from" << path;
}

QVariantMap GamepadInput::buttonNames() const {
    QVariantMap names;
    for (size_t i = 0; i < kActionSettings.size(); ++i) {
        const char* name =
            m_sdlStarted ? SDL_GameControllerGetStringForButton(static_cast<SDL_GameControllerButton>(m_buttons[i]))
                         : kActionSettings[i].defaultButton;
        QString shown = QString::fromLatin1(name);
        if (!shown.isEmpty())
            shown[0] = shown[0].toUpper();  // "Y", "Back", "Leftshoulder"
        names.insert(QString::fromLatin1(kActionSettings[i].action), shown);
    }
    return names;
}

void GamepadInput::releaseAll() {
    setDirection(0, 0);
    setZoom(0);
}

void GamepadInput::poll() {
    if (!m_sdlStarted)
        return;
    handleEvents();
    if (m_pad)
        readState();
}

// Device events only; the pad's state is read as a whole afterwards.
void GamepadInput::handleEvents() {
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
        if (event.type == SDL_CONTROLLERDEVICEADDED && !m_pad) {
            openPad(event.cdevice.which);
        } else if (event.type == SDL_CONTROLLERDEVICEREMOVED && m_pad && event.cdevice.which == m_padInstance) {
            closePad();
            openFirstPad();
        }
    }
}

void GamepadInput::openFirstPad() {
    for (int index = 0; index < SDL_NumJoysticks() && !m_pad; ++index)
        if (SDL_IsGameController(index))
            openPad(index);
}

void GamepadInput::openPad(int deviceIndex) {
    SDL_GameController* pad = SDL_GameControllerOpen(deviceIndex);
    if (!pad) {
        qWarning() << "[gamepad] cannot open pad" << deviceIndex << ":" << SDL_GetError();
        return;
    }
    m_pad = pad;
    m_padInstance = SDL_JoystickInstanceID(SDL_GameControllerGetJoystick(pad));
    const char* name = SDL_GameControllerName(pad);
    m_padName = name ? QString::fromUtf8(name) : QStringLiteral("Gamepad");
    m_pollTimer.setInterval(kPadPollIntervalMs);
    // Buttons already down when the pad arrives are not presses.
    for (size_t i = 0; i < m_buttons.size(); ++i)
        m_buttonDown[i] = SDL_GameControllerGetButton(pad, static_cast<SDL_GameControllerButton>(m_buttons[i])) != 0;
    if (m_bridge)
        m_bridge->appendMessage(
            m_bridge->tr2(QStringLiteral("手柄已连接：%1"), QStringLiteral("Gamepad connected: %1")).arg(m_padName));
    emit padChanged();
}

// A pad pulled out while it steers or zooms: the motion ends at once.
void GamepadInput::closePad() {
    releaseAll();
    SDL_GameControllerClose(m_pad);
    m_pad = nullptr;
    m_padInstance = -1;
    m_pollTimer.setInterval(kHotplugPollIntervalMs);
    const QString name = m_padName;
    m_padName.clear();
    if (m_bridge)
        m_bridge->appendMessage(
            m_bridge->tr2(QStringLiteral("手柄已断开：%1"), QStringLiteral("Gamepad disconnected: %1")).arg(name));
    emit padChanged();
}

void GamepadInput::readState() {
    setDirection(axisDirection(SDL_GameControllerGetAxis(m_pad, SDL_CONTROLLER_AXIS_LEFTX), m_threshold),
                 axisDirection(SDL_GameControllerGetAxis(m_pad, SDL_CONTROLLER_AXIS_LEFTY), m_threshold));
    const bool zoomIn = SDL_GameControllerGetAxis(m_pad, SDL_CONTROLLER_AXIS_TRIGGERRIGHT) > m_threshold;
    const bool zoomOut = SDL_GameControllerGetAxis(m_pad, SDL_CONTROLLER_AXIS_TRIGGERLEFT) > m_threshold;
    setZoom(zoomIn ? 1 : (zoomOut ? -1 : 0));
    for (size_t i = 0; i < m_buttons.size(); ++i) {
        const bool down = SDL_GameControllerGetButton(m_pad, static_cast<SDL_GameControllerButton>(m_buttons[i])) != 0;
        if (down && !m_buttonDown[i])
            emit buttonPressed(QString::fromLatin1(kActionSettings[i].action));
        m_buttonDown[i] = down;
    }
}

void GamepadInput::setDirection(int yaw, int pitch) {
    if (yaw == m_yaw && pitch == m_pitch)
        return;
    const bool wasHeld = m_yaw != 0 || m_pitch != 0;
    m_yaw = yaw;
    m_pitch = pitch;
    if (yaw != 0 || pitch != 0)
        emit directionHeld(yaw, pitch);
    else if (wasHeld)
        emit directionReleased();
}

void GamepadInput::setZoom(int action) {
    if (action == m_zoom)
        return;
    m_zoom = action;
    emit zoomChanged(action);
}
