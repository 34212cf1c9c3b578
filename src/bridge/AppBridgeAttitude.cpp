// The gimbal's attitude report: where the camera points, ten times a second.
#include "AppBridge.h"
#include "ReportDecoders.h"
#include "protocol/FrameCodec.h"

void AppBridge::handleAttitudeReport(const ParsedFrame& frame, FrameLink) {
    const DeviceReports::Attitude attitude = DeviceReports::decodeAttitude(frame.payload);
    m_gimbalYaw = attitude.yaw;
    m_gimbalPitch = attitude.pitch;
    m_gimbalRoll = attitude.roll;
    m_gimbalAttitudeTime = QDateTime::currentDateTime();
    emit gimbalAttitudeChanged();
}

// A new link or product must report its attitude afresh; until then the angles are unknown.
void AppBridge::forgetGimbalAttitude() {
    if (!m_gimbalAttitudeTime.isValid())
        return;
    m_gimbalYaw = m_gimbalPitch = m_gimbalRoll = 0.0;
    m_gimbalAttitudeTime = QDateTime();
    emit gimbalAttitudeChanged();
}
