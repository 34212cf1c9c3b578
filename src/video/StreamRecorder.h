#pragma once

#include <QObject>
#include <QString>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

#include "Telemetry.h"

extern "C" {
struct AVCodecParameters;
struct AVPacket;
}

// Remuxes the compressed packets of the received stream into files without decoding them: an MPEG
// transport stream with the telemetry of every frame beside it as a KLV data stream (the form
// full-motion-video tools read), or Matroska with the picture only. Either way a subtitle file
// (<name>.srt) beside it shows the telemetry second by second in any player.
//
// The decode thread hands over packets (a reference, not a copy of the data) and never waits for the
// disk: a writer thread of its own takes them from a bounded queue; what does not fit is counted and
// dropped. A transport stream is written out packet by packet and needs no index; Matroska clusters
// are closed at least every second and flushed at once: a file cut off by a crash or a power loss
// plays up to about its last second.
//
// A stream that comes back after an outage with the same parameters goes on in the same file; with
// other parameters (size, codec) a new file is begun. Each file starts at a key frame.
class StreamRecorder : public QObject {
    Q_OBJECT

public:
    // About 20 s of a 30 fps stream; a writer that falls further behind drops packets.
    static constexpr int kMaxQueuedPackets = 600;
    // Longest stretch of a file that a kill may cut off.
    static constexpr int kClusterMs = 1000;
    static constexpr const char* kWriterThreadName = "skyvane-rec";

    enum class Format { Ts, Mkv };
    // Video/RecordingFormat's values, "ts" and "mkv"; known is false (and the result Ts) for others.
    static Format formatFromName(const QString& name, bool* known = nullptr);
    static QString suffixOf(Format format);

    explicit StreamRecorder(QObject* parent = nullptr);
    ~StreamRecorder() override;

    // GUI thread. Files are written into folder, which must exist.
    void start(const QString& folder, Format format = Format::Ts);
    void stop();
    bool isRecording() const { return m_recording.load(); }
    // The size so far of the file being written, and packets dropped because the writer fell behind
    // (since start()).
    qint64 bytesWritten() const { return m_bytesWritten.load(); }
    int droppedPackets() const { return m_droppedPackets.load(); }
    // Packets taken into the queue since start(), the lead-in included.
    int acceptedPackets() const { return m_acceptedPackets.load(); }

    // Decode thread: the stream was (re)opened with these parameters (time stamps in timeBase units).
    void setStream(const AVCodecParameters* parameters, int timeBaseNum, int timeBaseDen);
    // Decode thread: one packet of the video stream; returns at once.
    void pushPacket(const AVPacket* packet);

signals:
    // Emitted from the writer thread: a file was begun (newStream: because the stream's parameters
    // changed), finished, or recording stopped because the disk refused.
    void fileStarted(const QString& path, bool newStream);
    void fileFinished(const QString& path, qint64 bytes);
    void failed(const QString& path, const QString& reason);
    // The subtitle file beside a recording could not be made; the recording goes on without it.
    void sidecarFailed(const QString& path, const QString& reason);

private:
    struct StreamInfo;
    struct Item;
    class Writer;
    // A packet as it came from the decode thread: when, and what the device said at that moment.
    struct Received {
        AVPacket* packet = nullptr;  // owned, but for the decode thread's own in pushPacket()
        qint64 arrivalUs = 0;        // µs since the epoch
        Telemetry telemetry;
    };

    void queuePacket(const Received& received);
    void writerLoop();

    std::atomic<bool> m_recording{false};
    std::atomic<qint64> m_bytesWritten{0};
    std::atomic<int> m_droppedPackets{0};
    std::atomic<int> m_acceptedPackets{0};

    std::mutex m_lock;
    std::condition_variable m_wake;
    std::deque<Item> m_queue;
    std::deque<Received> m_leadIn;               // the packets since the last key frame
    bool m_leadInComplete = false;               // m_leadIn starts at a key frame and has no hole
    bool m_skipUntilKey = false;                 // a packet was dropped: queue nothing before the next key frame
    std::shared_ptr<const StreamInfo> m_stream;  // the parameters of the stream now playing
    bool m_quit = false;

    std::unique_ptr<Writer> m_writer;  // touched only by the writer thread
    std::thread m_thread;
};
