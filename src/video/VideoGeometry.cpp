#include "VideoGeometry.h"

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
