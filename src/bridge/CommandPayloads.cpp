#include "CommandPayloads.h"

#include <QStringList>

#include <algorithm>
#include <cmath>

#include "ProductModel.h"

namespace CommandPayloads {

namespace {

constexpr double kMaxPitch = 90.0;
constexpr double kMaxYaw = 180.0;
constexpr double kInfraredZoomLimit = 8.0;
constexpr int kInfraredStreamMode = 0;
constexpr int kAiCategoryCount = 128;
constexpr int kNoChannel = 16;

void putU16(uint8_t* out, int value) {
    out[0] = static_cast<uint8_t>(value & 0xFF);
    out[1] = static_cast<uint8_t>((value >> 8) & 0xFF);
}

QString withoutBlanks(const QString& text) {
    QString result = text.trimmed();
    result.remove(QLatin1Char(' '));
    return result;
}

// Position in `sizes` (each given with "*" and with the multiplication sign) of a normalised text.
int resolutionPosition(const QString& text, const QStringList& sizes) {
    const QString normalised = withoutBlanks(text);
    for (int i = 0; i < sizes.size(); ++i) {
        const QString& size = sizes.at(i);
        if (normalised == size || normalised == QString(size).replace(QLatin1Char('*'), QChar(0x00D7)))
            return i;
    }
    return -1;
}

template <typename Row>
std::optional<uint8_t> lookUp(const QString& text, std::initializer_list<Row> rows) {
    for (const Row& row : rows) {
        if (text == QLatin1String(row.text))
            return row.code;
    }
    return std::nullopt;
}

struct CodeRow {
    const char* text;
    uint8_t code;
};

}  // namespace

uint8_t directionCode(int direction) {
    if (direction > 0)
        return 1;
    return direction < 0 ? 0 : 2;
}

std::array<uint8_t, 4> encodeGimbalControl(uint8_t mode, uint8_t yawCode, uint8_t pitchCode) {
    return {mode, yawCode, pitchCode, 0};
}

std::array<uint8_t, 4> encodeGimbalMove(int yawDir, int pitchDir) {
    return encodeGimbalControl(kGimbalManual, directionCode(yawDir), directionCode(pitchDir));
}

// A value that is not a number (an unparsable entry field in QML) would pass std::clamp unchanged
// and reach the wire as an arbitrary magnitude; it counts as 0 degrees instead.
GimbalAngle clampGimbalAngle(double pitchDeg, double yawDeg) {
    const double pitch = std::isnan(pitchDeg) ? 0.0 : pitchDeg;
    const double yaw = std::isnan(yawDeg) ? 0.0 : yawDeg;
    return {std::clamp(pitch, -kMaxPitch, kMaxPitch), std::clamp(yaw, -kMaxYaw, kMaxYaw)};
}

uint16_t angleMagnitude(double degrees) {
    return static_cast<uint16_t>(std::lround(std::fabs(degrees) * 100.0));  // half away from zero
}

std::array<uint8_t, 7> encodeSetAngle(double pitchDeg, double yawDeg) {
    std::array<uint8_t, 7> payload{};
    payload[0] = pitchDeg > 0 ? 0 : (pitchDeg < 0 ? 1 : 2);
    putU16(payload.data() + 1, angleMagnitude(pitchDeg));
    payload[3] = yawDeg > 0 ? 1 : (yawDeg < 0 ? 0 : 2);
    putU16(payload.data() + 4, angleMagnitude(yawDeg));
    return payload;
}

uint8_t zoomDirectionCode(int action) {
    if (action > 0)
        return 0;
    return action < 0 ? 1 : 2;
}

double clampZoomRatio(double ratio, double limit) {
    return std::isnan(ratio) ? 1.0 : std::clamp(ratio, 1.0, limit);
}

double zoomLimit(const QString& product, int streamModeIndex) {
    if (streamModeIndex == kInfraredStreamMode)
        return kInfraredZoomLimit;
    return productMaxVisibleZoom(product);
}

std::array<uint8_t, 3> encodeVisibleZoom(double ratio) {
    std::array<uint8_t, 3> payload{};
    putU16(payload.data() + 1, static_cast<uint16_t>(std::lround(ratio * 10.0)));
    return payload;
}

int infraredZoomLevel(double ratio) {
    return std::clamp(static_cast<int>(std::lround(ratio)), 1, static_cast<int>(kInfraredZoomLimit));
}

std::optional<ResolutionChoice> photoResolution(const QString& text) {
    static const QStringList sizes = {QStringLiteral("8000*6000"), QStringLiteral("4000*3000"),
                                      QStringLiteral("3840*2160"), QStringLiteral("1920*1080")};
    static const uint8_t codes[] = {0x14, 0x15, 0x16, 0x17};
    const int position = resolutionPosition(text, sizes);
    if (position < 0)
        return std::nullopt;
    return ResolutionChoice{position, codes[position]};
}

std::optional<ResolutionChoice> recordResolution(const QString& text) {
    static const QStringList sizes = {QStringLiteral("1920*1080"), QStringLiteral("3840*2160"),
                                      QStringLiteral("4000*3000")};
    static const uint8_t codes[] = {0x08, 0x26, 0x36};
    const int position = resolutionPosition(text, sizes);
    if (position < 0)
        return std::nullopt;
    return ResolutionChoice{position, codes[position]};
}

std::optional<uint8_t> rtspResolutionCode(const QString& text) {
    return lookUp<CodeRow>(text, {{"1080P30fps", 1}, {"720P30fps", 2}});
}

std::optional<uint8_t> videoBitrateCode(const QString& text) {
    return lookUp<CodeRow>(text, {{"1M", 1}, {"1.5M", 2}, {"2M", 3}, {"4M", 4}, {"8M", 5}, {"12M", 6}});
}

std::optional<uint8_t> videoEncodingCode(const QString& text) {
    return lookUp<CodeRow>(text, {{"H264", 0}, {"H265", 1}});
}

std::optional<uint8_t> videoOutputCode(const QString& text) {
    if (text == QStringLiteral("红外") || text == QLatin1String("IR"))
        return kVideoOutputInfrared;
    if (text == QStringLiteral("可见光") || text == QLatin1String("Visible"))
        return 5;
    if (text == QStringLiteral("分屏") || text == QLatin1String("Split"))
        return 7;
    return std::nullopt;
}

std::array<uint8_t, kShutterPayloadLength> encodeShutter(uint8_t action) {
    std::array<uint8_t, kShutterPayloadLength> payload{};
    payload[1] = action;
    return payload;
}

int clampThermoX(int x) {
    return std::clamp(x, kThermoMinX, kThermoMaxX);
}

int clampThermoY(int y) {
    return std::clamp(y, kThermoMinY, kThermoMaxY);
}

ThermometryRegion clampThermometryRegion(int centerX, int centerY, int width, int height) {
    ThermometryRegion region;
    region.width = std::clamp(width, 1, kThermoMaxX - kThermoMinX);
    region.height = std::clamp(height, 1, kThermoMaxY - kThermoMinY);
    const int halfW = region.width / 2;
    const int halfH = region.height / 2;
    region.centerX = std::clamp(centerX, kThermoMinX + halfW, kThermoMaxX - halfW);
    region.centerY = std::clamp(centerY, kThermoMinY + halfH, kThermoMaxY - halfH);
    return region;
}

std::array<uint8_t, 9> encodeThermometryRegion(const ThermometryRegion& region) {
    std::array<uint8_t, 9> payload{};
    putU16(payload.data(), region.width);
    putU16(payload.data() + 2, region.height);
    putU16(payload.data() + 4, region.centerX);
    putU16(payload.data() + 6, region.centerY);
    return payload;
}

std::array<uint8_t, 5> encodeThermometryPoint(int x, int y) {
    std::array<uint8_t, 5> payload{};
    putU16(payload.data(), x);
    putU16(payload.data() + 2, y);
    return payload;
}

uint8_t enhanceLevelByte(bool enable, int level) {
    return enable ? static_cast<uint8_t>(std::clamp(level, 1, 10)) : 0;
}

std::array<uint8_t, 18> encodeAiDetect(bool enable, const QVariantList& categoryIds) {
    std::array<uint8_t, 18> payload{};
    payload[0] = enable ? 1 : 2;
    for (const QVariant& element : categoryIds) {
        bool ok = false;
        const int id = element.toInt(&ok);
        if (!ok || id < 1 || id > kAiCategoryCount)
            continue;
        payload[2 + (id - 1) / 8] |= static_cast<uint8_t>(1u << ((id - 1) % 8));
    }
    return payload;
}

std::array<uint8_t, 8> encodeChannelConfig(const std::array<int, 8>& channels) {
    std::array<uint8_t, 8> payload{};
    for (size_t i = 0; i < channels.size(); ++i)
        payload[i] = static_cast<uint8_t>(std::clamp(channels[i], 0, kNoChannel));
    return payload;
}

std::array<uint8_t, 5> encodeChannelRange(int maxValue, int minValue) {
    std::array<uint8_t, 5> payload{};
    putU16(payload.data(), maxValue);
    putU16(payload.data() + 2, minValue);
    return payload;
}

bool parseIpv4(const QString& text, uint8_t out[4]) {
    const QStringList parts = text.trimmed().split(QLatin1Char('.'));
    if (parts.size() != 4)
        return false;
    uint8_t bytes[4] = {};
    for (int i = 0; i < 4; ++i) {
        bool ok = false;
        const int value = parts.at(i).toInt(&ok, 10);
        if (parts.at(i).isEmpty() || !ok || value < 0 || value > 255)
            return false;
        bytes[i] = static_cast<uint8_t>(value);
    }
    std::copy(bytes, bytes + 4, out);
    return true;
}

std::array<uint8_t, 13> encodeCameraIp(int ipType, const uint8_t ip[4], const uint8_t mask[4],
                                       const uint8_t gateway[4]) {
    std::array<uint8_t, 13> payload{};
    payload[0] = static_cast<uint8_t>(std::clamp(ipType, 0, 1));
    std::copy(ip, ip + 4, payload.begin() + 1);
    std::copy(mask, mask + 4, payload.begin() + 5);
    std::copy(gateway, gateway + 4, payload.begin() + 9);
    return payload;
}

}  // namespace CommandPayloads
