#include "FrameStamp.h"

#include <QPainter>

#include <array>
#include <cmath>

namespace FrameStamp {
namespace {

constexpr int kPayloadBytes = 12;  // 6 bytes of time, 4 of counter, 2 of CRC
constexpr int kDataBitsPerRow = kBlocksPerRow - 2;
constexpr int kMinContrast = 60;  // white reference minus black reference, in 0..255 luma

using Payload = std::array<quint8, kPayloadBytes>;

quint16 crc16(const quint8* data, int length) {
    quint16 crc = 0xFFFF;
    for (int i = 0; i < length; ++i) {
        crc ^= static_cast<quint16>(data[i]) << 8;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 0x8000) ? static_cast<quint16>((crc << 1) ^ 0x1021) : crc << 1;
    }
    return crc;
}

Payload pack(qint64 epochMs, quint32 frameCounter) {
    Payload payload{};
    const quint64 time = static_cast<quint64>(epochMs) & 0xFFFFFFFFFFFFULL;
    for (int i = 0; i < 6; ++i)
        payload[i] = static_cast<quint8>(time >> (8 * (5 - i)));
    for (int i = 0; i < 4; ++i)
        payload[6 + i] = static_cast<quint8>(frameCounter >> (8 * (3 - i)));
    const quint16 crc = crc16(payload.data(), 10);
    payload[10] = static_cast<quint8>(crc >> 8);
    payload[11] = static_cast<quint8>(crc);
    return payload;
}

bool bitAt(const Payload& payload, int index) {
    return (payload[index / 8] >> (7 - index % 8)) & 1;
}

QRect blockRect(int block, int row, int size) {
    return QRect((1 + block) * size, (1 + row) * size, size, size);
}

int bytesPerPixel(PixelFormat format) {
    return format == PixelFormat::Rgb32 ? 4 : format == PixelFormat::Rgb24 ? 3 : 1;
}

// Mean luma over the middle half of a block, away from its edges where compression and scaling
// smear. Blocks may start and end between pixels (a picture scaled by any factor).
struct Sampler {
    const uchar* data;
    int width;
    int height;
    int stride;
    PixelFormat format;

    int luma(int x, int y) const {
        const uchar* p = data + static_cast<qsizetype>(y) * stride;
        switch (format) {
            case PixelFormat::Rgb32:
                p += x * 4;
                return (p[0] + 2 * p[1] + p[2]) / 4;
            case PixelFormat::Rgb24:
                p += x * 3;
                return (p[0] + 2 * p[1] + p[2]) / 4;
            case PixelFormat::Gray8:
                return p[x];
        }
        return 0;
    }

    // -1 when the block does not lie inside the picture.
    int blockMean(QPointF origin, double edge, int block, int row) const {
        const double inset = edge / 4;
        const double left = origin.x() + (1 + block) * edge + inset;
        const double top = origin.y() + (1 + row) * edge + inset;
        const int x0 = int(std::ceil(left));
        const int y0 = int(std::ceil(top));
        const int x1 = qMax(x0, int(std::floor(left + edge - 2 * inset)) - 1);
        const int y1 = qMax(y0, int(std::floor(top + edge - 2 * inset)) - 1);
        if (x0 < 0 || y0 < 0 || x1 >= width || y1 >= height)
            return -1;
        int sum = 0;
        for (int y = y0; y <= y1; ++y) {
            for (int x = x0; x <= x1; ++x)
                sum += luma(x, y);
        }
        return sum / ((x1 - x0 + 1) * (y1 - y0 + 1));
    }

    Decoded read(QPointF origin, double edge) const;
};

Decoded Sampler::read(QPointF origin, double edge) const {
    Decoded result;
    if (edge < 2)
        return result;
    Payload payload{};
    for (int row = 0; row < kRows; ++row) {
        const int white = blockMean(origin, edge, 0, row);
        const int black = blockMean(origin, edge, 1, row);
        if (white < 0 || black < 0 || white - black < kMinContrast)
            return result;
        const int threshold = (white + black) / 2;
        for (int bit = 0; bit < kDataBitsPerRow; ++bit) {
            const int mean = blockMean(origin, edge, 2 + bit, row);
            if (mean < 0)
                return result;
            if (mean < threshold)
                continue;
            const int index = row * kDataBitsPerRow + bit;
            payload[index / 8] |= static_cast<quint8>(1 << (7 - index % 8));
        }
    }
    const quint16 crc = crc16(payload.data(), 10);
    if (payload[10] != (crc >> 8) || payload[11] != (crc & 0xFF))
        return result;
    for (int i = 0; i < 6; ++i)
        result.epochMs = (result.epochMs << 8) | payload[i];
    for (int i = 0; i < 4; ++i)
        result.frameCounter = (result.frameCounter << 8) | payload[6 + i];
    result.ok = true;
    return result;
}

constexpr int kWhite = 170;
constexpr int kDark = 85;

// A stamp's white reference column seen from its top-left pixel (x, y): white for about one block
// to the right, dark after it, white for about two blocks downwards. Gives the block edge it
// suggests, or 0.
double referenceColumnAt(const Sampler& s, int x, int y) {
    if (s.luma(x, y) < kWhite || (y > 0 && s.luma(x, y - 1) >= kWhite) || (x > 0 && s.luma(x - 1, y) >= kWhite))
        return 0;
    int across = 0;
    while (x + across < s.width && s.luma(x + across, y) >= kWhite && across < 200)
        ++across;
    if (across < 3 || across >= 200 || x + across + across / 2 >= s.width)
        return 0;
    for (int i = 1; i <= across / 2; ++i) {
        if (s.luma(x + across + i, y + across / 2) >= kDark)
            return 0;
    }
    const int column = x + across / 2;
    int down = 0;
    while (y + down < s.height && s.luma(column, y + down) >= kWhite)
        ++down;
    if (qAbs(down - 2 * across) > 4)
        return 0;
    return down / 2.0;
}

}  // namespace

int blockSize(int imageWidth) {
    return qMax(4, imageWidth / 80);
}

QRect stampArea(QSize imageSize) {
    const int size = blockSize(imageSize.width());
    const QRect area(0, 0, (kBlocksPerRow + 2) * size, (kRows + 2) * size);
    return QRect(QPoint(0, 0), imageSize).contains(area) ? area : QRect();
}

void paint(QImage& image, qint64 epochMs, quint32 frameCounter) {
    const QRect area = stampArea(image.size());
    if (area.isEmpty())
        return;
    const int size = blockSize(image.width());
    const Payload payload = pack(epochMs, frameCounter);
    QPainter painter(&image);
    painter.fillRect(area, QColor(128, 128, 128));
    for (int row = 0; row < kRows; ++row) {
        painter.fillRect(blockRect(0, row, size), Qt::white);
        painter.fillRect(blockRect(1, row, size), Qt::black);
        for (int bit = 0; bit < kDataBitsPerRow; ++bit) {
            const bool one = bitAt(payload, row * kDataBitsPerRow + bit);
            painter.fillRect(blockRect(2 + bit, row, size), one ? Qt::white : Qt::black);
        }
    }
}

Decoded decodeAt(const uchar* data, int width, int height, int bytesPerLine, PixelFormat format, QPointF origin,
                 double blockEdge) {
    if (!data || width <= 0 || height <= 0 || bytesPerLine < width * bytesPerPixel(format))
        return {};
    return Sampler{data, width, height, bytesPerLine, format}.read(origin, blockEdge);
}

Decoded decode(const uchar* data, int width, int height, int bytesPerLine, PixelFormat format) {
    if (stampArea(QSize(width, height)).isEmpty())
        return {};
    // A picture scaled from a width that is a multiple of 80 has blocks of exactly width / 80 pixels;
    // one painted at a width that is not keeps the whole-pixel blocks it was painted with.
    const Decoded scaled = decodeAt(data, width, height, bytesPerLine, format, QPointF(0, 0), width / 80.0);
    if (scaled.ok || width % 80 == 0)
        return scaled;
    return decodeAt(data, width, height, bytesPerLine, format, QPointF(0, 0), blockSize(width));
}

Location locate(const uchar* data, int width, int height, int bytesPerLine, PixelFormat format) {
    Location location;
    if (!data || width <= 0 || height <= 0 || bytesPerLine < width * bytesPerPixel(format))
        return location;
    const Sampler sampler{data, width, height, bytesPerLine, format};
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const double edge = referenceColumnAt(sampler, x, y);
            if (edge <= 0)
                continue;
            // The column's edges are blurred by scaling and compression: try the nearby block
            // sizes and origins; the checksum tells which one is right.
            for (double tryEdge = edge - 1.0; tryEdge <= edge + 1.0; tryEdge += 0.125) {
                for (double dy = -1; dy <= 1; dy += 0.5) {
                    for (double dx = -1; dx <= 1; dx += 0.5) {
                        const QPointF origin(x + dx - tryEdge, y + dy - tryEdge);
                        if (sampler.read(origin, tryEdge).ok) {
                            location.found = true;
                            location.origin = origin;
                            location.blockEdge = tryEdge;
                            return location;
                        }
                    }
                }
            }
        }
    }
    return location;
}

Location locate(const QImage& image) {
    const QImage rgb = image.format() == QImage::Format_RGB32 || image.format() == QImage::Format_ARGB32
                           ? image
                           : image.convertToFormat(QImage::Format_RGB32);
    return locate(rgb.constBits(), rgb.width(), rgb.height(), rgb.bytesPerLine(), PixelFormat::Rgb32);
}

Decoded decode(const QImage& image) {
    if (image.isNull())
        return {};
    switch (image.format()) {
        case QImage::Format_RGB32:
        case QImage::Format_ARGB32:
        case QImage::Format_ARGB32_Premultiplied:
        case QImage::Format_RGBX8888:
        case QImage::Format_RGBA8888:
            return decode(image.constBits(), image.width(), image.height(), image.bytesPerLine(), PixelFormat::Rgb32);
        case QImage::Format_RGB888:
        case QImage::Format_BGR888:
            return decode(image.constBits(), image.width(), image.height(), image.bytesPerLine(), PixelFormat::Rgb24);
        case QImage::Format_Grayscale8:
            return decode(image.constBits(), image.width(), image.height(), image.bytesPerLine(), PixelFormat::Gray8);
        default: {
            const QImage converted = image.convertToFormat(QImage::Format_RGB32);
            return decode(converted.constBits(), converted.width(), converted.height(), converted.bytesPerLine(),
                          PixelFormat::Rgb32);
        }
    }
}

}  // namespace FrameStamp
