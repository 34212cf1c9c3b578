// The thermal camera: settings, palette, zoom and thermometry over a synthetic temperature field.
#include <cmath>

#include "DeviceModel.h"
#include "protocol/MessageCatalogue.h"

using namespace DeviceBytes;

namespace {
// The measurable part of the 1920 x 1080 thermal picture.
const QRect kMeasurableArea(QPoint(325, 33), QPoint(1594, 1046));

constexpr double kAmbientC = 22.0;
constexpr double kHotRiseC = 45.0;
constexpr double kColdDropC = 12.0;
constexpr double kSpotRadiusPx = 120.0;

struct Field {
    QPoint hot;
    QPoint cold;

    double at(QPoint point) const {
        auto bump = [point](QPoint centre) {
            const double dx = point.x() - centre.x();
            const double dy = point.y() - centre.y();
            return std::exp(-(dx * dx + dy * dy) / (2 * kSpotRadiusPx * kSpotRadiusPx));
        };
        return kAmbientC + kHotRiseC * bump(hot) - kColdDropC * bump(cold);
    }
};

// The hot and cold spots wander slowly through the measured area, always inside it.
Field fieldAt(const QRect& area, qint64 nowMs) {
    const double t = nowMs / 1000.0;
    auto inside = [&area](double fx, double fy) {
        return QPoint(area.left() + int(std::lround(fx * area.width())),
                      area.top() + int(std::lround(fy * area.height())));
    };
    return Field{inside(0.5 + 0.3 * std::sin(t * 0.31), 0.5 + 0.3 * std::cos(t * 0.23)),
                 inside(0.5 - 0.3 * std::sin(t * 0.17), 0.5 - 0.3 * std::cos(t * 0.29))};
}

int tenths(double celsius) {
    return int(std::lround(celsius * 10));
}
}  // namespace

// Answered with the request's own id, as the camera does: result, palette code, zoom in bits 3-7,
// then brightness, contrast, denoise switch and level, enhance level, super-resolution, thermometry.
DeviceFrames DeviceModel::onReadIrSettings(const Request& r) {
    DeviceFrame frame;
    frame.messageId = MessageId::InfraredReadSettings;
    frame.isReply = true;
    put16(frame.payload, 0);
    frame.payload.append(bytes({m_paletteCode, m_irZoom << 3, m_brightness, m_contrast, m_denoiseOn, m_denoiseLevel,
                                m_enhance, m_superRes, m_thermometryOn ? 1 : 0, 0}));
    Q_UNUSED(r);
    return {frame};
}

DeviceFrames DeviceModel::onIrZoom(const Request& r) {
    if (r.p[0] < 1 || r.p[0] > 8)
        return {reply(r.number, {}, 1)};
    m_irZoom = r.p[0];
    return {reply(r.number)};
}

DeviceFrames DeviceModel::onPalette(const Request& r) {
    if (r.p[0] < 1 || r.p[0] > m_profile.paletteCount)
        return {reply(r.number, {}, 1)};
    m_paletteCode = r.p[0];
    return {reply(r.number)};
}

DeviceFrames DeviceModel::onIrAdjustment(const Request& r) {
    const quint8 value = r.p[0];
    switch (r.number) {
        case messageNumber(MessageId::InfraredBrightness):
            if (value > 100)
                return {reply(r.number, {}, 1)};
            m_brightness = value;
            break;
        case messageNumber(MessageId::InfraredContrast):
            if (value > 100)
                return {reply(r.number, {}, 1)};
            m_contrast = value;
            break;
        case messageNumber(MessageId::InfraredDenoise):
            if (value > 1 || r.p[1] > 100)
                return {reply(r.number, {}, 1)};
            m_denoiseOn = value;
            m_denoiseLevel = r.p[1];
            break;
        case messageNumber(MessageId::InfraredEnhance):
            if (value > 10)
                return {reply(r.number, {}, 1)};
            m_enhance = value;
            break;
        default:  // super-resolution
            if (value > 1)
                return {reply(r.number, {}, 1)};
            m_superRes = value;
            break;
    }
    return {reply(r.number)};
}

// 0 switches thermometry on, 1 off.
DeviceFrames DeviceModel::onThermometrySwitch(const Request& r) {
    if (r.p[0] > 1)
        return {reply(r.number, {}, 1)};
    m_thermometryOn = r.p[0] == 0;
    if (!m_thermometryOn)
        m_region = QRect();
    m_lastThermometryMs = 0;
    return {reply(r.number)};
}

DeviceFrames DeviceModel::onSpotThermometry(const Request& r) {
    const QPoint spot(u16(r.p), u16(r.p + 2));
    if (!kMeasurableArea.contains(spot))
        return {reply(r.number, {}, 1)};
    m_spot = spot;
    m_region = QRect();
    return {reply(r.number)};
}

// Width, height, centre x, centre y.
DeviceFrames DeviceModel::onRegionThermometry(const Request& r) {
    const int width = u16(r.p);
    const int height = u16(r.p + 2);
    const QPoint centre(u16(r.p + 4), u16(r.p + 6));
    const QRect region(centre.x() - width / 2, centre.y() - height / 2, width, height);
    if (width < 1 || height < 1 || !kMeasurableArea.contains(region))
        return {reply(r.number, {}, 1)};
    m_region = region;
    return {reply(r.number)};
}

// The camera measures on a grid over the area; the spots' centres are always among the samples.
DeviceModel::Measurement DeviceModel::measure(qint64 nowMs) const {
    const QRect area = m_region.isEmpty() ? kMeasurableArea : m_region;
    const Field field = fieldAt(area, m_stillThermalField ? 0 : nowMs);
    QPoint hottest = field.hot;
    QPoint coldest = field.cold;
    double sum = 0;
    int samples = 0;
    for (int row = 0; row <= 12; ++row) {
        for (int column = 0; column <= 16; ++column) {
            const QPoint point(area.left() + column * (area.width() - 1) / 16,
                               area.top() + row * (area.height() - 1) / 12);
            const double t = field.at(point);
            sum += t;
            ++samples;
            if (t > field.at(hottest))
                hottest = point;
            if (t < field.at(coldest))
                coldest = point;
        }
    }
    return Measurement{area,
                       hottest,
                       coldest,
                       area.center(),
                       field.at(hottest),
                       field.at(coldest),
                       field.at(area.center()),
                       field.at(m_spot),
                       sum / samples};
}

// 34 bytes: max, min, centre, spot, average temperature (tenths of a degree, signed), positions of
// the maximum, minimum and centre, spot position, 4 reserved, palette set, 3 reserved.
// Off, only the palette set is meaningful and the temperatures are zero.
DeviceFrame DeviceModel::thermometryReport(qint64 nowMs) const {
    const Measurement m = measure(nowMs);
    const bool on = m_thermometryOn;
    QByteArray payload;
    for (double celsius : {m.maxC, m.minC, m.centreC, m.spotC, m.averageC})
        put16(payload, on ? tenths(celsius) : 0);
    for (const QPoint& point : {m.hottest, m.coldest, m.centre, m_spot}) {
        put16(payload, on ? point.x() : 0);
        put16(payload, on ? point.y() : 0);
    }
    put16(payload, 0);
    put16(payload, 0);
    payload.append(char(m_profile.paletteSet));
    payload.append(QByteArray(3, 0));
    return report(reportIdOf(MessageId::InfraredCameraStatus), payload);
}
