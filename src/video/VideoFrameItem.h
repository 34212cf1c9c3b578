#pragma once

#include <QImage>
#include <QMutex>
#include <QQuickPaintedItem>
#include <QRect>
#include <functional>

// What both video backends' items share: the QML-facing url and contentRect, open/close/clear, and
// the look (the picture letter-boxed into a rounded black item). The facade VideoPlayerItem reaches
// its backend only through these names.
class VideoPaintedItem : public QQuickPaintedItem {
    Q_OBJECT
    Q_PROPERTY(QString url READ url WRITE setUrl NOTIFY urlChanged)
    Q_PROPERTY(QRectF contentRect READ contentRect NOTIFY contentRectChanged)

public:
    QString url() const { return m_url; }
    // Stores the URL for the next open(); never opens or reopens a stream.
    void setUrl(const QString& url);
    QRectF contentRect() const { return m_contentRect; }

    Q_INVOKABLE virtual void open() = 0;
    Q_INVOKABLE virtual void close() = 0;
    Q_INVOKABLE void clear();

    void paint(QPainter* painter) final;

    // For tests and benchmarks.
    QImage image() const;
    QSize videoSize() const { return QSize(m_videoWidth, m_videoHeight); }

signals:
    void urlChanged();
    void contentRectChanged();

protected:
    explicit VideoPaintedItem(QQuickItem* parent);

    void geometryChanged(const QRectF& newGeometry, const QRectF& oldGeometry) override;

    // The stream's picture size; the picture rectangle and contentRect follow.
    void setVideoSize(int width, int height);

    // Changes the picture under the paint lock (paint() may run on the render thread) and repaints.
    // write returns false when it left no picture worth showing.
    void writePicture(const std::function<bool(QImage& picture)>& write);

    // Guards the picture and everything paint() and its hooks read.
    QMutex& paintLock() const { return m_paintLock; }

    // Hooks called with the paint lock held: a picture was written (GUI thread), a picture was
    // painted (the thread that paints).
    virtual void pictureArrived() {}
    virtual void picturePainted() {}

private:
    void updatePictureRect();

    QString m_url;
    QRectF m_contentRect;
    int m_videoWidth = 0;
    int m_videoHeight = 0;

    mutable QMutex m_paintLock;
    QImage m_image;
    QRect m_pictureRect;
};

// The camera's default stream URL, shown until QML sets another one.
QString defaultCameraStreamUrl();
