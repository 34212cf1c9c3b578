#pragma once

#include <QRect>
#include <QSizeF>

// Where a video picture of videoWidth x videoHeight is drawn inside an item of itemSize: scaled to
// fit, centred, the rest left black (letter-box). The whole item while the picture size is unknown.
QRect letterBoxRect(int videoWidth, int videoHeight, const QSizeF& itemSize);
