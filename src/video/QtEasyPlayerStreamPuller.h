#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QMetaType>
#include <QMutex>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QVector>
#include <QWidget>
#include <atomic>

#include "EasyPlayerAbi.h"
#include "PlatformLibrary.h"
#include "StreamSafety.h"

// The player library's frame-information record as the program passes it on (48 bytes): bytes 0..15
// are the library's bytes 0..15 (codec, type, fps, width, height), bytes 16..47 its eight 32-bit values
// at offsets 24..52.
struct QtRtspFrameInfo {
    unsigned char bytes[48] = {};

    static QtRtspFrameInfo fromLibraryRecord(const easyplayer::FrameInfo& info);
    int width() const;
    int height() const;
    quint32 length() const;
};
Q_DECLARE_METATYPE(QtRtspFrameInfo)

// Loads the RTSP player library at run time, opens and closes its streams and receives its pictures.
// Pictures arrive on the library's threads; they are copied into a double buffer and announced to the
// GUI thread by queued calls; those of a channel closed meanwhile are dropped. A reconnect notice from
// the library restarts the stream with the last URL.
class QtEasyPlayerStreamPuller : public QObject {
    Q_OBJECT

public:
    explicit QtEasyPlayerStreamPuller(QObject* parent = nullptr);
    ~QtEasyPlayerStreamPuller() override;

    // The candidate search; true when a library with the four required entry points is loaded.
    bool loadLibrary(const QString& preferredPath = QString());
    bool startPull(const QString& url, QWidget* renderWidget, bool overTcp, const QString& user,
                   const QString& password, bool hardwareDecode, int renderFormat);
    void stopPull();
    bool isPulling() const { return m_channelId > 0; }

    int channelId() const { return m_channelId; }
    QString lastError() const { return m_lastError; }
    QString loadedLibraryPath() const { return m_loadedPath; }
    QString url() const { return m_url; }

    // The picture last written into buffer 0 or 1 (empty for any other index). The copy shares the
    // bytes until the library's thread writes that buffer again, which then writes a fresh one:
    // the bytes a caller holds never change under it.
    QByteArray frameBuffer(int index) const;

    // The library's frame callback (library threads). Public so that notices can be delivered in tests.
    static int frameCallback(int channelId, void* userPointer, int frameType, char* buffer,
                             easyplayer::FrameInfo* info);

signals:
    void streamStarted(int channelId);
    void streamStopped();
    void streamStartFailed(int errorCode, const QString& reason);
    void frameArrived(int frameType, const QByteArray& payload, const QtRtspFrameInfo& info);
    void frameBufferReady(int bufferIndex, int width, int height);
    void reconnectRequested(const QString& url);
    // The stream's picture is larger than Video/MaxPictureSize: refused (the library's notice, or a
    // picture of a library that knows no limit, which is then not shown).
    void pictureTooLarge(int width, int height, int maxWidth, int maxHeight);

private slots:
    void onFrameBufferReady(int bufferIndex, int width, int height);
    void doReconnectRequested(const QString& url);

private:
    struct SearchPlaces;
    bool entryPointsResolved() const;
    bool resolveEntryPoints(PlatformLibrary::Handle module);
    void clearEntryPoints();
    void preloadCompanions(const QStringList& directories);
    bool tryCandidate(const QString& path);
    void handleFrame(int channelId, int frameType, const char* buffer, const easyplayer::FrameInfo& info);
    void reportPictureTooLarge(int channelId, int width, int height);
    bool isCurrentChannel(int channelId) const;
    void closeChannel();

    PlatformLibrary::Handle m_module = nullptr;
    QVector<PlatformLibrary::Handle> m_preloadedModules;
    QString m_loadedPath;
    QString m_lastError;

    easyplayer::InitFn m_init = nullptr;
    easyplayer::InitWithKeyFn m_initWithKey = nullptr;
    easyplayer::ReleaseFn m_release = nullptr;
    easyplayer::OpenStreamFn m_openStream = nullptr;
    easyplayer::CloseStreamFn m_closeStream = nullptr;
    easyplayer::SetFrameCacheFn m_setFrameCache = nullptr;
    easyplayer::SetMaxPictureSizeFn m_setMaxPictureSize = nullptr;

    int m_channelId = -1;
    bool m_libraryInitialised = false;
    QString m_url;
    QPointer<QWidget> m_renderWidget;
    bool m_overTcp = true;
    QString m_user;
    QString m_password;
    bool m_hardwareDecode = false;
    int m_renderFormat = easyplayer::kRenderFormatRgb24;
    // Time to the first picture of a stream, across the reconnects until it plays.
    QElapsedTimer m_sinceStart;
    // Video/MaxPictureSize as read at the last start (the default before); the library's threads read it.
    std::atomic<int> m_maxPictureWidth{kDefaultMaxPictureSide};
    std::atomic<int> m_maxPictureHeight{kDefaultMaxPictureSide};
    // The channel whose refusal was reported last: once per channel, not once per picture.
    std::atomic<int> m_refusedChannel{-1};
    bool m_awaitingFirstPicture = false;

    // Written by the library's threads, read by the GUI: guarded by m_bufferLock.
    mutable QMutex m_bufferLock;
    QByteArray m_frameBuffers[2];
    int m_nextBufferIndex = 0;
};
