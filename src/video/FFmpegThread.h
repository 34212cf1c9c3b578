#pragma once

#include <QImage>
#include <QMutex>
#include <QSize>
#include <QString>
#include <QThread>
#include <QVector>
#include <atomic>

#include "FFmpegDecodeStats.h"

extern "C" {
struct AVCodec;
struct AVCodecContext;
struct AVCodecParameters;
struct AVDictionary;
struct AVFormatContext;
struct AVFrame;
struct AVPacket;
struct SwsContext;
}

class StreamRecorder;

// The FFmpeg backend's decode loop: pulls the RTSP stream, decodes video, converts each picture to a
// 32-bit RGB QImage that owns its pixels and hands it to the GUI thread through receiveImage.
// A stream that cannot be opened yet (a camera still booting) or that ends or fails after it played is
// opened again with a growing back-off, until it plays, stop() is called or the address changes; the
// item keeps its last picture meanwhile. Every blocking FFmpeg call is abortable by stop().
class FFmpegThread : public QThread {
    Q_OBJECT

public:
    explicit FFmpegThread(QObject* parent = nullptr);
    ~FFmpegThread() override;

    // The library version and the decoding API in use, as written to the log.
    static QString libraryVersion();
    static QString decodeApiName();

    // Pictures decoded but not handed over because the GUI still held every pooled image.
    int droppedPictures() const { return m_droppedPictures.load(); }
    // Inputs opened again after the stream ended or failed (since the thread was constructed).
    int reopenCount() const { return m_reopenCount.load(); }
    // Video packets and their bytes read (since the thread was constructed).
    qint64 receivedPackets() const { return m_receivedPackets.load(); }
    qint64 receivedBytes() const { return m_receivedBytes.load(); }
    // The decoder's codec name ("" before the first open).
    QString codecName() const;
    // While a stream that played is away: milliseconds until the next attempt to open it, 0 while an
    // attempt runs; -1 while pictures come (or before the first one).
    qint64 reconnectInMs() const;

    // Back-off before opening again: starts at minMs, doubles per failed attempt, capped at maxMs.
    static constexpr int kReopenMinDelayMs = 500;
    static constexpr int kReopenMaxDelayMs = 5000;
    static int reopenDelayMs(int attempt);

    // Receives the stream's parameters on every open and each video packet as read. Set before start().
    void setRecorder(StreamRecorder* recorder) { m_recorder = recorder; }

signals:
    void receiveImage(QImage image);
    void receiveImageSize(int width, int height);
    void decodeStatsReady(FFmpegDecodeStats stats);
    // The stream was refused: its picture is larger than Video/MaxPictureSize allows. Emitted on
    // every attempt to open it.
    void pictureTooLarge(int width, int height, int maxWidth, int maxHeight);

public slots:
    void setUrl(const QString& url);
    bool init();
    void free();
    void play();
    void pause();
    void next();
    void stop();

protected:
    void run() override;

private:
    static int interruptCallback(void* opaque);
    static void initLibraryOnce();

    QString currentUrl() const;
    int findStreamInfo();
    bool openDeadlinePassed() const;
    bool acceptPictureSize(int width, int height, const QByteArray& shownUrl);
    void announceStreamToRecorder(const AVCodecParameters* parameters);
    bool openVideoDecoder();
    bool openAudioDecoder();
    bool decodePacket(qint64 readUs, qint64 backlogUs, FFmpegStatsWindow* window);
    bool deliverPicture(qint64* convertUs);
    QImage* acquireImage(int width, int height);
    qint64 packetBacklogUs();
    bool waitBeforeReopen(int attempt, const QString& openedUrl, bool played, const char* reason);
    void debugLine(const QString& message) const;

    std::atomic<bool> m_stopRequested{false};
    std::atomic<bool> m_openRequested{false};
    std::atomic<int> m_droppedPictures{0};
    std::atomic<int> m_reopenCount{0};
    std::atomic<qint64> m_receivedPackets{0};
    std::atomic<qint64> m_receivedBytes{0};
    std::atomic<const char*> m_codecName{""};
    std::atomic<bool> m_streamDown{false};
    std::atomic<qint64> m_reconnectAtUs{0};   // monotonic clock (av_gettime_relative)
    std::atomic<qint64> m_openDeadlineUs{0};  // while opening: when the attempt is given up (same clock); else 0
    int m_lastReadResult = 0;
    int m_videoWidth = 0;
    int m_videoHeight = 0;
    QSize m_maxPicture;    // Video/MaxPictureSize, read at every open
    QSize m_recordedSize;  // the picture size last announced to the recorder
    int m_videoStreamIndex = -1;
    int m_audioStreamIndex = -1;
    bool m_latencyLogEnabled = false;

    mutable QMutex m_urlLock;
    QString m_url;

    // Images handed to the GUI. One is written again only once the GUI dropped every copy of it.
    QVector<QImage> m_imagePool;

    AVPacket* m_packet = nullptr;
    AVFrame* m_decodedFrame = nullptr;
    AVFormatContext* m_input = nullptr;
    AVCodecContext* m_videoDecoder = nullptr;
    AVCodecContext* m_audioDecoder = nullptr;
    SwsContext* m_scaler = nullptr;
    AVDictionary* m_openOptions = nullptr;
    const AVCodec* m_videoCodec = nullptr;
    const AVCodec* m_audioCodec = nullptr;
    BacklogClock m_backlog;
    StreamRecorder* m_recorder = nullptr;
};
