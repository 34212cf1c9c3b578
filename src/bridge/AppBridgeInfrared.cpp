// Infrared camera commands: palette, image adjustments, super-resolution and thermometry.
#include <algorithm>

#include "AppBridge.h"
#include "CommandPayloads.h"
#include "IrPalettes.h"
#include "protocol/MessageCatalogue.h"

namespace {

constexpr uint8_t kCamera = DeviceId::Camera;

uint8_t percent(int value) {
    return static_cast<uint8_t>(std::clamp(value, 0, 100));
}

}  // namespace

void AppBridge::requestIrSettings() {
    const uint8_t payload[2] = {0x01, 0x00};
    if (!sendCommand(kCamera, MessageId::InfraredReadSettings, payload, sizeof payload)) {
        appendMessage(
            tr2(QStringLiteral("红外参数读取请求下发失败"), QStringLiteral("Failed to send IR settings request")));
    }
}

// The local selection moves even when the send fails; the next settings poll corrects it.
void AppBridge::setIrColorScheme(int scheme) {
    const int code = IrPalettes::codeForPosition(IrPalettes::groupOf(m_currentProduct), m_irPaletteSet, scheme);
    const uint8_t payload[2] = {static_cast<uint8_t>(code), 0};
    if (!sendCommand(kCamera, MessageId::InfraredPalette, payload, sizeof payload)) {
        appendMessage(tr2(QStringLiteral("红外色板设置请求下发失败"),
                          QStringLiteral("Failed to send IR palette setting request")));
    }
    m_currentIrColorSchemeCode = code;
    emitLater({&AppBridge::currentIrColorSchemeChanged});
}

void AppBridge::setIrBrightness(int value) {
    const uint8_t payload[2] = {percent(value), 0};
    if (!sendCommand(kCamera, MessageId::InfraredBrightness, payload, sizeof payload)) {
        appendMessage(tr2(QStringLiteral("红外亮度设置请求下发失败"),
                          QStringLiteral("Failed to send IR brightness setting request")));
    }
}

void AppBridge::setIrContrast(int value) {
    const uint8_t payload[2] = {percent(value), 0};
    if (!sendCommand(kCamera, MessageId::InfraredContrast, payload, sizeof payload)) {
        appendMessage(tr2(QStringLiteral("红外对比度设置请求下发失败"),
                          QStringLiteral("Failed to send IR contrast setting request")));
    }
}

void AppBridge::setIrDenoise(bool enable, int level) {
    const uint8_t payload[3] = {static_cast<uint8_t>(enable ? 1 : 0), percent(level), 0};
    if (!sendCommand(kCamera, MessageId::InfraredDenoise, payload, sizeof payload)) {
        appendMessage(tr2(QStringLiteral("红外降噪设置请求下发失败"),
                          QStringLiteral("Failed to send IR denoise setting request")));
    }
}

void AppBridge::setIrEnhance(bool enable, int level) {
    const uint8_t payload[2] = {CommandPayloads::enhanceLevelByte(enable, level), 0};
    if (!sendCommand(kCamera, MessageId::InfraredEnhance, payload, sizeof payload)) {
        appendMessage(tr2(QStringLiteral("红外增强设置请求下发失败"),
                          QStringLiteral("Failed to send IR enhance setting request")));
    }
}

// Only the nine-palette models have super-resolution.
void AppBridge::setIrSuperRes(bool enable) {
    if (IrPalettes::groupOf(m_currentProduct) != IrPalettes::Group::NinePalettes)
        return;
    const uint8_t payload[2] = {static_cast<uint8_t>(enable ? 1 : 0), 0};
    if (!sendCommand(kCamera, MessageId::InfraredSuperResolution, payload, sizeof payload)) {
        appendMessage(tr2(QStringLiteral("红外超分设置请求下发失败"),
                          QStringLiteral("Failed to send IR super-resolution setting request")));
    }
}

// The device's switch byte is inverted: 0 switches thermometry on.
void AppBridge::setIrTempMeasure(bool enable) {
    const uint8_t payload[2] = {static_cast<uint8_t>(enable ? 0 : 1), 0};
    if (!sendCommand(kCamera, MessageId::InfraredThermometrySwitch, payload, sizeof payload)) {
        appendMessage(
            tr2(QStringLiteral("红外测温开关下发失败"), QStringLiteral("Failed to send IR thermometry switch")));
        return;
    }
    m_irTempMeasureOn = enable;
    if (!enable) {
        // The reported temperatures and their positions stay for the panel to show.
        m_thermo.valid = false;
        m_thermo.pointSelected = false;
        m_thermo.rectCenterX = m_thermo.rectCenterY = m_thermo.rectWidth = m_thermo.rectHeight = 0;
        m_thermo.pointX = m_thermo.pointY = 0;
        m_thermo.pointTemp = 0.0;
    }
    emit irTempMeasureOnChanged();
    emit irThermometryChanged();
}

void AppBridge::setIrTempMeasurePoint(int x, int y) {
    const int px = CommandPayloads::clampThermoX(x);
    const int py = CommandPayloads::clampThermoY(y);
    const auto payload = CommandPayloads::encodeThermometryPoint(px, py);
    if (!sendCommand(kCamera, MessageId::InfraredSpotThermometry, payload.data(), payload.size())) {
        appendMessage(tr2(QStringLiteral("红外点测温下发失败"), QStringLiteral("Failed to send IR thermometry point")));
        return;
    }
    m_thermo.pointSelected = true;
    m_thermo.pointX = px;
    m_thermo.pointY = py;
    m_thermo.rectCenterX = m_thermo.rectCenterY = m_thermo.rectWidth = m_thermo.rectHeight = 0;
    emit irThermometryChanged();
}

void AppBridge::setIrTempMeasureRegion(int centerX, int centerY, int width, int height) {
    const auto region = CommandPayloads::clampThermometryRegion(centerX, centerY, width, height);
    const auto payload = CommandPayloads::encodeThermometryRegion(region);
    if (!sendCommand(kCamera, MessageId::InfraredRegionThermometry, payload.data(), payload.size())) {
        appendMessage(
            tr2(QStringLiteral("红外测温区域下发失败"), QStringLiteral("Failed to send IR thermometry region")));
        return;
    }
    m_thermo.rectCenterX = region.centerX;
    m_thermo.rectCenterY = region.centerY;
    m_thermo.rectWidth = region.width;
    m_thermo.rectHeight = region.height;
    m_thermo.pointSelected = false;
    emit irThermometryChanged();
}

// ---- Palette model

int AppBridge::currentIrColorSchemeComboIndex() const {
    return IrPalettes::positionForCode(IrPalettes::groupOf(m_currentProduct), m_irPaletteSet,
                                       m_currentIrColorSchemeCode);
}

QStringList AppBridge::irColorSchemeNames() const {
    return IrPalettes::names(IrPalettes::groupOf(m_currentProduct), m_irPaletteSet, m_language == QLatin1String("en"));
}

void AppBridge::applyIrColorSchemeFromDevice(int code) {
    const int limit = IrPalettes::codeLimit(IrPalettes::groupOf(m_currentProduct), m_irPaletteSet);
    if (code < 1 || code > limit || code == m_currentIrColorSchemeCode)
        return;
    m_currentIrColorSchemeCode = code;
    emitLater({&AppBridge::currentIrColorSchemeChanged});
}

void AppBridge::applyIrPaletteSetFromDevice(uint8_t set) {
    if (IrPalettes::groupOf(m_currentProduct) != IrPalettes::Group::PaletteSets)
        return;
    const int stored = IrPalettes::normalisedSet(set);
    if (stored == m_irPaletteSet)
        return;
    m_irPaletteSet = stored;
    if (m_currentIrColorSchemeCode > IrPalettes::paletteCount(m_irPaletteSet))
        m_currentIrColorSchemeCode = 1;
    emitLater({&AppBridge::irColorSchemeModelChanged, &AppBridge::currentIrColorSchemeChanged});
}
