// Status reports of the infrared camera and the laser range finder.
#include "AppBridge.h"
#include "CommandPayloads.h"
#include "ReportDecoders.h"
#include "protocol/FrameCodec.h"

namespace {

constexpr int kThermometryPaletteBytes = 34;

}  // namespace

void AppBridge::handleThermometryReport(const ParsedFrame& frame, FrameLink) {
    if (frame.payloadLength >= kThermometryPaletteBytes)
        applyIrPaletteSetFromDevice(frame.payload[30]);
    if (!m_irTempMeasureOn)
        return;
    const DeviceReports::Thermometry report = DeviceReports::decodeThermometry(frame.payload);
    const DeviceReports::MeasuringArea area = DeviceReports::measuringArea(m_thermo.rectCenterX, m_thermo.rectCenterY,
                                                                           m_thermo.rectWidth, m_thermo.rectHeight);
    m_thermo.valid = DeviceReports::thermometryUsable(report, area);
    if (m_thermo.valid) {
        using CommandPayloads::clampThermoX;
        using CommandPayloads::clampThermoY;
        m_thermo.avgTemp = report.avgTemp / 10.0;
        m_thermo.maxTemp = report.maxTemp / 10.0;
        m_thermo.minTemp = report.minTemp / 10.0;
        m_thermo.pointTemp = report.spotTemp / 10.0;
        m_thermo.maxX = clampThermoX(report.maxX);
        m_thermo.maxY = clampThermoY(report.maxY);
        m_thermo.minX = clampThermoX(report.minX);
        m_thermo.minY = clampThermoY(report.minY);
        m_thermo.pointX = clampThermoX(report.spotX);
        m_thermo.pointY = clampThermoY(report.spotY);
    }
    emit irThermometryChanged();
}

// Report 0x000100 and reply 0x010100 carry the same settings and get the same handling on both
// links: the palette in use, the palette re-send after a Tern camera restart, the zoom level.
void AppBridge::handleIrSettings(const ParsedFrame& frame, FrameLink) {
    if (frame.payload[0] != 0 || frame.payload[1] != 0)
        return;  // the report form carries a result code too; only a good answer counts
    applyIrColorSchemeFromDevice(frame.payload[2]);
    if (m_irColorSchemeReapplyPending && m_currentProduct == QLatin1String("Tern")) {
        m_irColorSchemeReapplyPending = false;
        setIrColorScheme(0);
    }
    const auto level = DeviceReports::infraredZoomLevel(frame.payload[3]);
    if (!level)
        return;
    emit irZoomFeedbackReceived(*level);
    setAndNotify(m_currentIrZoom, double(*level), &AppBridge::currentIrZoomChanged);
}

void AppBridge::handleLaserPeriodicReport(const ParsedFrame& frame, FrameLink) {
    const bool ok = frame.payload[0] == 0 && frame.payload[1] == 0;
    const int raw = frame.payload[2] | (frame.payload[3] << 8);
    if (ok) {
        m_laserRangeValid = raw != 0;
        m_laserRangeDistance = raw / 10.0;
        emitLater({&AppBridge::laserRangeChanged});
    }
    const QString distance = QString::number(m_laserRangeDistance, 'f', 2);
    if (m_laserPeriodicActive) {
        if (!ok) {
            appendMessage(tr2(QStringLiteral("连续测距失败"), QStringLiteral("Continuous range failed")));
        } else if (raw == 0) {
            appendMessage(tr2(QStringLiteral("连续测距成功: 无效(无值)"),
                              QStringLiteral("Continuous range: Invalid (no value)")));
        } else {
            appendMessage(
                tr2(QStringLiteral("连续测距成功: %1 m"), QStringLiteral("Continuous range: %1 m")).arg(distance));
        }
        return;
    }
    if (m_laserResultShown)
        return;
    m_laserResultShown = true;
    if (!ok) {
        appendMessage(tr2(QStringLiteral("连续测距已停止，响应失败:"),
                          QStringLiteral("Continuous range stopped, response failed:")));
    } else if (raw == 0) {
        appendMessage(tr2(QStringLiteral("连续测距已停止，结果: 无效(无值)"),
                          QStringLiteral("Continuous range stopped, result: Invalid (no value)")));
    } else {
        appendMessage(
            tr2(QStringLiteral("连续测距已停止，结果: %1 m"), QStringLiteral("Continuous range stopped, result: %1 m"))
                .arg(distance));
    }
}
