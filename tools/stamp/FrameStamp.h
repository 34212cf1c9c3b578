#pragma once

#include <QImage>
#include <QtGlobal>

// A machine-readable stamp in the top-left corner of a video frame: milliseconds since the epoch,
// a frame counter and a CRC-16, as two rows of black (0) and white (1) blocks. Each row starts with
// a white and a black reference block, so the reader thresholds halfway between what white and
// black became after compression. Block size follows the picture width (width / 80: 16 px at
// 1280, 24 px at 1920), so a scaled picture still decodes.
namespace FrameStamp {

struct Decoded {
    bool ok = false;
    qint64 epochMs = 0;
    quint32 frameCounter = 0;
};

enum class PixelFormat {
    Rgb32,  // 4 bytes per pixel, any channel order (QImage::Format_RGB32/ARGB32, BGRx, RGBx)
    Rgb24,  // 3 bytes per pixel, RGB or BGR
    Gray8,  // 1 byte per pixel; also the luma plane of a YUV picture
};

constexpr int kBlocksPerRow = 50;  // 2 reference blocks + 48 data bits
constexpr int kRows = 2;

// Block edge in pixels for a picture of the given width (never below 4).
int blockSize(int imageWidth);
// The area the stamp covers, one block of margin included; a picture narrower than
// 52 blocks of 4 px cannot carry a stamp and gives an empty rectangle.
QRect stampArea(QSize imageSize);

// Paints the stamp over the picture; does nothing to a picture too small to carry it.
void paint(QImage& image, qint64 epochMs, quint32 frameCounter);

// Reads the stamp back; ok is false when the picture is too small, the contrast too low or the
// checksum does not match. The picture may be scaled by any factor: blocks need not be a whole
// number of pixels.
Decoded decode(const QImage& image);
Decoded decode(const uchar* data, int width, int height, int bytesPerLine, PixelFormat format);

// Reads a stamp whose area starts at origin (the picture's top-left corner) with blocks of the given
// edge in pixels, for example a picture shown somewhere inside a captured screen.
Decoded decodeAt(const uchar* data, int width, int height, int bytesPerLine, PixelFormat format, QPointF origin,
                 double blockEdge);

// Where a stamped picture lies inside a larger image (a screen or window capture): found is true only
// when a stamp was really read there.
struct Location {
    bool found = false;
    QPointF origin;
    double blockEdge = 0;
};
Location locate(const uchar* data, int width, int height, int bytesPerLine, PixelFormat format);
Location locate(const QImage& image);

}  // namespace FrameStamp
