#pragma once

#include <QElapsedTimer>
#include <QTimer>

#include "FFmpegDecodeStats.h"
#include "VideoFrameItem.h"

class FFmpegThread;

// The FFmpeg backend's QML item: runs an FFmpegThread, shows its pictures letter-boxed into a
// rounded black item and, when enabled, logs where the latency goes.
class FFmpegItem : public VideoFrameItem {
    Q_OBJECT

public:
    explicit FFmpegItem(QQuickItem* parent = nullptr);
    ~FFmpegItem() override;

    void open() override;
    void close() override;
    LocalCapture* localCapture() const override { return m_capture; }
    bool streamStatsAvailable() const override { return true; }
    // width, height, codec, receivedFps, shownFps, bitrateKbps, latencyMs (-1: not measured, see
    // Video/LatencyLogEnabled), dropped (pictures decoded and never shown), reconnects.
    QVariantMap streamStats() const override;
    int reconnectInSeconds() const override { return m_reconnectInSeconds; }

    using QQuickItem::setSize;

    // For tests and benchmarks.
    FFmpegThread* thread() const { return m_thread; }
    bool isPlaying() const;

protected:
    void pictureArrived() override;
    void pictureDrawn() override;

private slots:
    void updateImage(const QImage& image);
    void setSize(int width, int height);
    void onWindowChanged(QQuickWindow* window);
    void onFrameSwapped();
    void onDecodeStatsReady(const FFmpegDecodeStats& stats);
    void onThreadFinished();
    void updateStreamStats();

private:
    void startThread();
    void stopThread(bool waitForEnd);

    FFmpegThread* m_thread = nullptr;
    LocalCapture* m_capture = nullptr;
    bool m_reopenPending = false;
    // Started and no picture yet, and the URL it was started with.
    QString m_connectingUrl;

    // The latency figures below are guarded by the picture lock (updatePaintNode() and onFrameSwapped()
    // may run on the render thread).
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
    FrameCounts m_loggedCounts;  // the counts at the previous latency line

    QTimer m_statsTimer;
    QElapsedTimer m_statsClock;
    StreamRateMeter m_rates;
    double m_latencyMs = -1;
    int m_reconnectInSeconds = -1;
};
