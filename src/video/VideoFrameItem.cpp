#include "VideoPaintedItem.h"

#include "VideoGeometry.h"
#include "bridge/ProductModel.h"

QString defaultCameraStreamUrl() {
    return QStringLiteral("rtsp://%1:8600/videoh264_chn0").arg(kDeviceAddressA);
}

VideoPaintedItem::VideoPaintedItem(QQuickItem* parent) : QQuickPaintedItem(parent), m_url(defaultCameraStreamUrl()) {
    setRenderTarget(QQuickPaintedItem::FramebufferObject);
    setAntialiasing(true);
    updatePictureRect();
}

void VideoPaintedItem::setUrl(const QString& url) {
    if (url == m_url)
        return;
    m_url = url;
    emit urlChanged();
}

void VideoPaintedItem::clear() {
    writePicture([](QImage& picture) {
        picture = QImage();
        return false;
    });
}

QImage VideoPaintedItem::image() const {
    QMutexLocker locker(&m_paintLock);
    return m_image;
}

void VideoPaintedItem::writePicture(const std::function<bool(QImage& picture)>& write) {
    {
        QMutexLocker locker(&m_paintLock);
        if (write(m_image))
            pictureArrived();
    }
    update();
}

void VideoPaintedItem::setVideoSize(int width, int height) {
    m_videoWidth = width;
    m_videoHeight = height;
    updatePictureRect();
}

void VideoPaintedItem::geometryChanged(const QRectF& newGeometry, const QRectF& oldGeometry) {
    QQuickPaintedItem::geometryChanged(newGeometry, oldGeometry);
    updatePictureRect();
}

void VideoPaintedItem::updatePictureRect() {
    const QRect rect = letterBoxRect(m_videoWidth, m_videoHeight, size());
    {
        QMutexLocker locker(&m_paintLock);
        m_pictureRect = rect;
    }
    if (QRectF(rect) != m_contentRect) {
        m_contentRect = QRectF(rect);
        emit contentRectChanged();
    }
}

void VideoPaintedItem::paint(QPainter* painter) {
    QMutexLocker locker(&m_paintLock);
    paintVideoPicture(painter, boundingRect(), m_image, m_pictureRect);
    if (!m_image.isNull())
        picturePainted();
}
