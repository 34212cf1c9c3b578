#pragma once

#include <QSize>
#include <QString>

#include <memory>

#include "VideoScene.h"

// The simulated camera's RTSP server on 127.0.0.1: one encoded stream per mount path
// ("/live0", "/live/single", "/videoh264_chn0"), shared by every client of that path, fed with
// frames drawn from the latest device state. GStreamer runs on a thread of its own; frames are
// drawn and pushed by a pacing thread at the configured rate, only while someone is watching.
class RtspServer {
public:
    enum class Codec { H264, H265 };
    struct Config {
        quint16 port = 8554;
        QSize size{1280, 720};
        int fps = 30;
        Codec codec = Codec::H264;
    };

    explicit RtspServer(const Config& config);
    ~RtspServer();
    RtspServer(const RtspServer&) = delete;
    RtspServer& operator=(const RtspServer&) = delete;

    // Binds the port and starts serving; false with a reason when the port cannot be bound.
    bool start(QString* error);
    // Snapshot of what the next frames show; may be called from any thread.
    void setState(const VideoState& state);
    // false: drop every client and refuse new ones (an outage); true: serve again.
    void setServing(bool serving);
    // The picture size of the streams prepared from now on (give it during an outage: a client already
    // watching keeps the size it was served with).
    void setVideoSize(const QSize& size);

    QString url(const QString& path = QStringLiteral("/live0")) const;
    static QStringList mountPaths();
    // The GStreamer launch description used for each stream (exposed for diagnostics).
    QString launchDescription() const;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};
