// Inbound handling: serial bytes and UDP datagrams become validated, counted frames.
#include <QDebug>
#include <QElapsedTimer>
#include <QHostAddress>

#include <algorithm>

#include "AppBridge.h"
#include "AppBridgePayloads.h"
#include "protocol/FrameCodec.h"
#include "protocol/ProtocolTrace.h"

namespace {

constexpr uint32_t kVisibleSettingsReplyId = 0x010200;
constexpr int kStatsWriteEvery = 100;
// Inbound work done in one turn of the event loop before the window gets its turn: a flood of
// valid frames must not freeze the interface. What the socket or port holds meanwhile waits
// there; what does not fit is dropped by the socket (counted) or by the serial backlog below.
constexpr qint64 kInboundSliceNs = 4'000'000;
// Serial bytes waiting to be cut into frames; beyond this the oldest are dropped (a pseudo-terminal
// or a fast adapter can deliver far more than the controller handles).
constexpr int kMaxSerialBacklog = 1 << 20;
// Bytes skipped between two looks at the clock while resynchronising on garbage.
constexpr int kResyncBytesPerClockCheck = 4096;

}  // namespace

void AppBridge::serialReceiveHandler(const QByteArray& data) {
    if (data.isEmpty() || !m_serialOpened)
        return;
    m_serialRxBuffer.append(data);
    const int excess = m_serialRxBuffer.size() - kMaxSerialBacklog;
    if (excess > 0) {
        m_serialRxBuffer.remove(0, excess);
        m_counters.uartOverflowDroppedBytes += excess;
    }
    cutSerialFrames();
}

void AppBridge::cutSerialFrames() {
    QElapsedTimer slice;
    slice.start();
    // Consume from a read position and compact once at the end: no memmove per frame.
    const QByteArray buffer = m_serialRxBuffer;  // shallow copy keeps the bytes valid during dispatch
    const auto* bytes = reinterpret_cast<const uint8_t*>(buffer.constData());
    const int size = buffer.size();
    int pos = 0;
    int skipped = 0;
    bool sliceUsed = false;
    while (size - pos >= kFrameOverhead) {
        const uint8_t* candidate = bytes + pos;
        if (candidate[0] != kFrameStartByte) {
            ++m_counters.uartResyncDiscardedBytes;
            ++pos;
            if (++skipped % kResyncBytesPerClockCheck == 0 && slice.nsecsElapsed() > kInboundSliceNs) {
                sliceUsed = true;
                break;
            }
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
                writeProtocolStatsIfDue();
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
        if (slice.nsecsElapsed() > kInboundSliceNs) {
            sliceUsed = true;
            break;
        }
    }
    m_serialRxBuffer.remove(0, pos);
    if (sliceUsed)
        m_inboundContinuation.start();
}

// Where a slice ran out, the rest is taken up on the next turn of the event loop.
void AppBridge::continueInbound() {
    if (m_serialOpened && m_serialRxBuffer.size() >= kFrameOverhead)
        cutSerialFrames();
    if (m_udpConnected)
        udpReceiveHandler();
}

void AppBridge::udpReceiveHandler() {
    if (!m_udpConnected || m_udpSocket.state() == QAbstractSocket::UnconnectedState)
        return;
    QElapsedTimer slice;
    slice.start();
    QByteArray datagram;
    QHostAddress sender;
    quint16 senderPort = 0;
    while (m_udpConnected && m_udpSocket.hasPendingDatagrams()) {
        if (slice.nsecsElapsed() > kInboundSliceNs) {
            m_inboundContinuation.start();
            return;
        }
        datagram.resize(static_cast<int>(std::max<qint64>(m_udpSocket.pendingDatagramSize(), 0)));
        const qint64 size = m_udpSocket.readDatagram(datagram.data(), datagram.size(), &sender, &senderPort);
        if (size < 0)
            break;
        datagram.resize(static_cast<int>(size));
        const bool fromDevice = sender.isEqual(m_udpTargetAddress, QHostAddress::ConvertV4MappedToIPv4);
        if (!fromDevice && m_acceptOnlyDevice) {
            dropForeignDatagram(sender);
            continue;
        }
        handleUdpDatagram(datagram, fromDevice);
    }
}

// With Link/AcceptFrom = device, another host cannot speak for the device: its datagrams are
// counted and dropped, and each new such sender is named once per link.
void AppBridge::dropForeignDatagram(const QHostAddress& sender) {
    ++m_counters.udpForeignDropped;
    const QString address = sender.toString();
    if (m_foreignSenders.contains(address) || m_foreignSenders.size() >= kForeignSendersNamed)
        return;
    m_foreignSenders.insert(address);
    appendMessage(tr2(QStringLiteral("已忽略来自 %1 的数据（Link/AcceptFrom = device）"),
                      QStringLiteral("Ignored data from %1 (Link/AcceptFrom = device)"))
                      .arg(address));
}

void AppBridge::handleUdpDatagram(const QByteArray& datagram, bool fromDevice) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(datagram.constData());
    const auto size = static_cast<uint16_t>(std::min(datagram.size(), 0xFFFF));
    ParsedFrame frame;
    if (!parseFrame(bytes, size, &frame)) {
        handleUdpParseFailure(datagram, fromDevice);
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

void AppBridge::handleUdpParseFailure(const QByteArray& datagram, bool fromDevice) {
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
        // Only the device's own firmware gets the benefit of the doubt over its checksum.
        if (fromDevice)
            applyVisibleSettingsCompatibility(datagram);
    }
    if (m_counters.udpParseFails % kStatsWriteEvery == 0)
        writeProtocolStatsIfDue();
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
