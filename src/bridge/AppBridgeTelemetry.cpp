// The telemetry that recordings and snapshots carry: the controller's view of the device, handed
// to the video side whenever a part of it changes. Readings age there by their own time stamps, so
// nothing needs to be published while the device is quiet, except the silence itself.
#include <QDateTime>

#include "AppBridge.h"
#include "video/Telemetry.h"

namespace {

constexpr int kDefaultStaleAfterSec = 3;

// The camera the stream shows, by the output mode the device reports (-1: not reported yet).
QString sensorOf(int streamModeIndex) {
    switch (streamModeIndex) {
        case 0:
            return QStringLiteral("IR");
        case 1:
            return QStringLiteral("EO");
        case 2:
            return QStringLiteral("EO/IR");
        default:
            return {};
    }
}

}  // namespace

void AppBridge::setUpTelemetryFeed() {
    const auto publish = [this] { publishTelemetry(); };
    connect(this, &AppBridge::laserRangeChanged, this, [this] {
        m_laserRangeTimeMs = QDateTime::currentMSecsSinceEpoch();
        publishTelemetry();
    });
    for (const auto signal :
         {&AppBridge::gimbalAttitudeChanged, &AppBridge::currentVisibleZoomChanged, &AppBridge::currentIrZoomChanged,
          &AppBridge::irTempMeasureOnChanged, &AppBridge::irThermometryChanged, &AppBridge::deviceSilentChanged,
          &AppBridge::currentProductChanged, &AppBridge::cameraStatusChanged, &AppBridge::languageChanged,
          &AppBridge::linkOpenChanged})
        connect(this, signal, this, publish);
    publishTelemetry();
}

void AppBridge::publishTelemetry() {
    Telemetry telemetry;
    telemetry.product = m_currentProduct;
    telemetry.chinese = m_language == QLatin1String("zh");
    telemetry.deviceSilent = m_deviceSilent;
    telemetry.staleAfterMs = (m_silenceTimeoutSec > 0 ? m_silenceTimeoutSec : kDefaultStaleAfterSec) * 1000;
    // Only what the device on the open link has told counts.
    if (!linkOpen()) {
        TelemetryFeed::publish(telemetry);
        return;
    }
    telemetry.sensor = sensorOf(m_cameraStreamModeIndex);
    telemetry.hasAttitude = m_gimbalAttitudeTime.isValid();
    telemetry.yawDeg = m_gimbalYaw;
    telemetry.pitchDeg = m_gimbalPitch;
    telemetry.rollDeg = m_gimbalRoll;
    telemetry.attitudeMs = m_gimbalAttitudeTime.toMSecsSinceEpoch();
    telemetry.hasSlantRange = m_laserRangeValid;
    telemetry.slantRangeM = m_laserRangeDistance;
    telemetry.slantRangeMs = m_laserRangeTimeMs;
    telemetry.hasZoom = m_cameraStatusAvailable || m_lastDeviceFrame.isValid();
    telemetry.zoom = m_cameraStreamModeIndex == 0 ? m_currentIrZoom : m_currentVisibleZoom;
    telemetry.thermometryOn = m_irTempMeasureOn && m_thermo.valid;
    telemetry.maxTempC = m_thermo.maxTemp;
    telemetry.minTempC = m_thermo.minTemp;
    TelemetryFeed::publish(telemetry);
}
