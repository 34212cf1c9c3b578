#pragma once

#include <QString>
#include <QVariantList>
#include <QVector>

#include <cstdint>
#include <optional>

// Decoders of the device's status reports and replies: payload bytes into plain values. Payload
// bytes beyond the received length are zero in a parsed frame, so every decoder may read its
// full layout.
namespace DeviceReports {

// ---- Camera status (0x020003)
struct CameraStatus {
    int photoVideoMode = -1;
    int rtspResolutionIndex = -1;
    int videoEncodingIndex = -1;
    int streamModeIndex = -1;
    int videoBitrateIndex = -1;
    int sdStatus = -1;
};
CameraStatus decodeCameraStatus(const uint8_t* p);
// Name of an SD card status code (the same Chinese words in both languages).
QString sdStatusName(int code);

// ---- Infrared thermometry (0x020004)
struct Thermometry {
    int maxTemp = 0;  // tenths of a degree
    int minTemp = 0;
    int spotTemp = 0;
    int avgTemp = 0;
    int maxX = 0, maxY = 0;
    int minX = 0, minY = 0;
    int spotX = 0, spotY = 0;
    uint8_t paletteSet = 0;
    bool empty() const { return maxTemp == 0 && minTemp == 0 && spotTemp == 0 && avgTemp == 0; }
};
Thermometry decodeThermometry(const uint8_t* p);

// The part of the picture a thermometry report must point into to count.
struct MeasuringArea {
    int x0 = 0, x1 = 0, y0 = 0, y1 = 0;
    bool contains(int x, int y) const { return x >= x0 && x <= x1 && y >= y0 && y <= y1; }
};
// The operator's rectangle (when it has a size), else the whole measurable area; in both cases
// normalised and limited to the measurable area.
MeasuringArea measuringArea(int centerX, int centerY, int width, int height);
// Not empty, and at least one of the maximum, minimum and spot positions inside the area.
bool thermometryUsable(const Thermometry& report, const MeasuringArea& area);

// ---- Visible camera status (0x000005 / 0x020005)
struct VisibleZoomStatus {
    bool zooming = false;
    double ratio = 0.0;
    int focalLength = 0;  // 0.01 mm
    uint8_t ev = 0;
    int iso = 0;
    int shutter = 0;
    uint8_t aeLock = 0;
    uint8_t focus = 0;
    int reshotFocalLength = 0;
};
VisibleZoomStatus decodeVisibleZoom(const uint8_t* p);
// "光学" below 11x, "电子放大" from 11x on.
QString zoomTypeFor(double ratio);
QString visibleZoomDebugLine(const VisibleZoomStatus& status);

// ---- Detection (0x020319)
struct Detection {
    int count = 0;
    uint8_t status = 0;
    QVector<int> categories;  // distinct, in record order
};
Detection decodeDetection(const uint8_t* p, int length);
// A category's name, or "Category n" / "类别n" for an id without one.
QString categoryName(int id, bool english);
// Sorted names joined with ", " (English) or "、" (Chinese); empty without categories.
QString categoryText(const QVector<int>& ids, bool english);

// ---- Infrared settings (0x000100 / 0x010100): zoom level 1..8 from byte 3, or none when the
// byte's zoom bits are out of range.
std::optional<int> infraredZoomLevel(uint8_t zoomByte);

// ---- Replies
struct ChannelConfig {
    int rangeMax = 0, rangeMin = 0;
    int streamCh = 0, zoomCh = 0, captureCh = 0, recordCh = 0, pitchCh = 0, yawCh = 0, homeCh = 0, irPaletteCh = 0;
};
ChannelConfig decodeChannelConfig(const uint8_t* p);
// Category ids 1..128 set in the bitmap that starts at payload byte 3, ascending.
QVariantList decodeCategoryBitmap(const uint8_t* p, int length);
// "a.b.c.d" of four bytes in decimal.
QString ipv4Text(const uint8_t* bytes);

// ---- Gimbal attitude (0x020002): angular speeds, then angles, each of yaw, roll and pitch a signed
// 16-bit value in hundredths of a degree (per second); the rest of the 20 bytes is reserved.
constexpr int kAttitudeLength = 12;
struct Attitude {
    double yawSpeed = 0, rollSpeed = 0, pitchSpeed = 0;
    double yaw = 0, roll = 0, pitch = 0;
};
Attitude decodeAttitude(const uint8_t* p);

}  // namespace DeviceReports
