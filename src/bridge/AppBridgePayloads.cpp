#include "AppBridgePayloads.h"

#include <algorithm>

#include "ProductModel.h"

namespace LinkPayloads {

namespace {

constexpr int kTrackingFrameWidth = 1920;
constexpr int kTrackingFrameHeight = 1088;
constexpr int32_t kFixedZoneMinutes = 480;

template <typename T>
void putLittleEndian(uint8_t* out, T value) {
    for (size_t i = 0; i < sizeof(T); ++i)
        out[i] = static_cast<uint8_t>(uint64_t(value) >> (8 * i));
}

}  // namespace

bool isCameraRoutedProduct(const QString& product) {
    return productGimbalDestinationId(product) == 4;
}

TimeZoneFields timeSyncZone(const QString& product, const QDateTime& localNow) {
    if (isCameraRoutedProduct(product))
        return {kFixedZoneMinutes, 0};
    TimeZoneFields fields;
    fields.zoneMinutes = localNow.offsetFromUtc() / -60;  // C++ division truncates toward zero
    fields.daylightSaving = localNow.isDaylightTime() ? 1 : 0;
    return fields;
}

std::array<uint8_t, 16> encodeTimeSync(qint64 msSinceEpoch, TimeZoneFields zone) {
    std::array<uint8_t, 16> payload{};
    putLittleEndian<int64_t>(payload.data(), msSinceEpoch);
    putLittleEndian<int32_t>(payload.data() + 8, zone.zoneMinutes);
    putLittleEndian<int32_t>(payload.data() + 12, zone.daylightSaving);
    return payload;
}

TrackingBox clipTrackingBox(int x, int y, int width, int height) {
    TrackingBox box;
    box.x = std::clamp(x, 0, kTrackingFrameWidth - 1);
    box.y = std::clamp(y, 0, kTrackingFrameHeight - 1);
    box.width = std::clamp(width, 1, kTrackingFrameWidth);
    box.height = std::clamp(height, 1, kTrackingFrameHeight);
    if (box.x + box.width > kTrackingFrameWidth)
        box.width = kTrackingFrameWidth - box.x;
    if (box.y + box.height > kTrackingFrameHeight)
        box.height = kTrackingFrameHeight - box.y;
    return box;
}

std::array<uint8_t, 10> encodeTrackingBox(bool enable, const TrackingBox& box) {
    std::array<uint8_t, 10> payload{};
    payload[0] = enable ? 1 : 2;
    if (!enable)
        return payload;
    putLittleEndian<uint16_t>(payload.data() + 1, static_cast<uint16_t>(box.x));
    putLittleEndian<uint16_t>(payload.data() + 3, static_cast<uint16_t>(box.y));
    putLittleEndian<uint16_t>(payload.data() + 5, static_cast<uint16_t>(box.width));
    putLittleEndian<uint16_t>(payload.data() + 7, static_cast<uint16_t>(box.height));
    return payload;
}

int photoResolutionIndex(uint8_t code) {
    if (code >= 0x14 && code <= 0x17)
        return code - 0x14;
    return -1;
}

int recordResolutionIndex(uint8_t code) {
    switch (code) {
        case 0x08:
            return 0;
        case 0x26:
            return 1;
        case 0x36:
            return 2;
        default:
            return -1;
    }
}

QString versionText(const uint8_t* bytes) {
    return QStringLiteral("%1.%2.%3").arg(bytes[0]).arg(bytes[1]).arg(bytes[2]);
}

QString hexBytes(const uint8_t* bytes, int count) {
    static const char digits[] = "0123456789abcdef";
    QString text;
    text.reserve(count * 3);
    for (int i = 0; i < count; ++i) {
        if (i > 0)
            text += QLatin1Char(' ');
        text += QLatin1Char(digits[bytes[i] >> 4]);
        text += QLatin1Char(digits[bytes[i] & 0x0F]);
    }
    return text;
}

}  // namespace LinkPayloads
