#include "EasyPlayerItem.h"

#include <QWidget>
#include <cstring>

#include "EasyPlayerAbi.h"
#include "QtEasyPlayerStreamPuller.h"
#include "StreamSafety.h"
#include "app/AppUrls.h"
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
    : VideoFrameItem(parent), m_renderWidget(new QWidget), m_puller(new QtEasyPlayerStreamPuller(this)) {
    m_renderWidget->resize(1, 1);
    connect(m_puller, &QtEasyPlayerStreamPuller::frameBufferReady, this, &EasyPlayerItem::onFrameBufferReady);
    connect(m_puller, &QtEasyPlayerStreamPuller::streamStarted, this, &EasyPlayerItem::onStreamStarted);
    connect(m_puller, &QtEasyPlayerStreamPuller::streamStopped, this, &EasyPlayerItem::onStreamStopped);
    connect(m_puller, &QtEasyPlayerStreamPuller::streamStartFailed, this, &EasyPlayerItem::onStreamStartFailed);
    connect(m_puller, &QtEasyPlayerStreamPuller::pictureTooLarge, this, &EasyPlayerItem::refusePictureSize);
}

EasyPlayerItem::~EasyPlayerItem() {
    elog_i("video", "EasyPlayer close");
    m_puller->stopPull();
}

void EasyPlayerItem::open() {
    elog_i("video", "EasyPlayer open url=%s", AppUrls::withoutPassword(url()).toUtf8().constData());
    if (m_puller->isPulling())
        m_puller->stopPull();
    clear();
    setConnecting(true);
    m_renderWidget->setAttribute(Qt::WA_NativeWindow);
    m_renderWidget->winId();
    m_puller->startPull(url(), m_renderWidget.get(), true, QString(), QString(), false, easyplayer::kRenderFormatRgb24);
}

void EasyPlayerItem::close() {
    elog_i("video", "EasyPlayer close");
    m_puller->stopPull();
    setConnecting(false);
}

void EasyPlayerItem::onFrameBufferReady(int bufferIndex, int width, int height) {
    const QByteArray pixels = m_puller->frameBuffer(bufferIndex);
    if (pixels.isEmpty() || width <= 0 || height <= 0 || pixels.size() < qsizetype(width) * height * 3)
        return;
    // The picture is rewritten in place while nobody else holds it; once the scene graph keeps a copy
    // (its texture), a fresh image is cheaper than a copy-on-write of pixels about to be overwritten.
    bool written = false;
    writePicture([&](QImage& picture) {
        if (picture.width() != width || picture.height() != height || picture.format() != QImage::Format_RGB888 ||
            !picture.isDetached())
            picture = QImage(width, height, QImage::Format_RGB888);
        written = !picture.isNull();
        if (written)
            copyPackedRgb24(pixels.constData(), width, height, &picture);
        return written;
    });
    if (written)
        setVideoSize(width, height);
}

void EasyPlayerItem::onStreamStarted(int channelId) {
    elog_i("video", "EasyPlayer stream started channel=%d url=%s", channelId,
           AppUrls::withoutPassword(url()).toUtf8().constData());
}

void EasyPlayerItem::onStreamStopped() {}

void EasyPlayerItem::onStreamStartFailed(int errorCode, const QString& reason) {
    // Without a channel the library sends no reconnect notice: nothing is being opened any more.
    setConnecting(false);
    elog_e("video", "EasyPlayer stream failed code=%d reason=%s url=%s", errorCode, reason.toUtf8().constData(),
           AppUrls::withoutPassword(url()).toUtf8().constData());
}
