#pragma once

#include <QQuickItem>
#include <QRectF>
#include <QVariantMap>

class VideoFrameItem;

// The one video item QML knows (registered as FFmpegItem in "Skyvane" 1.0). A thin facade: it
// picks the decoding backend from skyvane.cfg once, creates that backend's item as its only child
// covering its whole area, and forwards url, contentRect, open, close and clear to it.
class VideoPlayerItem : public QQuickItem {
    Q_OBJECT
    Q_PROPERTY(QString url READ url WRITE setUrl NOTIFY urlChanged)
    Q_PROPERTY(QRectF contentRect READ contentRect NOTIFY contentRectChanged)
    Q_PROPERTY(QString streamStatus READ streamStatus NOTIFY streamStatusChanged)
    // The backend's LocalCapture (recording and snapshots on this computer), or null where it has none.
    Q_PROPERTY(QObject* capture READ capture CONSTANT)
    // The backend's stream health (see VideoFrameItem).
    Q_PROPERTY(bool streamStatsAvailable READ streamStatsAvailable CONSTANT)
    Q_PROPERTY(QVariantMap streamStats READ streamStats NOTIFY streamStatsChanged)
    Q_PROPERTY(int reconnectInSeconds READ reconnectInSeconds NOTIFY streamStatsChanged)
    // Why the stream is refused (see VideoFrameItem).
    Q_PROPERTY(QVariantMap streamProblem READ streamProblem NOTIFY streamProblemChanged)

public:
    explicit VideoPlayerItem(QQuickItem* parent = nullptr);
    ~VideoPlayerItem() override;

    QString url() const;
    void setUrl(const QString& url);
    QRectF contentRect() const;
    // "idle", "connecting" or "playing", as the backend reports it.
    QString streamStatus() const;
    QObject* capture() const;
    bool streamStatsAvailable() const;
    QVariantMap streamStats() const;
    int reconnectInSeconds() const;
    QVariantMap streamProblem() const;

    Q_INVOKABLE void open();
    Q_INVOKABLE void close();
    Q_INVOKABLE void clear();

    // The backend item; fixed for the facade's lifetime.
    QQuickItem* implementation() const { return m_implementation; }

signals:
    void urlChanged();
    void contentRectChanged();
    void streamStatusChanged();
    void streamStatsChanged();
    void streamProblemChanged();

protected:
    void geometryChanged(const QRectF& newGeometry, const QRectF& oldGeometry) override;

private:
    VideoFrameItem* backend() const;
    void createBackend();
    void invokeOnImplementation(const char* method);

    QQuickItem* m_implementation = nullptr;
    QString m_url;
};
