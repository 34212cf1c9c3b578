#include "Klv0601.h"

#include <cmath>
#include <limits>

namespace Klv0601 {

const uint8_t kUniversalKey[16] = {0x06, 0x0E, 0x2B, 0x34, 0x02, 0x0B, 0x01, 0x01,
                                   0x0E, 0x01, 0x03, 0x01, 0x01, 0x00, 0x00, 0x00};

namespace {

// How an item's value becomes bytes: a real range mapped onto the full span of a 32-bit integer
// (unsigned: 0..2^32-1; signed: ±(2^31-1), the lowest value kept to say "out of range"), or taken
// as it is.
enum class Mapping { Unsigned32, Signed32, Wrapped360 };

struct ItemSpec {
    Tag tag;
    Mapping mapping;
    double low;
    double high;
};

constexpr ItemSpec kItems[] = {
    {kSensorRelativeAzimuth, Mapping::Wrapped360, 0, 360},
    {kSensorRelativeElevation, Mapping::Signed32, -180, 180},
    {kSensorRelativeRoll, Mapping::Wrapped360, 0, 360},
    {kSlantRange, Mapping::Unsigned32, 0, 5000000},
};

constexpr uint32_t kSignedOutOfRange = 0x80000000u;

const ItemSpec* specOf(Tag tag) {
    for (const ItemSpec& spec : kItems) {
        if (spec.tag == tag)
            return &spec;
    }
    return nullptr;
}

void appendBigEndian(QByteArray* out, uint64_t value, int bytes) {
    for (int shift = (bytes - 1) * 8; shift >= 0; shift -= 8)
        out->append(char((value >> shift) & 0xFF));
}

// The standard's mappings, rounded to the nearest step.
uint32_t mapValue(const ItemSpec& spec, double value) {
    const double span = spec.high - spec.low;
    switch (spec.mapping) {
        case Mapping::Wrapped360: {
            double wrapped = std::fmod(value, 360.0);
            if (wrapped < 0)
                wrapped += 360.0;
            return uint32_t(std::llround(wrapped * (double(std::numeric_limits<uint32_t>::max()) / span)));
        }
        case Mapping::Unsigned32: {
            const double clamped = std::min(std::max(value, spec.low), spec.high);
            return uint32_t(std::llround((clamped - spec.low) * (double(std::numeric_limits<uint32_t>::max()) / span)));
        }
        case Mapping::Signed32:
            if (!(value >= spec.low && value <= spec.high))
                return kSignedOutOfRange;
            return uint32_t(int32_t(std::llround(value * (double(std::numeric_limits<uint32_t>::max() - 1) / span))));
    }
    return 0;
}

void appendText(QByteArray* out, Tag tag, const QByteArray& text) {
    // Short-form lengths only: nothing we write needs more.
    const QByteArray value = text.left(127);
    out->append(char(tag));
    out->append(char(value.size()));
    out->append(value);
}

void appendBerLength(QByteArray* out, int length) {
    if (length < 128) {
        out->append(char(length));
        return;
    }
    out->append(char(0x82));
    appendBigEndian(out, uint64_t(length), 2);
}

}  // namespace

QByteArray encodeItem(Tag tag, double value) {
    QByteArray out;
    const ItemSpec* spec = specOf(tag);
    if (!spec || (spec->mapping != Mapping::Signed32 && !std::isfinite(value)))
        return out;
    out.append(char(tag));
    out.append(char(4));
    appendBigEndian(&out, mapValue(*spec, value), 4);
    return out;
}

QByteArray encodeTimeStamp(uint64_t timeUs) {
    QByteArray out;
    out.append(char(kPrecisionTimeStamp));
    out.append(char(8));
    appendBigEndian(&out, timeUs, 8);
    return out;
}

uint16_t checksum(const uint8_t* bytes, int length) {
    uint16_t sum = 0;
    for (int i = 0; i < length; ++i)
        sum = uint16_t(sum + (bytes[i] << (8 * ((i + 1) % 2))));
    return sum;
}

QByteArray encodeLocalSet(const Values& values) {
    // The time stamp comes first and the checksum last, as the standard asks.
    QByteArray items;
    items.reserve(96);
    items += encodeTimeStamp(values.timeUs);
    if (!values.platform.isEmpty())
        appendText(&items, kPlatformDesignation, values.platform);
    if (!values.sensor.isEmpty())
        appendText(&items, kImageSourceSensor, values.sensor);
    if (values.hasAttitude) {
        items += encodeItem(kSensorRelativeAzimuth, values.azimuthDeg);
        items += encodeItem(kSensorRelativeElevation, values.elevationDeg);
        items += encodeItem(kSensorRelativeRoll, values.rollDeg);
    }
    if (values.hasSlantRange)
        items += encodeItem(kSlantRange, values.slantRangeM);
    items.append(char(kLsVersionNumber));
    items.append(char(1));
    items.append(char(kLsVersion));
    items.append(char(kChecksum));
    items.append(char(2));

    QByteArray packet;
    packet.reserve(int(sizeof kUniversalKey) + 3 + items.size() + 2);
    packet.append(reinterpret_cast<const char*>(kUniversalKey), int(sizeof kUniversalKey));
    appendBerLength(&packet, items.size() + 2);
    packet += items;
    const uint16_t sum = checksum(reinterpret_cast<const uint8_t*>(packet.constData()), packet.size());
    appendBigEndian(&packet, sum, 2);
    return packet;
}

QByteArray accessUnit(const QByteArray& localSet, uint8_t sequence) {
    QByteArray unit;
    unit.reserve(localSet.size() + 5);
    unit.append(char(0));
    unit.append(char(sequence));
    unit.append(char(0xDF));
    appendBigEndian(&unit, uint64_t(localSet.size()), 2);
    unit += localSet;
    return unit;
}

}  // namespace Klv0601
