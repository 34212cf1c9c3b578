#include "VideoGeometry.h"

#include <QPainterPath>

QRect letterBoxRect(int videoWidth, int videoHeight, const QSizeF& itemSize) {
    const double itemWidth = itemSize.width();
    const double itemHeight = itemSize.height();
    if (videoWidth >= 1 && videoHeight >= 1 && itemWidth > 0 && itemHeight > 0) {
        const double sx = itemWidth / videoWidth;
        const double sy = itemHeight / videoHeight;
        if (sy > sx) {
            const int h = int(videoHeight * sx);
            return QRect(0, (int(itemHeight) - h) / 2, int(itemWidth), h);
        }
        const int w = int(videoWidth * sy);
        return QRect((int(itemWidth) - w) / 2, 0, w, int(itemHeight));
    }
    return QRect(0, 0, int(itemWidth), int(itemHeight));
}

void paintVideoPicture(QPainter* painter, const QRectF& bounds, const QImage& image, const QRect& pictureRect) {
    painter->setRenderHint(QPainter::Antialiasing, true);
    QPainterPath rounded;
    rounded.addRoundedRect(bounds, 10, 10);
    painter->setClipPath(rounded, Qt::ReplaceClip);
    painter->fillRect(bounds, Qt::black);
    if (!image.isNull())
        painter->drawImage(QRectF(pictureRect), image);
}
