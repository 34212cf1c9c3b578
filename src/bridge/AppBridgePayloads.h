#pragma once

#include <QDateTime>
#include <QString>

#include <array>
#include <cstdint>

// Byte work of the link-up requests and the small commands sent with them: pure functions that
// need no controller and no event loop.
namespace LinkPayloads {

// Models whose gimbal is reached through the camera (receiver 4). They also keep the camera's
// clock on UTC+8 and accept gimbal reports from sender 3.
bool isCameraRoutedProduct(const QString& product);

struct TimeZoneFields {
    int32_t zoneMinutes = 0;     // offset field of the time-sync command
    int32_t daylightSaving = 0;  // 1 while daylight-saving time is in effect
};
// Camera-routed products always get 480 / 0; the others the local zone as minutes *west* of
// UTC (UTC+8 gives -480) and the local daylight-saving state.
TimeZoneFields timeSyncZone(const QString& product, const QDateTime& localNow);
// 0x00030E: ms since the epoch (i64), zone field (i32), daylight flag (i32), little-endian.
std::array<uint8_t, 16> encodeTimeSync(qint64 msSinceEpoch, TimeZoneFields zone);

struct TrackingBox {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};
// Clamps a box into the 1920 x 1088 tracking frame; it never reaches past the right or bottom edge.
TrackingBox clipTrackingBox(int x, int y, int width, int height);
// 0x000324: 1 start / 2 stop, x, y, width, height (u16 each), 0. A stop carries an all-zero box.
std::array<uint8_t, 10> encodeTrackingBox(bool enable, const TrackingBox& box);

// Combo indexes of the camera's photo (0x14..0x17) and recording (0x08, 0x26, 0x36) resolution
// codes; -1 for a code the combos do not offer.
int photoResolutionIndex(uint8_t code);
int recordResolutionIndex(uint8_t code);

// "a.b.c" from three version bytes, each in decimal.
QString versionText(const uint8_t* bytes);
// Bytes as two lower-case hex digits each, separated by one blank.
QString hexBytes(const uint8_t* bytes, int count);

inline uint16_t readU16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
inline uint32_t readU24(const uint8_t* p) {
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16);
}

}  // namespace LinkPayloads
