// The send path every command goes through: one frame, the next sequence number, one write.
#include <QByteArray>

#include "AppBridge.h"
#include "protocol/FrameCodec.h"
#include "protocol/ProtocolTrace.h"

namespace {

constexpr uint8_t kApplicationDeviceId = 1;
constexpr uint8_t kFixedHeaderByte = 1;

}  // namespace

bool AppBridge::sendCommand(uint8_t receiver, uint32_t messageId, const uint8_t* payload, uint8_t length) {
    uint8_t frame[kMaxFrameLength] = {};
    const uint8_t sequence = m_txSequence++;  // taken even when the build fails; wraps 255 -> 0
    const uint16_t frameLength = buildFrame(frame, receiver, kFixedHeaderByte, sequence, kApplicationDeviceId,
                                            kFixedHeaderByte, messageId, payload, length);
    if (frameLength == 0) {
        appendMessage(tr2(QStringLiteral("封包失败"), QStringLiteral("Build frame failed")));
        return false;
    }
    return sendFrame(frame, frameLength);
}

bool AppBridge::sendFrame(const uint8_t* frame, uint16_t length) {
    const char* bytes = reinterpret_cast<const char*>(frame);
    const char* linkName = m_serialOpened ? "UART" : "UDP";
    if (m_serialOpened) {
        if (!m_uart.write(QByteArray(bytes, length)))
            return false;
    } else if (m_udpConnected && m_udpTargetPort != 0) {
        if (m_udpSocket.writeDatagram(bytes, length, m_udpTargetAddress, m_udpTargetPort) != length)
            return false;
    } else {
        appendMessage(tr2(QStringLiteral("未连接UDP/UART，发送失败"), QStringLiteral("No UDP/UART link, send failed")));
        return false;
    }
    if (length >= kFrameOverhead) {
        traceFrame("TX", linkName, frame, length, frame[2], frame[5],
                   uint32_t(frame[7]) | (uint32_t(frame[8]) << 8) | (uint32_t(frame[9]) << 16), frame[4], frame[1]);
    }
    return true;
}
