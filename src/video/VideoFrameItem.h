#pragma once

#include <QImage>
#include <QMutex>
#include <QQuickItem>
#include <QRect>
#include <QVariantMap>
#include <functional>

class LocalCapture;

// What both video backends' items share: the QML-facing url and contentRect, open/close/clear, and
// the look (the picture letter-boxed into a black item with rounded corners). The facade
// VideoPlayerItem reaches its backend only through these names.
//
// The newest picture goes to the scene graph as a texture in updatePaintNode; the scene graph scales
// it into the picture rectangle, so nothing copies or scales pixels on the GUI thread. A picture that
// arrives before the previous one was drawn replaces it: the newest wins and nothing queues up.
class VideoFrameItem : public QQuickItem {
    Q_OBJECT
    Q_PROPERTY(QString url READ url WRITE setUrl NOTIFY urlChanged)
    Q_PROPERTY(QRectF contentRect READ contentRect NOTIFY contentRectChanged)
    // "idle" (no picture and no stream being opened), "connecting" (opened, no picture yet, which
    // includes a camera that is still booting) or "playing" (a picture is shown).
    Q_PROPERTY(QString streamStatus READ streamStatus NOTIFY streamStatusChanged)
    // Stream health for the overlay (keys in FFmpegItem::streamStats); empty where the backend has none.
    Q_PROPERTY(bool streamStatsAvailable READ streamStatsAvailable CONSTANT)
    Q_PROPERTY(QVariantMap streamStats READ streamStats NOTIFY streamStatsChanged)
    // While a stream that played is away: seconds until it is tried again, 0 while it is being tried;
    // -1 otherwise.
    Q_PROPERTY(int reconnectInSeconds READ reconnectInSeconds NOTIFY streamStatsChanged)
    // Why the stream being opened is refused, for the operator; empty while there is no such reason.
    // kind "pictureTooLarge": width, height (the stream's picture), maxWidth, maxHeight
    // (Video/MaxPictureSize) and detail ("9000x9000 > 8192x8192"). It goes when a picture is shown or
    // the stream is opened anew or closed.
    Q_PROPERTY(QVariantMap streamProblem READ streamProblem NOTIFY streamProblemChanged)

public:
    // Pictures since the item was created: handed over by the decoder, given to the scene graph,
    // and dropped unseen because a newer one came first.
    struct FrameCounts {
        qint64 decoded = 0;
        qint64 drawn = 0;
        qint64 replaced = 0;
    };

    ~VideoFrameItem() override;

    QString url() const { return m_url; }
    // Stores the URL for the next open(); never opens or reopens a stream.
    void setUrl(const QString& url);
    QRectF contentRect() const { return m_contentRect; }
    QString streamStatus() const;
    QVariantMap streamProblem() const { return m_streamProblem; }

    Q_INVOKABLE virtual void open() = 0;
    Q_INVOKABLE virtual void close() = 0;
    Q_INVOKABLE void clear();

    // Recording and snapshots on this computer; null where the backend cannot offer them.
    virtual LocalCapture* localCapture() const { return nullptr; }
    virtual bool streamStatsAvailable() const { return false; }
    virtual QVariantMap streamStats() const { return {}; }
    virtual int reconnectInSeconds() const { return -1; }

    // For tests and benchmarks.
    QImage image() const;
    QSize videoSize() const { return QSize(m_videoWidth, m_videoHeight); }
    FrameCounts frameCounts() const;
    // Shows a picture as if the stream had delivered it (its size becomes the video size).
    void showPicture(const QImage& picture);

    // Corner radius of the item's rounded look, in item pixels.
    static constexpr int kCornerRadius = 10;

signals:
    void urlChanged();
    void contentRectChanged();
    void streamStatusChanged();
    void streamStatsChanged();
    void streamProblemChanged();

protected:
    explicit VideoFrameItem(QQuickItem* parent);

    void geometryChanged(const QRectF& newGeometry, const QRectF& oldGeometry) override;
    QSGNode* updatePaintNode(QSGNode* oldNode, UpdatePaintNodeData* data) override;

    // A stream was opened (true) or closed (false); its first picture ends the connecting state.
    void setConnecting(bool connecting);
    bool isConnecting() const { return m_connecting; }

    // The stream was refused because its picture is larger than the configured limit.
    void refusePictureSize(int width, int height, int maxWidth, int maxHeight);

    // The stream's picture size; the picture rectangle and contentRect follow.
    void setVideoSize(int width, int height);

    // Changes the picture under the picture lock (the scene graph may read it on its render thread)
    // and asks for a new frame. write returns false when it left no picture worth showing.
    void writePicture(const std::function<bool(QImage& picture)>& write);

    // Guards the picture, the counters and everything the hooks below touch.
    QMutex& pictureLock() const { return m_pictureLock; }

    // Hooks called with the picture lock held: a picture was written (GUI thread), a picture was
    // handed to the scene graph (the scene graph's render thread, or the GUI thread).
    virtual void pictureArrived() {}
    virtual void pictureDrawn() {}

private:
    void updatePictureRect();
    void updateStreamStatus();
    void setStreamProblem(const QVariantMap& problem);

    QString m_url;
    QRectF m_contentRect;
    bool m_connecting = false;
    bool m_hasPicture = false;
    QString m_streamStatus = QStringLiteral("idle");
    QVariantMap m_streamProblem;
    int m_videoWidth = 0;
    int m_videoHeight = 0;

    mutable QMutex m_pictureLock;
    QImage m_image;
    QRect m_pictureRect;
    quint64 m_pictureSerial = 0;    // bumped on every change of m_image
    bool m_pictureWaiting = false;  // written and not yet given to the scene graph
    FrameCounts m_counts;
};

// The camera's default stream URL, shown until QML sets another one.
QString defaultCameraStreamUrl();
