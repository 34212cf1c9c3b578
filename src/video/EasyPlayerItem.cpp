#include "EasyPlayerItem.h"

#include <QWidget>
#include <cstring>

#include "EasyPlayerAbi.h"
#include "FFmpegItem.h"
#include "QtEasyPlayerStreamPuller.h"
#include "VideoGeometry.h"
#include "app/elog.h"

void copyPackedRgb24(const char* pixels, int width, int height, QImage* image) {
    const qsizetype rowBytes = qsizetype(width) * 3;
    if (image->bytesPerLine() == rowBytes) {
        std::memcpy(image->bits(), pixels, size_t(rowBytes) * size_t(height));
        return;
    }
    for (int y = 0; y < height; ++y)
        std::memcpy(image->scanLine(y), pixels + rowBytes * y, size_t(rowBytes));
}

EasyPlayerItem::EasyPlayerItem(QQuickItem* parent)
    : QQuickPaintedItem(parent), m_renderWidget(new QWidget), m_puller(new QtEasyPlayerStreamPuller(this)) {
    m_url = defaultCameraStreamUrl();
    m_renderWidget->resize(1, 1);
    setRenderTarget(QQuickPaintedItem::FramebufferObject);
    setAntialiasing(true);
    connect(m_puller, &QtEasyPlayerStreamPuller::frameBufferReady, this, &EasyPlayerItem::onFrameBufferReady);
    connect(m_puller, &QtEasyPlayerStreamPuller::streamStarted, this, &EasyPlayerItem::onStreamStarted);
    connect(m_puller, &QtEasyPlayerStreamPuller::streamStopped, this, &EasyPlayerItem::onStreamStopped);
    connect(m_puller, &QtEasyPlayerStreamPuller::streamStartFailed, this, &EasyPlayerItem::onStreamStartFailed);
    updatePictureRect();
}

EasyPlayerItem::~EasyPlayerItem() {
    elog_i("video", "EasyPlayer close");
    m_puller->stopPull();
}

void EasyPlayerItem::setUrl(const QString& url) {
    if (url == m_url)
        return;
    m_url = url;
    emit urlChanged();
}

QImage EasyPlayerItem::image() const {
    QMutexLocker locker(&m_paintLock);
    return m_image;
}

void EasyPlayerItem::open() {
    elog_i("video", "EasyPlayer open url=%s", m_url.toUtf8().constData());
    if (m_puller->isPulling())
        m_puller->stopPull();
    clear();
    m_renderWidget->setAttribute(Qt::WA_NativeWindow);
    m_renderWidget->winId();
    m_puller->startPull(m_url, m_renderWidget.get(), true, QString(), QString(), false, easyplayer::kRenderFormatRgb24);
}

void EasyPlayerItem::close() {
    elog_i("video", "EasyPlayer close");
    m_puller->stopPull();
}

void EasyPlayerItem::clear() {
    {
        QMutexLocker locker(&m_paintLock);
        m_image = QImage();
    }
    update();
}

void EasyPlayerItem::onFrameBufferReady(int bufferIndex, int width, int height) {
    const QByteArray pixels = m_puller->frameBuffer(bufferIndex);
    if (pixels.isEmpty() || width <= 0 || height <= 0 || pixels.size() < qsizetype(width) * height * 3)
        return;
    {
        QMutexLocker locker(&m_paintLock);
        if (m_image.width() != width || m_image.height() != height || m_image.format() != QImage::Format_RGB888) {
            m_image = QImage(width, height, QImage::Format_RGB888);
        }
        if (m_image.isNull())
            return;
        copyPackedRgb24(pixels.constData(), width, height, &m_image);
    }
    if (m_videoWidth != width || m_videoHeight != height) {
        m_videoWidth = width;
        m_videoHeight = height;
    }
    updatePictureRect();
    update();
}

void EasyPlayerItem::onStreamStarted(int channelId) {
    elog_i("video", "EasyPlayer stream started channel=%d url=%s", channelId, m_url.toUtf8().constData());
}

void EasyPlayerItem::onStreamStopped() {}

void EasyPlayerItem::onStreamStartFailed(int errorCode, const QString& reason) {
    elog_e("video", "EasyPlayer stream failed code=%d reason=%s url=%s", errorCode, reason.toUtf8().constData(),
           m_url.toUtf8().constData());
}

void EasyPlayerItem::geometryChanged(const QRectF& newGeometry, const QRectF& oldGeometry) {
    QQuickPaintedItem::geometryChanged(newGeometry, oldGeometry);
    updatePictureRect();
}

void EasyPlayerItem::updatePictureRect() {
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

void EasyPlayerItem::paint(QPainter* painter) {
    QMutexLocker locker(&m_paintLock);
    paintVideoPicture(painter, boundingRect(), m_image, m_pictureRect);
}
