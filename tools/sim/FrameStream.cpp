#include "FrameStream.h"

#include "protocol/FrameCodec.h"

FrameStream::Result FrameStream::append(const QByteArray& bytes) {
    Result result;
    m_buffer.append(bytes);
    int start = 0;
    while (m_buffer.size() - start >= kFrameOverhead) {
        const auto* head = reinterpret_cast<const uint8_t*>(m_buffer.constData()) + start;
        if (head[0] != kFrameStartByte || head[1] > kMaxPayloadLength) {
            ++start;
            ++result.discardedBytes;
            continue;
        }
        const int need = head[1] + kFrameOverhead;
        if (m_buffer.size() - start < need)
            break;
        ParsedFrame parsed;
        if (!parseFrame(head, uint16_t(need), &parsed)) {
            ++start;
            ++result.discardedBytes;
            continue;
        }
        result.frames.append(m_buffer.mid(start, need));
        start += need;
    }
    m_buffer.remove(0, start);
    return result;
}
