#pragma once

#include <QPainter>
#include <QRect>
#include <QSizeF>

// Where a video picture of videoWidth x videoHeight is drawn inside an item of itemSize: scaled to
// fit, centred, the rest left black (letter-box). The whole item while the picture size is unknown.
QRect letterBoxRect(int videoWidth, int videoHeight, const QSizeF& itemSize);

// The video items' look: black, rounded corners (radius 10), the picture scaled into pictureRect.
void paintVideoPicture(QPainter* painter, const QRectF& bounds, const QImage& image, const QRect& pictureRect);
