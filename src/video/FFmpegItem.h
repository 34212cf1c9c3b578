#pragma once

#include <QElapsedTimer>
#include <QImage>
#include <QMutex>
#include <QQuickPaintedItem>
#include <QRect>

#include "FFmpegDecodeStats.h"

class FFmpegThread;

// The FFmpeg backend's QML item: runs an FFmpegThread, paints its pictures letter-boxed into a
// rounded black item and, when enabled, logs where the latency goes.
class FFmpegItem : public QQuickPaintedItem {
    Q_OBJECT
    Q_PROPERTY(QString url READ url WRITE setUrl NOTIFY urlChanged)
    Q_PROPERTY(QRectF contentRect READ contentRect NOTIFY contentRectChanged)

public:
    explicit FFmpegItem(QQuickItem* parent = nullptr);
    ~FFmpegItem() override;

    QString url() const { return m_url; }
    void setUrl(const QString& url);
    QRectF contentRect() const { return m_contentRect; }

    Q_INVOKABLE void open();
    Q_INVOKABLE void close();
    Q_INVOKABLE void clear();

    void paint(QPainter* painter) override;
    using QQuickPaintedItem::setSize;

    // For tests and benchmarks.
    FFmpegThread* thread() const { return m_thread; }
    QImage image() const;
    QSize videoSize() const { return QSize(m_videoWidth, m_videoHeight); }
    bool isPlaying() const;

signals:
    void urlChanged();
    void contentRectChanged();

protected:
    void geometryChanged(const QRectF& newGeometry, const QRectF& oldGeometry) override;

private slots:
    void updateImage(const QImage& image);
    void setSize(int width, int height);
    void onWindowChanged(QQuickWindow* window);
    void onFrameSwapped();
    void onDecodeStatsReady(const FFmpegDecodeStats& stats);
    void onThreadFinished();

private:
    void updatePictureRect();
    void startThread();
    void stopThread(bool waitForEnd);

    FFmpegThread* m_thread = nullptr;
    QString m_url;
    QRect m_pictureRect;
    QRectF m_contentRect;
    int m_videoWidth = 0;
    int m_videoHeight = 0;
    bool m_reopenPending = false;

    // The image and its rectangle are read by paint(), which may run on the render thread.
    mutable QMutex m_paintLock;
    QImage m_image;

    bool m_latencyLogEnabled = false;
    QElapsedTimer m_latencyClock;
    qint64 m_imageArrivedNs = 0;
    bool m_paintPending = false;
    int m_paintCount = 0;
    qint64 m_paintSumNs = 0;
    qint64 m_paintMaxNs = 0;
    qint64 m_paintedImageArrivedNs = 0;
    bool m_swapPending = false;
    int m_swapCount = 0;
    qint64 m_swapSumNs = 0;
    qint64 m_swapMaxNs = 0;
    QMetaObject::Connection m_frameSwappedConnection;
};

// The camera's default stream URL, shown until QML sets another one.
QString defaultCameraStreamUrl();
