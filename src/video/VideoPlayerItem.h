#pragma once

#include <QQuickItem>
#include <QRectF>

// The one video item QML knows (registered as FFmpegItem in "Skyvane" 1.0).
class VideoPlayerItem : public QQuickItem {
    Q_OBJECT
    Q_PROPERTY(QString url READ url WRITE setUrl NOTIFY urlChanged)
    Q_PROPERTY(QRectF contentRect READ contentRect NOTIFY contentRectChanged)

public:
    explicit VideoPlayerItem(QQuickItem* parent = nullptr);

    QString url() const { return m_url; }
    void setUrl(const QString& url);
    QRectF contentRect() const { return QRectF(); }

    Q_INVOKABLE void open() {}
    Q_INVOKABLE void close() {}
    Q_INVOKABLE void clear() {}

signals:
    void urlChanged();
    void contentRectChanged();

private:
    QString m_url;
};
