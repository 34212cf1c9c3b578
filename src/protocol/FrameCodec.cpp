#include "FrameCodec.h"

#include <cstring>

namespace {

constexpr uint16_t kCrcInitial = 0xFFFF;
// Bytes covered by the checksum besides the payload: length byte through the last id byte.
constexpr uint16_t kCrcHeaderBytes = 9;

uint16_t storedChecksum(const uint8_t* frame, uint8_t payloadLength) {
    const uint16_t at = kFramePayloadOffset + payloadLength;
    return static_cast<uint16_t>(frame[at] | (frame[at + 1] << 8));
}

}  // namespace

uint16_t frameCrc16(const uint8_t* data, uint16_t count) {
    uint16_t crc = kCrcInitial;
    if (!data)
        return crc;
    for (uint16_t i = 0; i < count; ++i) {
        auto t = static_cast<uint8_t>(data[i] ^ (crc & 0xFF));
        t = static_cast<uint8_t>(t ^ (t << 4));
        crc = static_cast<uint16_t>((crc >> 8) ^ (t << 8) ^ (t << 3) ^ (t >> 4));
    }
    return crc;
}

uint16_t buildFrame(uint8_t* out, uint8_t receiver, uint8_t headerByte3, uint8_t sequence, uint8_t sender,
                    uint8_t headerByte6, uint32_t messageId, const uint8_t* payload, uint8_t payloadLength) {
    if (!out || payloadLength > kMaxPayloadLength || (payloadLength > 0 && !payload))
        return 0;

    out[0] = kFrameStartByte;
    out[1] = payloadLength;
    out[2] = receiver;
    out[3] = headerByte3;
    out[4] = sequence;
    out[5] = sender;
    out[6] = headerByte6;
    out[7] = static_cast<uint8_t>(messageId & 0xFF);
    out[8] = static_cast<uint8_t>((messageId >> 8) & 0xFF);
    out[9] = static_cast<uint8_t>((messageId >> 16) & 0xFF);
    if (payloadLength > 0)
        std::memcpy(out + kFramePayloadOffset, payload, payloadLength);

    const uint16_t crc = frameCrc16(out + 1, static_cast<uint16_t>(kCrcHeaderBytes + payloadLength));
    out[kFramePayloadOffset + payloadLength] = static_cast<uint8_t>(crc & 0xFF);
    out[kFramePayloadOffset + payloadLength + 1] = static_cast<uint8_t>(crc >> 8);
    return static_cast<uint16_t>(payloadLength + kFrameOverhead);
}

bool parseFrame(const uint8_t* bytes, uint16_t available, ParsedFrame* out) {
    if (!bytes || !out)
        return false;
    if (available < kFrameOverhead)
        return false;
    if (bytes[0] != kFrameStartByte)
        return false;
    const uint8_t length = bytes[1];
    if (length > kMaxPayloadLength)
        return false;
    if (available < length + kFrameOverhead)
        return false;
    const uint16_t received = storedChecksum(bytes, length);
    if (received != frameCrc16(bytes + 1, static_cast<uint16_t>(kCrcHeaderBytes + length)))
        return false;

    out->startByte = kFrameStartByte;
    out->payloadLength = length;
    out->receiverId = bytes[2];
    out->headerByte3 = bytes[3];
    out->sequence = bytes[4];
    out->senderId = bytes[5];
    out->headerByte6 = bytes[6];
    out->messageId = static_cast<uint32_t>(bytes[7]) | (static_cast<uint32_t>(bytes[8]) << 8) |
                     (static_cast<uint32_t>(bytes[9]) << 16);
    std::memset(out->payload, 0, sizeof out->payload);
    if (length > 0)
        std::memcpy(out->payload, bytes + kFramePayloadOffset, length);
    out->checksum = received;
    return true;
}
