#include "Telemetry.h"

#include <QDateTime>
#include <mutex>

namespace {

std::mutex g_feedLock;
Telemetry g_latest;  // guarded by g_feedLock

QString isoTime(qint64 timeMs) {
    return QDateTime::fromMSecsSinceEpoch(timeMs, Qt::UTC).toString(Qt::ISODateWithMs);
}

QString number(double value, int decimals = 1) {
    return QString::number(value, 'f', decimals);
}

struct Label {
    const char* cn;
    const char* en;
};

QString label(const Telemetry& t, const Label& text) {
    return QString::fromUtf8(t.chinese ? text.cn : text.en);
}

const Label kNoData{"无数据", "no data"};
const Label kYaw{"偏航", "Yaw"};
const Label kPitch{"俯仰", "Pitch"};
const Label kRoll{"横滚", "Roll"};
const Label kZoom{"变倍", "Zoom"};
const Label kRange{"测距", "Range"};
const Label kMax{"最高", "Max"};
const Label kMin{"最低", "Min"};

}  // namespace

Telemetry Telemetry::freshAt(qint64 nowMs) const {
    Telemetry fresh = *this;
    const auto stale = [&](qint64 whenMs) { return deviceSilent || nowMs - whenMs > staleAfterMs; };
    if (stale(attitudeMs))
        fresh.hasAttitude = false;
    if (stale(slantRangeMs))
        fresh.hasSlantRange = false;
    if (deviceSilent) {
        fresh.sensor.clear();
        fresh.hasZoom = false;
        fresh.thermometryOn = false;
    }
    return fresh;
}

bool Telemetry::hasDeviceValues() const {
    return hasAttitude || hasSlantRange || hasZoom || thermometryOn || !sensor.isEmpty();
}

Klv0601::Values Telemetry::klvValues(qint64 arrivalUs) const {
    Klv0601::Values values;
    values.timeUs = uint64_t(std::max<qint64>(0, arrivalUs));
    values.platform = product.toUtf8();
    values.sensor = sensor.toLatin1();
    values.hasAttitude = hasAttitude;
    values.azimuthDeg = yawDeg;
    values.elevationDeg = pitchDeg;
    values.rollDeg = rollDeg;
    values.hasSlantRange = hasSlantRange;
    values.slantRangeM = slantRangeM;
    return values;
}

QString Telemetry::subtitleText(qint64 timeMs) const {
    QStringList parts;
    if (hasAttitude) {
        parts << QStringLiteral("%1 %2° %3 %4° %5 %6°")
                     .arg(label(*this, kYaw), number(yawDeg), label(*this, kPitch), number(pitchDeg),
                          label(*this, kRoll), number(rollDeg));
    }
    if (hasZoom)
        parts << QStringLiteral("%1 %2×").arg(label(*this, kZoom), number(zoom));
    if (hasSlantRange)
        parts << QStringLiteral("%1 %2 m").arg(label(*this, kRange), number(slantRangeM));
    if (thermometryOn) {
        parts << QStringLiteral("%1 %2 °C %3 %4 °C")
                     .arg(label(*this, kMax), number(maxTempC), label(*this, kMin), number(minTempC));
    }
    const QString values = deviceSilent || parts.isEmpty() ? label(*this, kNoData) : parts.join(QStringLiteral("  "));
    return isoTime(timeMs) + QLatin1Char('\n') + values;
}

QList<QPair<QString, QString>> Telemetry::pngText(qint64 timeMs) const {
    QList<QPair<QString, QString>> text{{QStringLiteral("Creation Time"), isoTime(timeMs)}};
    if (!product.isEmpty())
        text.append({QStringLiteral("Skyvane Product"), product});
    if (!sensor.isEmpty())
        text.append({QStringLiteral("Skyvane Sensor"), sensor});
    if (hasAttitude) {
        text.append({QStringLiteral("Skyvane Yaw"), number(yawDeg, 2)});
        text.append({QStringLiteral("Skyvane Pitch"), number(pitchDeg, 2)});
        text.append({QStringLiteral("Skyvane Roll"), number(rollDeg, 2)});
    }
    if (hasZoom)
        text.append({QStringLiteral("Skyvane Zoom"), number(zoom)});
    if (hasSlantRange)
        text.append({QStringLiteral("Skyvane Slant Range"), number(slantRangeM)});
    if (thermometryOn) {
        text.append({QStringLiteral("Skyvane Max Temp"), number(maxTempC)});
        text.append({QStringLiteral("Skyvane Min Temp"), number(minTempC)});
    }
    if (deviceSilent || !hasDeviceValues())
        text.append({QStringLiteral("Skyvane Telemetry"), QStringLiteral("no data")});
    return text;
}

namespace TelemetryFeed {

void publish(const Telemetry& telemetry) {
    std::lock_guard<std::mutex> locker(g_feedLock);
    g_latest = telemetry;
}

Telemetry latest() {
    std::lock_guard<std::mutex> locker(g_feedLock);
    return g_latest;
}

}  // namespace TelemetryFeed
