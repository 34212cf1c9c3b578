#include "VideoPlayerItem.h"

#include "EasyPlayerItem.h"
#include "FFmpegItem.h"
#include "LocalCapture.h"
#include "VideoBackend.h"
#include "app/elog.h"

VideoPlayerItem::VideoPlayerItem(QQuickItem* parent) : QQuickItem(parent) {
    setFlag(ItemHasContents, true);
    createBackend();
}

VideoPlayerItem::~VideoPlayerItem() {
    if (m_implementation)
        invokeOnImplementation("close");
}

void VideoPlayerItem::createBackend() {
    if (resolveVideoBackendIsFfmpeg()) {
        m_implementation = new FFmpegItem(this);
    } else {
        m_implementation = new EasyPlayerItem(this);
    }
    const char* impl = "unknown";
    if (qobject_cast<EasyPlayerItem*>(m_implementation)) {
        impl = "EasyPlayerItem (libEasyPlayer.dll)";
    } else if (qobject_cast<FFmpegItem*>(m_implementation)) {
        impl = "FFmpegItem (libav decode)";
    }
    elog_i("video", "VideoPlayerItem created impl=%s requested=%s", impl, videoBackendName().toUtf8().constData());

    m_implementation->setParentItem(this);
    m_implementation->setPosition(QPointF(0, 0));
    m_implementation->setSize(size());

    connect(m_implementation, SIGNAL(urlChanged()), this, SIGNAL(urlChanged()));
    connect(m_implementation, SIGNAL(contentRectChanged()), this, SIGNAL(contentRectChanged()));
    connect(m_implementation, SIGNAL(streamStatusChanged()), this, SIGNAL(streamStatusChanged()));
    connect(m_implementation, SIGNAL(streamStatsChanged()), this, SIGNAL(streamStatsChanged()));
    connect(m_implementation, SIGNAL(streamProblemChanged()), this, SIGNAL(streamProblemChanged()));
}

QString VideoPlayerItem::url() const {
    if (m_implementation)
        return m_implementation->property("url").toString();
    return m_url;
}

void VideoPlayerItem::setUrl(const QString& url) {
    if (url == m_url)
        return;
    m_url = url;
    if (backend())
        backend()->setUrl(url);
    emit urlChanged();
}

QString VideoPlayerItem::streamStatus() const {
    return m_implementation ? m_implementation->property("streamStatus").toString() : QStringLiteral("idle");
}

VideoFrameItem* VideoPlayerItem::backend() const {
    return qobject_cast<VideoFrameItem*>(m_implementation);
}

QObject* VideoPlayerItem::capture() const {
    return backend() ? backend()->localCapture() : nullptr;
}

bool VideoPlayerItem::streamStatsAvailable() const {
    return backend() && backend()->streamStatsAvailable();
}

QVariantMap VideoPlayerItem::streamStats() const {
    return backend() ? backend()->streamStats() : QVariantMap();
}

int VideoPlayerItem::reconnectInSeconds() const {
    return backend() ? backend()->reconnectInSeconds() : -1;
}

QVariantMap VideoPlayerItem::streamProblem() const {
    return backend() ? backend()->streamProblem() : QVariantMap();
}

QRectF VideoPlayerItem::contentRect() const {
    if (!m_implementation)
        return QRectF();
    return m_implementation->property("contentRect").toRectF();
}

void VideoPlayerItem::open() {
    invokeOnImplementation("open");
}

void VideoPlayerItem::close() {
    invokeOnImplementation("close");
}

void VideoPlayerItem::clear() {
    invokeOnImplementation("clear");
}

void VideoPlayerItem::invokeOnImplementation(const char* method) {
    if (m_implementation)
        QMetaObject::invokeMethod(m_implementation, method);
}

void VideoPlayerItem::geometryChanged(const QRectF& newGeometry, const QRectF& oldGeometry) {
    QQuickItem::geometryChanged(newGeometry, oldGeometry);
    if (!m_implementation)
        return;
    m_implementation->setPosition(QPointF(0, 0));
    m_implementation->setSize(QSizeF(width(), height()));
}
