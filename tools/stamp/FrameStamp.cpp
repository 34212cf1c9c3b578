#include "FrameStamp.h"

#include <QPainter>

#include <array>

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

// Mean luma over the middle half of a block, away from its edges where compression smears.
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

    int blockMean(const QRect& block) const {
        const int inset = block.width() / 4;
        const QRect inner = block.adjusted(inset, inset, -inset, -inset);
        int sum = 0;
        int count = 0;
        for (int y = inner.top(); y <= inner.bottom(); ++y) {
            for (int x = inner.left(); x <= inner.right(); ++x) {
                sum += luma(x, y);
                ++count;
            }
        }
        return count > 0 ? sum / count : 0;
    }
};

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

Decoded decode(const uchar* data, int width, int height, int bytesPerLine, PixelFormat format) {
    Decoded result;
    if (!data || stampArea(QSize(width, height)).isEmpty())
        return result;
    const int minStride = width * (format == PixelFormat::Rgb32 ? 4 : format == PixelFormat::Rgb24 ? 3 : 1);
    if (bytesPerLine < minStride)
        return result;
    const Sampler sampler{data, width, height, bytesPerLine, format};
    const int size = blockSize(width);
    Payload payload{};
    for (int row = 0; row < kRows; ++row) {
        const int white = sampler.blockMean(blockRect(0, row, size));
        const int black = sampler.blockMean(blockRect(1, row, size));
        if (white - black < kMinContrast)
            return result;
        const int threshold = (white + black) / 2;
        for (int bit = 0; bit < kDataBitsPerRow; ++bit) {
            if (sampler.blockMean(blockRect(2 + bit, row, size)) < threshold)
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
