#include "ReportDecoders.h"

#include <QStringList>

#include <algorithm>
#include <cstddef>

#include "CommandPayloads.h"

namespace DeviceReports {

namespace {

constexpr int kDetectionRecordLength = 10;
constexpr int kMaxDetectionRecords = 24;
constexpr int kCategoryBitmapBytes = 16;
constexpr int kNoChannel = 16;

int u16(const uint8_t* p) {
    return p[0] | (p[1] << 8);
}
int s16(const uint8_t* p) {
    return static_cast<int16_t>(static_cast<uint16_t>(p[0] | (p[1] << 8)));
}

int codeIndex(uint8_t code, int count) {
    return code < count ? code : -1;
}

struct CategoryName {
    const char* en;
    const char* cn;
};
const CategoryName kCategories[] = {
    {"Pedestrian", "行人"}, {"Crowd", "人群"},         {"Bicycle", "自行车"},  {"Car", "小汽车"},
    {"Van", "货车"},        {"Truck", "卡车"},         {"Tricycle", "三轮车"}, {"Canopy tricycle", "遮阳棚-三轮车"},
    {"Bus", "公交车"},      {"Motorcycle", "摩托车"},  {"Aircraft", "飞机"},   {"Boat", "船"},
    {"Fire", "火情"},       {"License plate", "车牌"}, {"Roof", "房顶"},
};
constexpr int kNamedCategories = int(sizeof kCategories / sizeof kCategories[0]);

}  // namespace

CameraStatus decodeCameraStatus(const uint8_t* p) {
    CameraStatus status;
    status.photoVideoMode = p[0];
    status.rtspResolutionIndex = codeIndex(p[1], 2);
    status.videoEncodingIndex = codeIndex(p[2], 2);
    switch (p[3]) {
        case 0:
            status.streamModeIndex = 0;
            break;
        case 5:
        case 6:
            status.streamModeIndex = 1;
            break;
        case 7:
            status.streamModeIndex = 2;
            break;
        default:
            status.streamModeIndex = -1;
    }
    status.videoBitrateIndex = p[4] >= 1 && p[4] <= 6 ? p[4] - 1 : -1;
    status.sdStatus = p[8];
    return status;
}

QString sdStatusName(int code) {
    static const char* const names[] = {"正常卡", "异常卡", "读写慢", "未插入", "已满", "格式错误"};
    if (code >= 0 && code < int(sizeof names / sizeof names[0]))
        return QString::fromUtf8(names[code]);
    return QStringLiteral("未知");
}

Thermometry decodeThermometry(const uint8_t* p) {
    Thermometry report;
    report.maxTemp = s16(p);
    report.minTemp = s16(p + 2);
    report.spotTemp = s16(p + 6);
    report.avgTemp = s16(p + 8);
    report.maxX = u16(p + 10);
    report.maxY = u16(p + 12);
    report.minX = u16(p + 14);
    report.minY = u16(p + 16);
    report.spotX = u16(p + 22);
    report.spotY = u16(p + 24);
    report.paletteSet = p[30];
    return report;
}

MeasuringArea measuringArea(int centerX, int centerY, int width, int height) {
    using namespace CommandPayloads;
    int x0 = kThermoMinX, x1 = kThermoMaxX, y0 = kThermoMinY, y1 = kThermoMaxY;
    if (width >= 1 && height >= 1) {
        x0 = centerX - width / 2;
        x1 = centerX + width / 2;
        y0 = centerY - height / 2;
        y1 = centerY + height / 2;
    }
    MeasuringArea area;
    area.x0 = std::max(std::min(x0, x1), kThermoMinX);
    area.x1 = std::max(area.x0, std::min(x1, kThermoMaxX));
    area.y0 = std::max(std::min(y0, y1), kThermoMinY);
    area.y1 = std::max(area.y0, std::min(y1, kThermoMaxY));
    return area;
}

bool thermometryUsable(const Thermometry& report, const MeasuringArea& area) {
    if (report.empty())
        return false;
    return area.contains(report.maxX, report.maxY) || area.contains(report.minX, report.minY) ||
           area.contains(report.spotX, report.spotY);
}

VisibleZoomStatus decodeVisibleZoom(const uint8_t* p) {
    VisibleZoomStatus status;
    status.zooming = p[0] != 0;
    status.focalLength = u16(p + 1);
    status.ratio = u16(p + 3) / 10.0;
    status.ev = p[5];
    status.iso = u16(p + 6);
    status.shutter = u16(p + 8);
    status.aeLock = p[10];
    status.focus = p[11];
    status.reshotFocalLength = u16(p + 12);
    return status;
}

QString zoomTypeFor(double ratio) {
    return ratio < 11.0 ? QStringLiteral("光学") : QStringLiteral("电子放大");
}

QString visibleZoomDebugLine(const VisibleZoomStatus& s) {
    const QString aeLock = s.aeLock == 1   ? QStringLiteral("开")
                           : s.aeLock == 2 ? QStringLiteral("关")
                                           : QStringLiteral("未知");
    const QString focus = s.focus == 0   ? QStringLiteral("对焦完成")
                          : s.focus == 1 ? QStringLiteral("对焦中")
                                         : QStringLiteral("未知");
    return QStringLiteral(
               "[0x000005 可见光相机状态] Byte1变倍:%1 | Byte2-3焦距:%2(0.01mm) | Byte4-5倍率:%3x(%4) | Byte6 "
               "EV:0x%5 | Byte7-8 ISO:0x%6 | Byte9-10快门:0x%7 | Byte11 AE锁:%8 | Byte12对焦:%9 | "
               "Byte13-14复拍焦距:%10")
        .arg(s.zooming ? QStringLiteral("变倍中") : QStringLiteral("完成"))
        .arg(s.focalLength)
        .arg(s.ratio, 0, 'f', 1)
        .arg(zoomTypeFor(s.ratio))
        .arg(s.ev, 2, 16, QLatin1Char('0'))
        .arg(s.iso, 4, 16, QLatin1Char('0'))
        .arg(s.shutter, 4, 16, QLatin1Char('0'))
        .arg(aeLock, focus)
        .arg(s.reshotFocalLength);
}

Detection decodeDetection(const uint8_t* p, int length) {
    Detection detection;
    detection.count = p[length - 2];
    detection.status = p[length - 1];
    const int recordBytes = length - 2;
    if (recordBytes < kDetectionRecordLength || detection.count == 0)
        return detection;
    const int records = std::min({detection.count, recordBytes / kDetectionRecordLength, kMaxDetectionRecords});
    for (int k = 0; k < records; ++k) {
        const uint8_t* record = p + static_cast<ptrdiff_t>(k) * kDetectionRecordLength;
        const int category = record[9];
        if (record[8] != 0 && category != 0 && !detection.categories.contains(category))
            detection.categories << category;
    }
    return detection;
}

QString categoryName(int id, bool english) {
    if (id >= 1 && id <= kNamedCategories) {
        const CategoryName& name = kCategories[id - 1];
        return QString::fromUtf8(english ? name.en : name.cn);
    }
    return english ? QStringLiteral("Category %1").arg(id) : QStringLiteral("类别%1").arg(id);
}

QString categoryText(const QVector<int>& ids, bool english) {
    QStringList names;
    for (int id : ids)
        names << categoryName(id, english);
    std::sort(names.begin(), names.end());
    return names.join(english ? QStringLiteral(", ") : QStringLiteral("、"));
}

std::optional<int> infraredZoomLevel(uint8_t zoomByte) {
    const int level = zoomByte >> 3;
    if (level == 0)
        return 1;
    if (level > 8)
        return std::nullopt;
    return level;
}

ChannelConfig decodeChannelConfig(const uint8_t* p) {
    ChannelConfig config;
    config.rangeMax = u16(p + 2);
    config.rangeMin = u16(p + 4);
    config.streamCh = p[6];
    config.zoomCh = p[7];
    config.captureCh = p[8];
    config.recordCh = p[9];
    config.pitchCh = p[10];
    config.yawCh = p[11];
    config.homeCh = p[12];
    config.irPaletteCh = std::min((p[13] >> 1) & 0x1F, kNoChannel);
    return config;
}

QVariantList decodeCategoryBitmap(const uint8_t* p, int length) {
    QVariantList ids;
    for (int i = 0; i < kCategoryBitmapBytes && 3 + i < length; ++i) {
        for (int bit = 0; bit < 8; ++bit) {
            if (p[3 + i] & (1u << bit))
                ids << QVariant(8 * i + bit + 1);
        }
    }
    return ids;
}

QString ipv4Text(const uint8_t* bytes) {
    return QStringLiteral("%1.%2.%3.%4").arg(bytes[0]).arg(bytes[1]).arg(bytes[2]).arg(bytes[3]);
}

Attitude decodeAttitude(const uint8_t* p) {
    Attitude attitude;
    attitude.yawSpeed = s16(p) / 100.0;
    attitude.rollSpeed = s16(p + 2) / 100.0;
    attitude.pitchSpeed = s16(p + 4) / 100.0;
    attitude.yaw = s16(p + 6) / 100.0;
    attitude.roll = s16(p + 8) / 100.0;
    attitude.pitch = s16(p + 10) / 100.0;
    return attitude;
}

}  // namespace DeviceReports
