// Arbitrary bytes into the frame codec and every text builder of the protocol trace.
// Besides the sanitizers it checks the codec's own promises: a parsed frame rebuilds to the same
// bytes, and no trace line grows past its cap.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "protocol/FrameCodec.h"
#include "protocol/MessageCatalogue.h"
#include "protocol/ProtocolTrace.h"

namespace {

constexpr int kLineCapBytes = kTraceLineMaxBytes + 3;  // "..." after the cut

void check(bool condition) {
    if (!condition)
        std::abort();
}

void checkLines(const TraceLines& lines) {
    for (const TraceLine& line : lines)
        check(line.text.size() <= kLineCapBytes);
}

AppLog::ProtocolSwitches switchesFrom(uint8_t bits) {
    AppLog::ProtocolSwitches s;
    s.enabled = true;
    s.tx = bits & 0x01;
    s.rx = bits & 0x02;
    s.statusFrames = bits & 0x04;
    s.hex = bits & 0x08;
    return s;
}

void fuzzGoodFrame(const uint8_t* data, uint16_t size, const ParsedFrame& frame) {
    const uint16_t frameLength = frame.payloadLength + kFrameOverhead;
    check(frameLength <= size);

    uint8_t rebuilt[kMaxFrameLength];
    const uint16_t built = buildFrame(rebuilt, frame.receiverId, frame.headerByte3, frame.sequence, frame.senderId,
                                      frame.headerByte6, frame.messageId, frame.payload, frame.payloadLength);
    check(built == frameLength);
    check(std::memcmp(rebuilt, data, frameLength) == 0);
    check(frame.checksum == frameCrc16(data + 1, static_cast<uint16_t>(frameLength - 3)));

    const char* direction = (frame.sequence & 1) ? "TX" : "RX";
    describeFrame(direction, "UDP", frame.senderId, frame.receiverId, frame.messageId, frame.sequence, frame.payload,
                  frame.payloadLength);
    checkLines(frameTraceLines(switchesFrom(0x0F), direction, "UART", data, frameLength, frame.receiverId,
                               frame.senderId, frame.messageId, frame.sequence, frame.payloadLength));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 65535)
        return 0;
    const auto length = static_cast<uint16_t>(size);

    frameCrc16(data, length);

    ParsedFrame frame;
    if (parseFrame(data, length, &frame))
        fuzzGoodFrame(data, length, frame);

    describeBadFrame("UDP", data, length);
    checkLines(badFrameTraceLines(switchesFrom(size > 0 ? data[0] : 0xFF), "UDP", data, length));

    // The same bytes taken as the header fields and payload of something that did not parse: the
    // trace is also called with frames whose length byte does not match what arrived.
    if (size >= 10) {
        const uint32_t id = data[7] | (data[8] << 8) | (static_cast<uint32_t>(data[9]) << 16);
        checkLines(
            frameTraceLines(switchesFrom(data[3]), "RX", "UDP", data, length, data[2], data[5], id, data[4], data[1]));
    }
    if (size >= 3) {
        const uint32_t id = data[0] | (data[1] << 8) | (static_cast<uint32_t>(data[2]) << 16);
        describePayload(id, data + 3, static_cast<uint16_t>(length - 3));
        messageDisplayName(id);
        messageClassWord(id);
    }
    hexDumpLines(data, length);
    return 0;
}
