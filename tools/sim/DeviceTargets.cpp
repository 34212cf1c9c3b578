// Detection with synthetic targets, box tracking, laser ranging, remote-control channels and the
// camera's network address.
#include <cmath>

#include "DeviceModel.h"
#include "protocol/MessageCatalogue.h"

using namespace DeviceBytes;

namespace {
struct SyntheticTarget {
    int category;
    const char* label;
    QRect home;  // 1920 x 1080 device coordinates
    double periodS;
};

// A pedestrian, a car, a truck and a boat, each moving on a slow loop around its home position.
const SyntheticTarget kTargets[] = {
    {1, "Pedestrian", QRect(300, 620, 40, 110), 9.0},
    {4, "Car", QRect(820, 700, 180, 90), 12.0},
    {6, "Truck", QRect(1300, 640, 260, 150), 15.0},
    {12, "Boat", QRect(1500, 420, 200, 80), 20.0},
};

bool categoryEnabled(const QByteArray& bitmap, int category) {
    const int bit = category - 1;
    return (quint8(bitmap[bit / 8]) >> (bit % 8)) & 1;
}

constexpr double kGroundHeightM = 120.0;  // the simulated aircraft's height above flat ground
constexpr double kMaxRangeM = 1500.0;
}  // namespace

DeviceFrames DeviceModel::onAiDetection(const Request& r) {
    if (r.p[0] != 1 && r.p[0] != 2)
        return {reply(r.number, {}, 1)};
    m_detecting = r.p[0] == 1;
    m_categoryBitmap = QByteArray(reinterpret_cast<const char*>(r.p + 2), 16);
    m_lastDetectionMs = 0;
    return {reply(r.number)};
}

// The detector is available and knows categories 1 to 15.
DeviceFrames DeviceModel::onAiCategories(const Request& r) {
    QByteArray extra = bytes({1, 0xFF, 0x7F});
    extra.append(QByteArray(14, 0));
    return {reply(r.number, extra)};
}

QVector<VideoState::Detection> DeviceModel::detections(qint64 nowMs) const {
    const bool allCategories = m_categoryBitmap.count(char(0)) == m_categoryBitmap.size();
    QVector<VideoState::Detection> found;
    for (const SyntheticTarget& target : kTargets) {
        if (!allCategories && !categoryEnabled(m_categoryBitmap, target.category))
            continue;
        const double phase = 2 * M_PI * (nowMs / 1000.0) / target.periodS;
        const QPoint offset(int(80 * std::sin(phase)), int(20 * std::cos(phase)));
        found.append({target.home.translated(offset), QString::fromLatin1(target.label)});
    }
    return found;
}

// Records of 10 bytes (x, y, width, height, confidence, category), then count and status
// (0 targets found, 2 none).
DeviceFrame DeviceModel::detectionReport(qint64 nowMs) const {
    QByteArray payload;
    const auto found = detections(nowMs);
    for (const auto& detection : found) {
        put16(payload, detection.box.x());
        put16(payload, detection.box.y());
        put16(payload, detection.box.width());
        put16(payload, detection.box.height());
        payload.append(char(90));
        for (const SyntheticTarget& target : kTargets)
            if (QLatin1String(target.label) == detection.label)
                payload.append(char(target.category));
    }
    payload.append(char(found.size()));
    payload.append(char(found.isEmpty() ? 2 : 0));
    return report(reportIdOf(MessageId::AiDetection), payload);
}

// 1 start with a box (x, y, width, height in the 1920 x 1088 frame), 2 stop.
DeviceFrames DeviceModel::onBoxTracking(const Request& r) {
    if (r.p[0] == 2) {
        const bool wasTracking = m_tracking;
        m_tracking = m_trackLostPending = false;
        if (!wasTracking)
            return {reply(r.number)};
        return {reply(r.number), trackingReport(2)};
    }
    const QRect box(u16(r.p + 1), u16(r.p + 3), u16(r.p + 5), u16(r.p + 7));
    if (r.p[0] != 1 || box.isEmpty() || !QRect(0, 0, 1920, 1088).contains(box))
        return {reply(r.number, {}, 1)};
    m_tracking = true;
    m_trackLostPending = false;
    m_trackBox = box;
    m_lastTrackingMs = 0;
    return {reply(r.number)};
}

// 12 bytes: tracking flag, box, 2 reserved, status (1 tracking, 2 lost or ended).
DeviceFrame DeviceModel::trackingReport(quint8 status) const {
    QByteArray payload;
    payload.append(char(status == 1 ? 1 : 0));
    for (int value : {m_trackBox.x(), m_trackBox.y(), m_trackBox.width(), m_trackBox.height()})
        put16(payload, value);
    put16(payload, 0);
    payload.append(char(status));
    return report(reportIdOf(MessageId::BoxTracking), payload);
}

// Looking down: the distance to flat ground below; looking level: a hill that varies with the
// bearing; looking up or beyond range: no echo (0).
quint16 DeviceModel::laserRangeTenths() const {
    const double pitch = m_gimbal.pitch;
    double metres = 0;
    if (pitch < -3.0)
        metres = kGroundHeightM / std::sin(-pitch * M_PI / 180.0);
    else if (pitch <= 10.0)
        metres = 850.0 + 150.0 * std::sin(m_gimbal.yaw * M_PI / 180.0);
    if (metres <= 0 || metres > kMaxRangeM)
        return 0;
    return quint16(std::lround(metres * 10));
}

DeviceFrames DeviceModel::onLaserSingle(const Request& r) {
    QByteArray extra;
    put16(extra, laserRangeTenths());
    return {reply(r.number, extra)};
}

// 1 starts periodic ranging, 0 stops it; the last measurement follows the stop.
DeviceFrames DeviceModel::onLaserPeriodic(const Request& r) {
    if (r.p[0] > 1)
        return {reply(r.number, {}, 1)};
    const bool wasOn = m_laserPeriodic;
    m_laserPeriodic = r.p[0] == 1;
    m_lastLaserMs = 0;
    if (wasOn && !m_laserPeriodic)
        return {reply(r.number), laserReport()};
    return {reply(r.number)};
}

DeviceFrame DeviceModel::laserReport() const {
    QByteArray payload;
    put16(payload, 0);
    put16(payload, laserRangeTenths());
    return report(reportIdOf(MessageId::LaserPeriodicRanging), payload);
}

DeviceFrames DeviceModel::onChannelRange(const Request& r) {
    const quint16 max = u16(r.p);
    const quint16 min = u16(r.p + 2);
    if (max > 2047 || min >= max)
        return {reply(r.number, {}, 1)};
    m_channelMax = max;
    m_channelMin = min;
    return {reply(r.number)};
}

DeviceFrames DeviceModel::onChannelConfig(const Request& r) {
    for (int i = 0; i < 8; ++i)
        if (r.p[i] > 16)
            return {reply(r.number, {}, 1)};
    for (int i = 0; i < 8; ++i)
        m_channels[i] = r.p[i];
    return {reply(r.number)};
}

// Range max and min, seven channels, and the palette channel in bits 1-5 of the last byte.
DeviceFrames DeviceModel::onReadChannels(const Request& r) {
    QByteArray extra;
    put16(extra, m_channelMax);
    put16(extra, m_channelMin);
    for (int i = 0; i < 7; ++i)
        extra.append(char(m_channels[i]));
    extra.append(char(m_channels[7] << 1));
    return {reply(r.number, extra)};
}

DeviceFrames DeviceModel::onSetCameraIp(const Request& r) {
    if (r.p[0] > 1)
        return {reply(r.number, {}, 1)};
    for (int i = 0; i < 13; ++i)
        m_ip[i] = r.p[i];
    return {reply(r.number)};
}

DeviceFrames DeviceModel::onGetCameraIp(const Request& r) {
    QByteArray extra;
    for (int i = 1; i < 13; ++i)
        extra.append(char(m_ip[i]));
    return {reply(r.number, extra)};
}
