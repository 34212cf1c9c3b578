// Gimbal motion: press-and-hold directions, the three presets and absolute angles, and the
// once-only resend of a preset or angle frame the device has not settled within 400 ms.
#include <QDebug>
#include <QTimer>

#include "AppBridge.h"
#include "CommandPayloads.h"
#include "ProductModel.h"
#include "protocol/FrameCodec.h"
#include "protocol/MessageCatalogue.h"

namespace {

constexpr int kAckTimeoutMs = 400;

}  // namespace

int AppBridge::gimbalDestinationId() const {
    return productGimbalDestinationId(m_currentProduct);
}

// Sent again every 33 ms by the panel while a button is held: no acknowledgement state.
void AppBridge::gimbalMove(int yawDir, int pitchDir) {
    const auto payload = CommandPayloads::encodeGimbalMove(yawDir, pitchDir);
    sendCommand(static_cast<uint8_t>(gimbalDestinationId()), MessageId::GimbalControl, payload.data(),
                static_cast<uint8_t>(payload.size()));
}

bool AppBridge::gimbalStop() {
    return sendGimbalPreset(CommandPayloads::encodeGimbalControl(CommandPayloads::kGimbalManual));
}

void AppBridge::gimbalHome() {
    sendGimbalPreset(CommandPayloads::encodeGimbalControl(CommandPayloads::kGimbalCentre));
}

void AppBridge::gimbalDown() {
    sendGimbalPreset(CommandPayloads::encodeGimbalControl(CommandPayloads::kGimbalLookDown));
}

// The state and the timer are set up even when the send fails; the resend then fails the same way.
bool AppBridge::sendGimbalPreset(const std::array<uint8_t, 4>& payload) {
    m_angleAckPending = false;  // a preset supersedes a pending angle
    m_motionAckPending = true;
    m_motionRetried = false;
    ++m_motionCommandCount;
    m_lastMotionPayload = payload;
    m_lastMotionDestination = static_cast<uint8_t>(gimbalDestinationId());
    const bool sent = sendCommand(m_lastMotionDestination, MessageId::GimbalControl, payload.data(),
                                  static_cast<uint8_t>(payload.size()));
    QTimer::singleShot(kAckTimeoutMs, this, &AppBridge::onMotionAckTimeout);
    return sent;
}

// Timers are never cancelled: each acts on the state as it finds it. Only the wait after a copy
// is tied to its own command: a stop pressed during it must still get its resend.
void AppBridge::onMotionAckTimeout() {
    if (!m_motionAckPending)
        return;
    if (m_motionRetried) {
        m_motionAckPending = false;
        return;
    }
    qDebug().noquote() << QStringLiteral("[云台控制] 设备%1 ms内未确认，重发一次").arg(kAckTimeoutMs);
    resendMotionOnce();
}

void AppBridge::resendMotionOnce() {
    sendCommand(m_lastMotionDestination, MessageId::GimbalControl, m_lastMotionPayload.data(),
                static_cast<uint8_t>(m_lastMotionPayload.size()));
    m_motionRetried = true;
    QTimer::singleShot(kAckTimeoutMs, this, [this, command = m_motionCommandCount] {
        if (command == m_motionCommandCount)
            m_motionAckPending = false;
    });
}

void AppBridge::gimbalSetAngle(double pitchDeg, double yawDeg) {
    if (!linkOpen()) {
        appendMessage(
            tr2(QStringLiteral("角度设置：请先连接UDP或UART"), QStringLiteral("Set angle: connect UDP or UART first")));
        return;
    }
    const CommandPayloads::GimbalAngle angle = CommandPayloads::clampGimbalAngle(pitchDeg, yawDeg);
    if (angle.pitch == 0.0 && angle.yaw == 0.0) {
        qDebug().noquote() << QStringLiteral("[角度设置] 俯仰:0° 方位:0° -> 云台回中(0x000010)");
        gimbalHome();
        return;
    }
    const auto payload = CommandPayloads::encodeSetAngle(angle.pitch, angle.yaw);
    const auto destination = static_cast<uint8_t>(gimbalDestinationId());
    qDebug().noquote() << QStringLiteral("[角度设置] 俯仰:%1° 方位:%2° -> 0x000012 target=0x%3")
                              .arg(QString::number(angle.pitch, 'g', 6), QString::number(angle.yaw, 'g', 6))
                              .arg(destination, 2, 16, QLatin1Char('0'));
    if (!sendCommand(destination, MessageId::GimbalSetAngle, payload.data(), static_cast<uint8_t>(payload.size()))) {
        appendMessage(tr2(QStringLiteral("角度设置发送失败"), QStringLiteral("Angle set send failed")));
        return;
    }
    m_angleAckPending = true;
    m_angleRetried = false;
    ++m_angleCommandCount;
    m_lastAngleDestination = destination;
    m_lastAnglePayload = payload;
    QTimer::singleShot(kAckTimeoutMs, this, &AppBridge::onAngleAckTimeout);
}

// Like a preset, the copy stays pending for another 400 ms so that the device's answer to it is
// still reported; nothing goes out a third time.
void AppBridge::onAngleAckTimeout() {
    if (!m_angleAckPending)
        return;
    if (m_angleRetried) {
        m_angleAckPending = false;
        return;
    }
    resendAngleOnce();
}

void AppBridge::resendAngleOnce() {
    sendCommand(m_lastAngleDestination, MessageId::GimbalSetAngle, m_lastAnglePayload.data(),
                static_cast<uint8_t>(m_lastAnglePayload.size()));
    m_angleRetried = true;
    QTimer::singleShot(kAckTimeoutMs, this, [this, command = m_angleCommandCount] {
        if (command == m_angleCommandCount)
            m_angleAckPending = false;
    });
}

// The device answers 0x000010 with the reply 0x010010 or the report 0x020010, both carrying the
// result in bytes 0-1; whichever comes first settles the command and the other finds nothing
// pending. Answers to press-and-hold moves find nothing pending either and stay silent.
void AppBridge::handleGimbalControlAck(const ParsedFrame& frame, FrameLink) {
    if (!m_motionAckPending)
        return;
    if (frame.payload[0] == 0 && frame.payload[1] == 0) {
        m_motionAckPending = false;
        appendMessage(
            tr2(QStringLiteral("设备已确认云台控制成功"), QStringLiteral("Gimbal control confirmed by device")));
        return;
    }
    appendMessage(
        tr2(QStringLiteral("云台控制失败，重发一次"), QStringLiteral("Gimbal control failed, resending once")));
    if (m_motionRetried) {
        m_motionAckPending = false;  // already sent twice: give up
        return;
    }
    resendMotionOnce();
}

// 0x000012 answered by 0x010012 or 0x020012. A refusal sends the angle once more at once instead
// of waiting for the timer, and the answer to that copy is reported too: an angle that succeeds
// on the second attempt is confirmed, one refused twice is reported twice. Either way it goes out
// at most twice.
void AppBridge::handleSetAngleAck(const ParsedFrame& frame, FrameLink) {
    if (!m_angleAckPending)
        return;
    if (frame.payload[0] == 0 && frame.payload[1] == 0) {
        m_angleAckPending = false;
        appendMessage(tr2(QStringLiteral("设备已确认角度设置成功"), QStringLiteral("Angle set confirmed by device")));
        return;
    }
    appendMessage(tr2(QStringLiteral("设备响应角度设置失败"), QStringLiteral("Angle set failed")));
    if (m_angleRetried) {
        m_angleAckPending = false;  // already sent twice: give up
        return;
    }
    resendAngleOnce();
}
