#pragma once

#include <QString>
#include <QVariantList>

#include <array>
#include <cstdint>
#include <optional>

// Byte work of the operator commands: clamping into protocol ranges, payload encoders and the
// tables that turn combo-box texts into device codes. Pure functions, no controller, no event loop.
namespace CommandPayloads {

// ---- Gimbal (0x000010 control, 0x000012 set angle)
constexpr uint8_t kGimbalManual = 0x00;
constexpr uint8_t kGimbalCentre = 0x10;
constexpr uint8_t kGimbalLookDown = 0x20;

// Direction byte of the control message: > 0 gives 1, < 0 gives 0, 0 gives 2 (hold).
uint8_t directionCode(int direction);
// Work mode, yaw direction, pitch direction, reserved.
std::array<uint8_t, 4> encodeGimbalControl(uint8_t mode, uint8_t yawCode = 2, uint8_t pitchCode = 2);
std::array<uint8_t, 4> encodeGimbalMove(int yawDir, int pitchDir);

struct GimbalAngle {
    double pitch = 0.0;
    double yaw = 0.0;
};
// Pitch into [-90, 90], yaw into [-180, 180] degrees; a NaN counts as 0.
GimbalAngle clampGimbalAngle(double pitchDeg, double yawDeg);
// Hundredths of a degree, rounded half away from zero.
uint16_t angleMagnitude(double degrees);
// Pitch sign (0 positive, 1 negative, 2 zero), |pitch|, yaw sign (1 positive, 0 negative, 2 zero),
// |yaw|, reserved. The two axes use opposite sign codes; the device expects exactly that.
std::array<uint8_t, 7> encodeSetAngle(double pitchDeg, double yawDeg);

// ---- Visible and infrared camera
// Continuous zoom direction: 0 zoom in (action > 0), 1 zoom out (< 0), 2 stop.
uint8_t zoomDirectionCode(int action);
// Largest zoom ratio the current picture accepts: 8 while the device streams its infrared
// picture (stream mode index 0), otherwise the product's visible zoom range.
double zoomLimit(const QString& product, int streamModeIndex);
// A zoom ratio into [1, limit]; a NaN counts as 1.
double clampZoomRatio(double ratio, double limit);
// 0x000304: 00, ratio x 10 rounded, u16.
std::array<uint8_t, 3> encodeVisibleZoom(double ratio);
// Infrared zoom level 1..8 of a ratio (rounded half up).
int infraredZoomLevel(double ratio);

struct ResolutionChoice {
    int comboIndex = -1;
    uint8_t code = 0;
};
// The combo texts of the photo and recording resolutions; blanks anywhere are ignored and both
// "*" and the multiplication sign are accepted.
std::optional<ResolutionChoice> photoResolution(const QString& text);
std::optional<ResolutionChoice> recordResolution(const QString& text);
// Exact combo texts of the stream settings.
std::optional<uint8_t> rtspResolutionCode(const QString& text);
std::optional<uint8_t> videoBitrateCode(const QString& text);
std::optional<uint8_t> videoEncodingCode(const QString& text);
std::optional<uint8_t> videoOutputCode(const QString& text);
constexpr uint8_t kVideoOutputInfrared = 0;

// 0x000302 / 0x000303: 54 bytes, the action in byte 1.
constexpr int kShutterPayloadLength = 54;
std::array<uint8_t, kShutterPayloadLength> encodeShutter(uint8_t action);
constexpr uint8_t kRecordStart = 1;
constexpr uint8_t kRecordStop = 2;

// ---- Infrared thermometry, on the 1920 x 1080 picture
constexpr int kThermoMinX = 325;
constexpr int kThermoMaxX = 1594;
constexpr int kThermoMinY = 33;
constexpr int kThermoMaxY = 1046;
int clampThermoX(int x);
int clampThermoY(int y);

struct ThermometryRegion {
    int centerX = 0;
    int centerY = 0;
    int width = 0;
    int height = 0;
};
// Size into the measurable area first, then the centre so that the whole rectangle stays inside.
ThermometryRegion clampThermometryRegion(int centerX, int centerY, int width, int height);
// 0x000110: width, height, centre x, centre y (u16 each), 00.
std::array<uint8_t, 9> encodeThermometryRegion(const ThermometryRegion& region);
// 0x00010F: x, y (u16, already clamped), 00.
std::array<uint8_t, 5> encodeThermometryPoint(int x, int y);
// 0x00010E: 0 when disabled, otherwise the level in 1..10; then 00.
uint8_t enhanceLevelByte(bool enable, int level);

// ---- AI detection (0x000319): on/off byte, 0, then a 128-bit category bitmap.
// Elements that are not numbers and ids outside 1..128 are skipped.
std::array<uint8_t, 18> encodeAiDetect(bool enable, const QVariantList& categoryIds);

// ---- Channels, camera address
// 0x000501: the eight channel numbers, each clamped to 0..16.
std::array<uint8_t, 8> encodeChannelConfig(const std::array<int, 8>& channels);
constexpr int kChannelValueMax = 2047;
// 0x000500: max, min (u16, already clamped to 0..2047), 00.
std::array<uint8_t, 5> encodeChannelRange(int maxValue, int minValue);

// Dotted decimal text (surrounding blanks allowed) into four bytes in written order. Exactly four
// parts, each a base-10 number in 0..255; anything else is refused and out is left alone.
bool parseIpv4(const QString& text, uint8_t out[4]);
// 0x000311: type (0..1), address, mask, gateway.
std::array<uint8_t, 13> encodeCameraIp(int ipType, const uint8_t ip[4], const uint8_t mask[4],
                                       const uint8_t gateway[4]);

}  // namespace CommandPayloads
