// Inbound handling: serial bytes and UDP datagrams become validated, counted frames.
#include <QDebug>
#include <QHostAddress>

#include <algorithm>

#include "AppBridge.h"
#include "AppBridgePayloads.h"
#include "protocol/FrameCodec.h"
#include "protocol/ProtocolTrace.h"

namespace {

constexpr uint32_t kVisibleSettingsReplyId = 0x010200;
constexpr int kStatsWriteEvery = 100;

}  // namespace

void AppBridge::serialReceiveHandler(const QByteArray& data) {
    if (data.isEmpty() || !m_serialOpened)
        return;
    m_serialRxBuffer.append(data);

    // Consume from a read position and compact once at the end: no memmove per frame.
    const QByteArray buffer = m_serialRxBuffer;  // shallow copy keeps the bytes valid during dispatch
    const auto* bytes = reinterpret_cast<const uint8_t*>(buffer.constData());
    const int size = buffer.size();
    int pos = 0;
    while (size - pos >= kFrameOverhead) {
        const uint8_t* candidate = bytes + pos;
        if (candidate[0] != kFrameStartByte) {
            ++m_counters.uartResyncDiscardedBytes;
            ++pos;
            continue;
        }
        if (candidate[1] > kMaxPayloadLength) {
            ++m_counters.uartParseFails;
            ++m_counters.uartResyncDiscardedBytes;
            ++pos;
            continue;
        }
        const int need = candidate[1] + kFrameOverhead;
        if (size - pos < need)
            break;  // wait for the rest of the frame

        ParsedFrame frame;
        if (!parseFrame(candidate, static_cast<uint16_t>(need), &frame)) {
            ++m_counters.uartParseFails;
            ++m_counters.uartResyncDiscardedBytes;
            traceBadFrame("UART", candidate, static_cast<uint16_t>(need));
            if (m_counters.uartParseFails % kStatsWriteEvery == 0)
                writeProtocolStats();
            ++pos;
            continue;
        }
        ++m_counters.uartFrames;
        traceFrame("RX", "UART", candidate, static_cast<uint16_t>(need), frame.receiverId, frame.senderId,
                   frame.messageId, frame.sequence, frame.payloadLength);
        pos += need;
        dispatchFrame(frame, FrameLink::Serial);
        if (!m_serialOpened)
            return;  // the link went down while handling; its buffer is gone
    }
    m_serialRxBuffer.remove(0, pos);
}

void AppBridge::udpReceiveHandler() {
    if (!m_udpConnected || m_udpSocket.state() == QAbstractSocket::UnconnectedState)
        return;
    QByteArray datagram;
    QHostAddress sender;
    quint16 senderPort = 0;
    // Every pending datagram is handled in this pass: the socket does not announce them again.
    while (m_udpConnected && m_udpSocket.hasPendingDatagrams()) {
        datagram.resize(static_cast<int>(std::max<qint64>(m_udpSocket.pendingDatagramSize(), 0)));
        const qint64 size = m_udpSocket.readDatagram(datagram.data(), datagram.size(), &sender, &senderPort);
        if (size < 0)
            break;
        datagram.resize(static_cast<int>(size));
        handleUdpDatagram(datagram);
    }
}

void AppBridge::handleUdpDatagram(const QByteArray& datagram) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(datagram.constData());
    const auto size = static_cast<uint16_t>(std::min(datagram.size(), 0xFFFF));
    ParsedFrame frame;
    if (!parseFrame(bytes, size, &frame)) {
        handleUdpParseFailure(datagram);
        return;
    }
    ++m_counters.udpFrames;
    // Only the frame is traced: bytes after it in the datagram are ignored, and a hex dump of a
    // 64 KiB datagram would flood the log.
    const auto frameLength = static_cast<uint16_t>(frame.payloadLength + kFrameOverhead);
    traceFrame("RX", "UDP", bytes, frameLength, frame.receiverId, frame.senderId, frame.messageId, frame.sequence,
               frame.payloadLength);
    dispatchFrame(frame, FrameLink::Udp);
}

void AppBridge::handleUdpParseFailure(const QByteArray& datagram) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(datagram.constData());
    const int size = datagram.size();
    ++m_counters.udpParseFails;
    traceBadFrame("UDP", bytes, static_cast<uint16_t>(std::min(size, 0xFFFF)));
    if (size > 13 && bytes[0] == kFrameStartByte) {
        ++m_counters.udpParseFailsWithHeader;
        qDebug().noquote() << QStringLiteral("[协议] 解析失败(可能CRC不符) len=%1 msgid=0x%2 hex=%3")
                                  .arg(size)
                                  .arg(LinkPayloads::readU24(bytes + 7), 0, 16)
                                  .arg(LinkPayloads::hexBytes(bytes, std::min(size, 12)));
        applyVisibleSettingsCompatibility(datagram);
    }
    if (m_counters.udpParseFails % kStatsWriteEvery == 0)
        writeProtocolStats();
}

// Some camera firmware sends its settings reply with a wrong checksum; the two resolution codes
// are still worth taking when the frame is otherwise well formed and reports success.
void AppBridge::applyVisibleSettingsCompatibility(const QByteArray& datagram) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(datagram.constData());
    const int size = datagram.size();
    if (size < 16 || LinkPayloads::readU24(bytes + 7) != kVisibleSettingsReplyId)
        return;
    if (bytes[1] > kMaxPayloadLength || bytes[1] + kFrameOverhead > size)
        return;
    if (LinkPayloads::readU16(bytes + 10) != 0)
        return;
    const int photo = LinkPayloads::photoResolutionIndex(bytes[12]);
    const int record = LinkPayloads::recordResolutionIndex(bytes[13]);
    if (!setCameraResolutionIndexes(photo, record))
        return;
    qDebug().noquote() << QStringLiteral("[可见光设置] 已按 0x010200 兼容解析(CRC未校验) 拍照索引=%1 录像索引=%2")
                              .arg(photo)
                              .arg(record);
}

bool AppBridge::setCameraResolutionIndexes(int photoIndex, int recordIndex) {
    if (photoIndex == m_cameraPhotoResolutionIndex && recordIndex == m_cameraRecordResolutionIndex)
        return false;
    m_cameraPhotoResolutionIndex = photoIndex;
    m_cameraRecordResolutionIndex = recordIndex;
    emitLater({&AppBridge::cameraStatusChanged});
    return true;
}
