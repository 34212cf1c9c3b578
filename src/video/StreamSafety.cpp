#include "StreamSafety.h"

#include <QRegularExpression>
#include <algorithm>
#include <mutex>

#include "app/AppConfig.h"
#include "app/elog.h"

extern "C" {
#include <libavutil/mem.h>
}

namespace {

// Probing buffers, packet pools and the muxer's buffers of an ordinary camera stream fit easily.
constexpr qint64 kAllocationFloorBytes = 64LL * 1024 * 1024;
// Per-plane padding and alignment of the decoders' picture buffers, with room to spare.
constexpr qint64 kAllocationMarginBytes = 16LL * 1024 * 1024;

const char kMaxPictureSizeKey[] = "Video/MaxPictureSize";

}  // namespace

QSize parseMaxPictureSize(const QString& text) {
    static const QRegularExpression pattern(QStringLiteral("^\\s*(\\d{1,6})\\s*[xX*]\\s*(\\d{1,6})\\s*$"));
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch())
        return QSize();
    const int width = match.captured(1).toInt();
    const int height = match.captured(2).toInt();
    const auto inBounds = [](int side) { return side >= kMinPictureSide && side <= kMaxPictureSide; };
    return inBounds(width) && inBounds(height) ? QSize(width, height) : QSize();
}

QSize maxPictureSize() {
    const QSize fallback(kDefaultMaxPictureSide, kDefaultMaxPictureSide);
    const QString raw = AppConfig::stringValue(QLatin1String(kMaxPictureSizeKey));
    if (raw.trimmed().isEmpty())
        return fallback;
    const QSize parsed = parseMaxPictureSize(raw);
    if (parsed.isValid())
        return parsed;
    elog_w("video", "%s=%s not understood (WxH, each side %d to %d), using %dx%d", kMaxPictureSizeKey,
           raw.toUtf8().constData(), kMinPictureSide, kMaxPictureSide, fallback.width(), fallback.height());
    return fallback;
}

bool pictureSizeAllowed(const QSize& picture, const QSize& limit) {
    return picture.width() <= limit.width() && picture.height() <= limit.height();
}

qint64 allocationCapFor(const QSize& limit) {
    const qint64 plane = 2LL * limit.width() * limit.height();
    return std::max(kAllocationFloorBytes, plane + kAllocationMarginBytes);
}

void capVideoAllocations() {
    static std::once_flag once;
    std::call_once(once, [] {
        const QSize limit = maxPictureSize();
        const qint64 cap = allocationCapFor(limit);
        av_max_alloc(size_t(cap));
        elog_i("video", "FFmpeg allocations capped at %lld MB, pictures up to %dx%d",
               static_cast<long long>(cap / (1024 * 1024)), limit.width(), limit.height());
    });
}
