#pragma once

#include <QByteArray>
#include <cstdint>

// The UAS Datalink Local Set (MISB ST 0601) that recordings carry beside the picture: one packet of
// KLV per frame, telling when the frame arrived and where the gimbal pointed. Only the few items this
// ground station knows are written; each is mapped to its integer form exactly as the standard defines.
namespace Klv0601 {

// The 16-byte universal key that opens every packet.
extern const uint8_t kUniversalKey[16];
// The edition of the local set whose mappings we follow (item 65).
constexpr uint8_t kLsVersion = 17;

enum Tag : uint8_t {
    kChecksum = 1,
    kPrecisionTimeStamp = 2,
    kPlatformDesignation = 10,
    kImageSourceSensor = 11,
    kSensorRelativeAzimuth = 18,
    kSensorRelativeElevation = 19,
    kSensorRelativeRoll = 20,
    kSlantRange = 21,
    kLsVersionNumber = 65,
};

// What one packet says; a value not known is left out of the packet.
struct Values {
    uint64_t timeUs = 0;         // microseconds since the epoch (always written)
    QByteArray platform;         // item 10, empty: left out
    QByteArray sensor;           // item 11, "EO", "IR" or "EO/IR"; empty: left out
    bool hasAttitude = false;    // items 18, 19, 20
    double azimuthDeg = 0;       // any angle; written as 0..360
    double elevationDeg = 0;     // -180..180; beyond: the reserved "out of range" value
    double rollDeg = 0;          // any angle; written as 0..360
    bool hasSlantRange = false;  // item 21
    double slantRangeM = 0;      // 0..5,000,000 m, clamped
};

// One item, tag-length-value, as it appears in a packet (for the tests and the dump tools).
QByteArray encodeItem(Tag tag, double value);
QByteArray encodeTimeStamp(uint64_t timeUs);

// The whole packet: key, BER length, items, checksum last.
QByteArray encodeLocalSet(const Values& values);

// A packet as a transport stream carries synchronous metadata: one access unit, opened by a five-byte
// cell header (service 0, a sequence number, "a whole unit, random access", the length) that
// demuxers take off again.
QByteArray accessUnit(const QByteArray& localSet, uint8_t sequence);

// The running 16-bit sum the checksum item carries: over every byte from the first of the key up to
// and including the checksum item's tag and length.
uint16_t checksum(const uint8_t* bytes, int length);

}  // namespace Klv0601
