// The gimbal: direction and angle commands, the preset postures and the attitude report.
#include <cmath>

#include "DeviceModel.h"
#include "protocol/MessageCatalogue.h"

using namespace DeviceBytes;

namespace {
constexpr double kManualSpeedDegPerS = 20.0;
constexpr double kSlewSpeedDegPerS = 60.0;
constexpr qint64 kManualHoldTimeoutMs = 500;  // the operator's interface repeats a held direction every 33 ms
constexpr double kPitchMin = -90.0;
constexpr double kPitchMax = 90.0;

// Control-message direction bytes, 2 = hold on both axes. Yaw: 1 positive (right), 0 negative.
// Pitch: 0 is the same physical direction as the set-angle message's pitch code 0, a positive
// angle (up), and 1 down; the operator's up arrow, key and stick send 0.
double yawSign(quint8 code) {
    return code == 1 ? 1.0 : code == 0 ? -1.0 : 0.0;
}

double pitchSign(quint8 code) {
    return code == 0 ? 1.0 : code == 1 ? -1.0 : 0.0;
}

double wrapYaw(double yaw) {
    while (yaw > 180.0)
        yaw -= 360.0;
    while (yaw <= -180.0)
        yaw += 360.0;
    return yaw;
}

double approach(double from, double to, double step) {
    if (std::abs(to - from) <= step)
        return to;
    return from + (to > from ? step : -step);
}
}  // namespace

DeviceFrames DeviceModel::onGimbalControl(const Request& r) {
    const quint8 mode = r.p[0];
    switch (mode) {
        case 0x00:
            m_gimbal.hasTarget = false;
            m_gimbal.yawSpeed = yawSign(r.p[1]) * kManualSpeedDegPerS;
            m_gimbal.pitchSpeed = pitchSign(r.p[2]) * kManualSpeedDegPerS;
            m_gimbal.lastMoveMs = r.nowMs;
            break;
        case 0x10:  // centre
            m_gimbal.yawSpeed = m_gimbal.pitchSpeed = 0;
            m_gimbal.hasTarget = true;
            m_gimbal.targetPitch = 0;
            m_gimbal.targetYaw = 0;
            break;
        case 0x20:  // look down
            m_gimbal.yawSpeed = m_gimbal.pitchSpeed = 0;
            m_gimbal.hasTarget = true;
            m_gimbal.targetPitch = -90;
            m_gimbal.targetYaw = m_gimbal.yaw;
            break;
        default:
            return {reply(r.number, {}, 1)};
    }
    return {reply(r.number)};
}

// Pitch sign code 0 positive / 1 negative, yaw sign code 1 positive / 0 negative, 2 = zero.
DeviceFrames DeviceModel::onSetAngle(const Request& r) {
    const double pitchMagnitude = u16(r.p + 1) / 100.0;
    const double yawMagnitude = u16(r.p + 4) / 100.0;
    const double pitch = r.p[0] == 0 ? pitchMagnitude : r.p[0] == 1 ? -pitchMagnitude : 0.0;
    const double yaw = r.p[3] == 1 ? yawMagnitude : r.p[3] == 0 ? -yawMagnitude : 0.0;
    m_gimbal.yawSpeed = m_gimbal.pitchSpeed = 0;
    m_gimbal.hasTarget = true;
    m_gimbal.targetPitch = qBound(kPitchMin, pitch, kPitchMax);
    m_gimbal.targetYaw = qBound(-180.0, yaw, 180.0);
    return {reply(r.number)};
}

DeviceFrames DeviceModel::onGimbalVersion(const Request& r) {
    QByteArray extra;
    for (quint8 b : m_profile.gimbalHardware)
        extra.append(char(b));
    for (quint8 b : m_profile.gimbalSoftware)
        extra.append(char(b));
    extra.append(char(0));
    return {reply(r.number, extra)};
}

void DeviceModel::advanceGimbal(double seconds, qint64 nowMs) {
    Gimbal& g = m_gimbal;
    if ((g.yawSpeed != 0 || g.pitchSpeed != 0) && nowMs - g.lastMoveMs > kManualHoldTimeoutMs)
        g.yawSpeed = g.pitchSpeed = 0;  // a held direction whose repeats stopped
    if (g.hasTarget) {
        g.pitch = approach(g.pitch, g.targetPitch, kSlewSpeedDegPerS * seconds);
        g.yaw = approach(g.yaw, g.targetYaw, kSlewSpeedDegPerS * seconds);
        g.hasTarget = g.pitch != g.targetPitch || g.yaw != g.targetYaw;
        return;
    }
    g.pitch = qBound(kPitchMin, g.pitch + g.pitchSpeed * seconds, kPitchMax);
    g.yaw = wrapYaw(g.yaw + g.yawSpeed * seconds);
}

// 20 bytes: angular speeds (yaw, roll, pitch) then angles (yaw, roll, pitch), each a signed
// 16-bit value in hundredths of a degree (per second), the rest reserved.
DeviceFrame DeviceModel::attitudeReport() const {
    QByteArray payload;
    const double speeds[3] = {m_gimbal.yawSpeed, 0.0, m_gimbal.pitchSpeed};
    const double angles[3] = {m_gimbal.yaw, m_gimbal.roll, m_gimbal.pitch};
    for (double speed : speeds)
        put16(payload, int(std::lround(speed * 100)));
    for (double angle : angles)
        put16(payload, int(std::lround(angle * 100)));
    payload.append(QByteArray(20 - payload.size(), 0));
    DeviceFrame frame = report(reportIdOf(MessageId::GimbalAttitude), payload);
    frame.sender = DeviceId::Gimbal;
    return frame;
}
