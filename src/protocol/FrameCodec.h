#pragma once

#include <cstdint>

// The gimbal's wire frame and its stateless codec. Layout (N = payload length, 0..243):
//
//   0      start byte 0xFD
//   1      payload length N
//   2      receiver device id
//   3      header byte 3 (we send 1; ignored on receipt)
//   4      sequence number
//   5      sender device id
//   6      header byte 6 (we send 1; ignored on receipt)
//   7..9   message id, 24 bits little-endian (low 16 bits number, high byte class)
//   10..   payload, N bytes
//   10+N   CRC-16/MCRF4XX over bytes 1..9+N, low byte first
//
// All three functions are allocation-free and re-entrant; they touch only the caller's buffers.

constexpr uint8_t kFrameStartByte = 0xFD;
constexpr uint8_t kMaxPayloadLength = 243;
constexpr uint16_t kFrameOverhead = 12;                                   // header (10) + checksum (2)
constexpr uint16_t kMaxFrameLength = kMaxPayloadLength + kFrameOverhead;  // 255
constexpr uint16_t kFramePayloadOffset = 10;
constexpr uint32_t kMessageIdMask = 0xFFFFFF;

// A received frame, unpacked. Plain value: callers keep it on the stack.
struct ParsedFrame {
    uint8_t startByte = 0;
    uint8_t payloadLength = 0;
    uint8_t receiverId = 0;
    uint8_t headerByte3 = 0;
    uint8_t sequence = 0;
    uint8_t senderId = 0;
    uint8_t headerByte6 = 0;
    uint32_t messageId = 0;                   // 24-bit id, top byte always zero
    uint8_t payload[kMaxPayloadLength] = {};  // first payloadLength bytes received, rest zero
    uint16_t checksum = 0;                    // as received
};

// Writes a complete frame into out (at least payloadLength + 12 bytes) and returns its length,
// or 0 without touching out when out is null, payloadLength > 243, or payload is null with a
// non-zero length. Only the low 24 bits of messageId are written.
uint16_t buildFrame(uint8_t* out, uint8_t receiver, uint8_t headerByte3, uint8_t sequence, uint8_t sender,
                    uint8_t headerByte6, uint32_t messageId, const uint8_t* payload, uint8_t payloadLength);

// CRC-16/MCRF4XX (reflected CCITT, init 0xFFFF, no final XOR) of count bytes; 0xFFFF for count 0
// (and for a null pointer). "abc" gives 0x61DA.
uint16_t frameCrc16(const uint8_t* data, uint16_t count);

// Validates the frame starting at bytes[0] (available may exceed the frame) and on success fills
// out and returns true. On failure out is left exactly as it was. Bytes after the frame's
// checksum are never examined; the frame occupies payloadLength + 12 bytes.
bool parseFrame(const uint8_t* bytes, uint16_t available, ParsedFrame* out);
