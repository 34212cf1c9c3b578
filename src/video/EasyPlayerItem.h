#pragma once

#include <QImage>
#include <QMutex>
#include <QQuickPaintedItem>
#include <QRect>
#include <memory>

class QWidget;
class QtEasyPlayerStreamPuller;

// The player-library backend's QML item: pulls the stream through QtEasyPlayerStreamPuller and paints
// its 24-bit RGB pictures letter-boxed into a rounded black item, like FFmpegItem.
class EasyPlayerItem : public QQuickPaintedItem {
    Q_OBJECT
    Q_PROPERTY(QString url READ url WRITE setUrl NOTIFY urlChanged)
    Q_PROPERTY(QRectF contentRect READ contentRect NOTIFY contentRectChanged)

public:
    explicit EasyPlayerItem(QQuickItem* parent = nullptr);
    ~EasyPlayerItem() override;

    QString url() const { return m_url; }
    void setUrl(const QString& url);
    QRectF contentRect() const { return m_contentRect; }

    Q_INVOKABLE void open();
    Q_INVOKABLE void close();
    Q_INVOKABLE void clear();

    void paint(QPainter* painter) override;

    // For tests.
    QtEasyPlayerStreamPuller* puller() const { return m_puller; }
    QImage image() const;
    QSize videoSize() const { return QSize(m_videoWidth, m_videoHeight); }

signals:
    void urlChanged();
    void contentRectChanged();

protected:
    void geometryChanged(const QRectF& newGeometry, const QRectF& oldGeometry) override;

private slots:
    void onFrameBufferReady(int bufferIndex, int width, int height);
    void onStreamStarted(int channelId);
    void onStreamStopped();
    void onStreamStartFailed(int errorCode, const QString& reason);

private:
    void updatePictureRect();

    std::unique_ptr<QWidget> m_renderWidget;
    QtEasyPlayerStreamPuller* m_puller = nullptr;
    QString m_url;
    QRect m_pictureRect;
    QRectF m_contentRect;
    int m_videoWidth = 0;
    int m_videoHeight = 0;

    // Read by paint(), which may run on the render thread.
    mutable QMutex m_paintLock;
    QImage m_image;
};

// Copies a tightly packed 24-bit RGB picture (rows of width * 3 bytes) into an RGB888 image whose rows
// may be padded to 4 bytes. The image must already be width x height.
void copyPackedRgb24(const char* pixels, int width, int height, QImage* image);
