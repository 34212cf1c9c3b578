#pragma once

#include <QObject>
#include <QString>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

extern "C" {
struct AVCodecParameters;
struct AVPacket;
}

// Remuxes the compressed packets of the received stream into Matroska files without decoding them.
//
// The decode thread hands over packets (a reference, not a copy of the data) and never waits for the
// disk: a writer thread of its own takes them from a bounded queue; what does not fit is counted and
// dropped. Clusters are closed at least every second and flushed at once, so a file cut off by a
// crash or a power loss plays up to about its last second.
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

    explicit StreamRecorder(QObject* parent = nullptr);
    ~StreamRecorder() override;

    // GUI thread. Files are written into folder, which must exist.
    void start(const QString& folder);
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

private:
    struct StreamInfo;
    struct Item;
    class Writer;

    void queuePacket(const AVPacket* packet);
    void writerLoop();

    std::atomic<bool> m_recording{false};
    std::atomic<qint64> m_bytesWritten{0};
    std::atomic<int> m_droppedPackets{0};
    std::atomic<int> m_acceptedPackets{0};

    std::mutex m_lock;
    std::condition_variable m_wake;
    std::deque<Item> m_queue;
    std::deque<AVPacket*> m_leadIn;              // the packets since the last key frame
    bool m_leadInComplete = false;               // m_leadIn starts at a key frame and has no hole
    bool m_skipUntilKey = false;                 // a packet was dropped: queue nothing before the next key frame
    std::shared_ptr<const StreamInfo> m_stream;  // the parameters of the stream now playing
    bool m_quit = false;

    std::unique_ptr<Writer> m_writer;  // touched only by the writer thread
    std::thread m_thread;
};
