#include "StreamRecorder.h"

#include <QFile>
#include <algorithm>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#ifdef __linux__
#include <pthread.h>
#endif

#include "CaptureFile.h"
#include "FFmpegError.h"
#include "app/elog.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/time.h>
}

namespace {

// Packets kept since the last key frame, so that a recording begins with the picture on screen
// rather than at the next key frame; a stream with longer groups gets no such lead-in.
constexpr size_t kMaxLeadInPackets = 300;

// The muxer's write buffer.
constexpr int kOutputBufferBytes = 64 * 1024;

template <typename Queued>
void freePackets(std::deque<Queued>* packets) {
    for (Queued& received : *packets)
        av_packet_free(&received.packet);
    packets->clear();
}

qint64 epochUs() {
    return av_gettime();
}

// "00:01:02,000": a subtitle cue's time.
QByteArray srtTime(qint64 ms) {
    return QStringLiteral("%1:%2:%3,%4")
        .arg(ms / 3600000, 2, 10, QLatin1Char('0'))
        .arg(ms / 60000 % 60, 2, 10, QLatin1Char('0'))
        .arg(ms / 1000 % 60, 2, 10, QLatin1Char('0'))
        .arg(ms % 1000, 3, 10, QLatin1Char('0'))
        .toUtf8();
}

bool writeAll(int fd, const QByteArray& bytes) {
    qint64 written = 0;
    while (written < bytes.size()) {
        const ssize_t result = ::write(fd, bytes.constData() + written, size_t(bytes.size() - written));
        if (result < 0 && errno == EINTR)
            continue;
        if (result <= 0)
            return false;
        written += result;
    }
    return true;
}

// The muxer writes through the descriptor of the file we created ourselves, so that nothing opens the
// name a second time (someone could have put a link there in between).
int writeToFile(void* opaque, uint8_t* buffer, int size) {
    const int fd = *static_cast<const int*>(opaque);
    int written = 0;
    while (written < size) {
        const ssize_t result = ::write(fd, buffer + written, size_t(size - written));
        if (result < 0 && errno == EINTR)
            continue;
        if (result <= 0)
            return AVERROR(result < 0 ? errno : ENOSPC);
        written += int(result);
    }
    return written;
}

int64_t seekInFile(void* opaque, int64_t offset, int whence) {
    const int fd = *static_cast<const int*>(opaque);
    if (whence == AVSEEK_SIZE) {
        struct stat info {};
        return ::fstat(fd, &info) == 0 ? int64_t(info.st_size) : AVERROR(errno);
    }
    const off_t position = ::lseek(fd, off_t(offset), whence & ~AVSEEK_FORCE);
    return position < 0 ? AVERROR(errno) : int64_t(position);
}

}  // namespace

struct StreamRecorder::StreamInfo {
    AVCodecParameters* parameters = nullptr;
    AVRational timeBase{1, 90000};

    ~StreamInfo() { avcodec_parameters_free(&parameters); }

    // Packets of the other stream can go on in the same file.
    bool sameAs(const StreamInfo& other) const {
        const AVCodecParameters* a = parameters;
        const AVCodecParameters* b = other.parameters;
        return a->codec_id == b->codec_id && a->width == b->width && a->height == b->height &&
               av_cmp_q(timeBase, other.timeBase) == 0 && a->extradata_size == b->extradata_size &&
               (a->extradata_size == 0 || std::equal(a->extradata, a->extradata + a->extradata_size, b->extradata));
    }
};

struct StreamRecorder::Item {
    enum class Kind { Begin, Stream, Packet, Finish };

    Item() = default;
    explicit Item(Kind k, std::shared_ptr<const StreamInfo> s = {}, QString f = {}, Format fmt = Format::Ts)
        : kind(k), stream(std::move(s)), folder(std::move(f)), format(fmt) {}
    explicit Item(Received r) : kind(Kind::Packet), received(std::move(r)) {}

    Kind kind = Kind::Finish;
    Received received;  // Packet: its packet owned by the item until written
    std::shared_ptr<const StreamInfo> stream;
    QString folder;  // Begin
    Format format = Format::Ts;
};

// The file being written and its time line; lives on the writer thread only.
class StreamRecorder::Writer {
public:
    explicit Writer(StreamRecorder* owner) : m_owner(owner) {}
    ~Writer() {
        finishFile();
        av_packet_free(&m_metadataPacket);
    }

    void begin(const QString& folder, Format format, std::shared_ptr<const StreamInfo> stream) {
        finishFile();
        m_folder = folder;
        m_format = format;
        m_stream = std::move(stream);
        m_active = true;
        m_nextFileIsNewStream = false;
        m_segmentPending = true;
    }

    void streamChanged(std::shared_ptr<const StreamInfo> stream) {
        if (!m_active)
            return;
        if (m_output && !(m_stream && m_stream->sameAs(*stream))) {
            finishFile();
            m_nextFileIsNewStream = true;
        }
        m_stream = std::move(stream);
        // The reopened stream's time stamps start afresh; it joins the file at its first key frame.
        m_segmentPending = true;
    }

    void write(const Received& received) {
        AVPacket* packet = received.packet;
        if (!m_active || !m_stream)
            return;
        const bool key = packet->flags & AV_PKT_FLAG_KEY;
        if (m_segmentPending && !key)
            return;
        if (!m_output && !openFile())
            return;
        mapTimeStamps(packet);
        const int64_t pts = packet->pts;
        if (!writePacket(packet))
            return;
        ++m_packetsInFile;
        // What the device said when this picture arrived, on the picture's own time.
        const Telemetry telemetry = received.telemetry.freshAt(received.arrivalUs / 1000);
        if (m_format == Format::Ts && !writeLocalSet(telemetry, received.arrivalUs, pts))
            return;
        writeCue(telemetry, received.arrivalUs / 1000, pts);
        if (!flushEverySecond())
            return;
        m_owner->m_bytesWritten = avio_tell(m_output->pb);
    }

    void finish() {
        finishFile();
        m_active = false;
    }

    bool active() const { return m_active; }

private:
    static constexpr int kVideo = 0;
    static constexpr int kMetadata = 1;

    bool flushEverySecond() {
        const int64_t nowUs = av_gettime_relative();
        if (m_output->flush_packets || nowUs - m_lastFlushUs < int64_t(kClusterMs) * 1000)
            return true;
        m_lastFlushUs = nowUs;
        avio_flush(m_output->pb);
        return m_output->pb->error >= 0 || fail(ffmpegErrorText(m_output->pb->error));
    }

    bool writePacket(AVPacket* packet) {
        const int result = av_write_frame(m_output, packet);
        const int ioError = m_output->pb->error;
        if (result < 0 || ioError < 0)
            return fail(ffmpegErrorText(result < 0 ? result : ioError));
        return true;
    }

    // One local set on the data stream, presented with the picture it belongs to.
    bool writeLocalSet(const Telemetry& telemetry, qint64 arrivalUs, int64_t videoPts) {
        const QByteArray set =
            Klv0601::accessUnit(Klv0601::encodeLocalSet(telemetry.klvValues(arrivalUs)), m_metadataSequence++);
        const AVStream* data = m_output->streams[kMetadata];
        int64_t pts = av_rescale_q(videoPts, m_output->streams[kVideo]->time_base, data->time_base);
        if (m_lastMetadataPts != AV_NOPTS_VALUE && pts <= m_lastMetadataPts)
            pts = m_lastMetadataPts + 1;
        m_lastMetadataPts = pts;
        m_metadataPacket->data = reinterpret_cast<uint8_t*>(const_cast<char*>(set.constData()));
        m_metadataPacket->size = set.size();
        m_metadataPacket->stream_index = kMetadata;
        m_metadataPacket->pts = pts;
        m_metadataPacket->dts = pts;
        m_metadataPacket->flags = AV_PKT_FLAG_KEY;
        const bool written = writePacket(m_metadataPacket);
        m_metadataPacket->data = nullptr;
        m_metadataPacket->size = 0;
        return written;
    }

    // The subtitle beside the file: a cue for every second of the file's time line that has
    // pictures, with what was known at the first of them.
    void writeCue(const Telemetry& telemetry, qint64 arrivalMs, int64_t videoPts) {
        if (m_sidecarFd < 0)
            return;
        if (m_firstPts == AV_NOPTS_VALUE)
            m_firstPts = videoPts;
        const qint64 fileMs =
            std::max<qint64>(0, av_rescale_q(videoPts - m_firstPts, m_output->streams[kVideo]->time_base, {1, 1000}));
        const qint64 second = fileMs / 1000;
        if (second < m_nextCueSecond)
            return;
        m_nextCueSecond = second + 1;
        const QByteArray cue = QByteArray::number(++m_cues) + '\n' + srtTime(second * 1000) + " --> " +
                               srtTime((second + 1) * 1000) + '\n' + telemetry.subtitleText(arrivalMs).toUtf8() +
                               "\n\n";
        if (!writeAll(m_sidecarFd, cue)) {
            const QString reason = QString::fromLocal8Bit(std::strerror(errno));
            elog_e("video", "Subtitle file no longer written: %s (%s)", reason.toUtf8().constData(),
                   m_sidecarPath.toUtf8().constData());
            emit m_owner->sidecarFailed(m_sidecarPath, reason);
            closeSidecar(false);
        }
    }

    // Made like the recording itself: exclusively, owner-only, never through a link planted there.
    void openSidecar() {
        m_sidecarPath = m_path.left(m_path.lastIndexOf(QLatin1Char('.'))) + QStringLiteral(".srt");
        const QByteArray encoded = QFile::encodeName(m_sidecarPath);
        m_sidecarFd = ::open(encoded.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        m_cues = 0;
        m_nextCueSecond = 0;
        m_firstPts = AV_NOPTS_VALUE;
        if (m_sidecarFd >= 0)
            return;
        const QString reason = QString::fromLocal8Bit(std::strerror(errno));
        elog_e("video", "Subtitle file not possible: %s (%s); the recording goes on without it",
               reason.toUtf8().constData(), m_sidecarPath.toUtf8().constData());
        emit m_owner->sidecarFailed(m_sidecarPath, reason);
    }

    void closeSidecar(bool remove) {
        if (m_sidecarFd < 0)
            return;
        if (remove)
            CaptureFile::removeIfSame(m_sidecarFd, m_sidecarPath);
        ::close(m_sidecarFd);
        m_sidecarFd = -1;
    }

    bool addMetadataStream() {
        AVStream* data = avformat_new_stream(m_output, nullptr);
        if (!data)
            return false;
        data->codecpar->codec_type = AVMEDIA_TYPE_DATA;
        data->codecpar->codec_id = AV_CODEC_ID_SMPTE_KLV;
        // Synchronous metadata: each local set carries the time of its picture.
        data->codecpar->profile = FF_PROFILE_KLVA_SYNC;
        data->time_base = AVRational{1, 90000};
        m_lastMetadataPts = AV_NOPTS_VALUE;
        return true;
    }

    bool openFile() {
        const CaptureFile::Created created =
            CaptureFile::create(m_folder, QStringLiteral("skyvane_"), StreamRecorder::suffixOf(m_format));
        if (created.fd < 0)
            return fail(created.error, created.path);
        m_fd = created.fd;
        m_path = created.path;
        m_packetsInFile = 0;
        const bool ts = m_format == Format::Ts;
        int result = avformat_alloc_output_context2(&m_output, nullptr, ts ? "mpegts" : "matroska", nullptr);
        AVStream* stream = result >= 0 ? avformat_new_stream(m_output, nullptr) : nullptr;
        if (!stream || (ts && !addMetadataStream()))
            return fail(ffmpegErrorText(result < 0 ? result : AVERROR(ENOMEM)));
        avcodec_parameters_copy(stream->codecpar, m_stream->parameters);
        stream->codecpar->codec_tag = 0;
        stream->time_base = m_stream->timeBase;
        auto* buffer = static_cast<unsigned char*>(av_malloc(kOutputBufferBytes));
        m_output->pb =
            buffer ? avio_alloc_context(buffer, kOutputBufferBytes, 1, &m_fd, nullptr, &writeToFile, &seekInFile)
                   : nullptr;
        if (!m_output->pb) {
            av_free(buffer);
            return fail(ffmpegErrorText(AVERROR(ENOMEM)));
        }
        m_output->flags |= AVFMT_FLAG_CUSTOM_IO;
        // Short clusters written out at once: a file cut off loses at most its last second. A
        // transport stream needs no clusters; its buffer is written out at least as often (below),
        // not after every packet, which would cost a system call each.
        AVDictionary* options = nullptr;
        if (!ts)
            av_dict_set_int(&options, "cluster_time_limit", kClusterMs, 0);
        m_output->flush_packets = ts ? 0 : 1;
        m_lastFlushUs = av_gettime_relative();
        result = avformat_write_header(m_output, &options);
        av_dict_free(&options);
        if (result < 0)
            return fail(ffmpegErrorText(result));
        m_headerWritten = true;
        m_lastOutDts = AV_NOPTS_VALUE;
        m_lastInDts = AV_NOPTS_VALUE;
        m_owner->m_bytesWritten = avio_tell(m_output->pb);
        const QByteArray pathUtf8 = m_path.toUtf8();
        elog_i("video", "Recording file opened %s (%dx%d %s%s)", pathUtf8.constData(), m_stream->parameters->width,
               m_stream->parameters->height, avcodec_get_name(m_stream->parameters->codec_id),
               ts ? ", KLV telemetry" : "");
        emit m_owner->fileStarted(m_path, m_nextFileIsNewStream);
        openSidecar();
        m_nextFileIsNewStream = false;
        return true;
    }

    // Time stamps continue the file's time line: a segment after an outage starts where the file
    // stopped plus the time the stream was away, and time never runs backwards.
    void mapTimeStamps(AVPacket* packet) {
        const AVRational inBase = m_stream->timeBase;
        const int64_t frameTicks = std::max<int64_t>(1, av_rescale_q(1, AVRational{1, 30}, inBase));
        int64_t dts = packet->dts != AV_NOPTS_VALUE ? packet->dts : packet->pts;
        if (dts == AV_NOPTS_VALUE)
            dts = m_lastInDts == AV_NOPTS_VALUE ? 0 : m_lastInDts + frameTicks;
        const int64_t pts = packet->pts != AV_NOPTS_VALUE ? packet->pts : dts;
        const int64_t nowUs = av_gettime_relative();
        if (m_segmentPending) {
            m_segmentPending = false;
            int64_t start = 0;
            if (m_lastOutDts != AV_NOPTS_VALUE) {
                const int64_t gap = av_rescale_q(nowUs - m_lastWallUs, AVRational{1, 1000000}, inBase);
                start = m_lastInDts + std::max(frameTicks, gap);
            }
            m_segmentOffset = start - dts;
        }
        m_lastWallUs = nowUs;
        m_lastInDts = dts + m_segmentOffset;
        packet->stream_index = kVideo;
        packet->dts = dts + m_segmentOffset;
        packet->pts = std::max(pts + m_segmentOffset, packet->dts);
        packet->pos = -1;
        av_packet_rescale_ts(packet, inBase, m_output->streams[kVideo]->time_base);
        // Strictly rising: a transport stream takes no two packets with the same time (a reopened
        // stream's first stamps may still be settling).
        if (m_lastOutDts != AV_NOPTS_VALUE && packet->dts <= m_lastOutDts) {
            packet->pts += m_lastOutDts + 1 - packet->dts;
            packet->dts = m_lastOutDts + 1;
        }
        m_lastOutDts = packet->dts;
    }

    void finishFile() {
        if (m_output) {
            if (m_headerWritten && m_output->pb->error >= 0)
                av_write_trailer(m_output);
            m_headerWritten = false;
            if (m_output->pb) {
                avio_flush(m_output->pb);
                m_bytes = avio_tell(m_output->pb);
                av_freep(&m_output->pb->buffer);
                avio_context_free(&m_output->pb);
            }
            avformat_free_context(m_output);
            m_output = nullptr;
        }
        closeFile();
    }

    // A file that got no picture, or none of whose bytes reached the disk (the muxer buffers), is of
    // no use to anyone: it goes (a full disk leaves no empty files).
    void closeFile() {
        if (m_fd < 0)
            return;
        struct stat written {};
        const bool empty = m_packetsInFile == 0 || (::fstat(m_fd, &written) == 0 && written.st_size == 0);
        closeSidecar(empty);
        if (empty)
            CaptureFile::removeIfSame(m_fd, m_path);
        ::close(m_fd);
        m_fd = -1;
        const QString path = m_path;
        const qint64 bytes = m_bytes;
        m_path.clear();
        m_bytes = 0;
        if (empty) {
            elog_i("video", "Recording file removed, it got no picture: %s", path.toUtf8().constData());
            return;
        }
        elog_i("video", "Recording file closed %s (%lld bytes)", path.toUtf8().constData(),
               static_cast<long long>(bytes));
        emit m_owner->fileFinished(path, bytes);
    }

    bool fail(const QString& reason, const QString& path = QString()) {
        const QString file = m_path.isEmpty() ? path : m_path;
        elog_e("video", "Recording stopped: %s (%s)", reason.toUtf8().constData(), file.toUtf8().constData());
        // What was written stays readable; a file the disk refused gets no trailer.
        finishFile();
        m_active = false;
        m_owner->m_recording = false;
        emit m_owner->failed(file, reason);
        return false;
    }

    StreamRecorder* m_owner;
    AVPacket* m_metadataPacket = av_packet_alloc();  // borrows each local set's bytes while it is written
    Format m_format = Format::Ts;
    int64_t m_lastMetadataPts = AV_NOPTS_VALUE;
    uint8_t m_metadataSequence = 0;
    int64_t m_lastFlushUs = 0;
    QString m_sidecarPath;
    int m_sidecarFd = -1;
    int m_cues = 0;
    qint64 m_nextCueSecond = 0;
    int64_t m_firstPts = AV_NOPTS_VALUE;
    QString m_folder;
    QString m_path;
    std::shared_ptr<const StreamInfo> m_stream;
    AVFormatContext* m_output = nullptr;
    int m_fd = -1;            // the file being written, created by us
    int m_packetsInFile = 0;  // pictures written into it
    qint64 m_bytes = 0;       // its size when it was closed
    bool m_headerWritten = false;
    bool m_active = false;
    bool m_nextFileIsNewStream = false;
    bool m_segmentPending = true;
    int64_t m_segmentOffset = 0;
    int64_t m_lastInDts = AV_NOPTS_VALUE;
    int64_t m_lastOutDts = AV_NOPTS_VALUE;
    int64_t m_lastWallUs = 0;
};

StreamRecorder::StreamRecorder(QObject* parent)
    : QObject(parent), m_writer(std::make_unique<Writer>(this)), m_thread([this] { writerLoop(); }) {}

StreamRecorder::~StreamRecorder() {
    {
        std::lock_guard<std::mutex> locker(m_lock);
        m_recording = false;
        m_queue.push_back(Item{Item::Kind::Finish});
        m_quit = true;
    }
    m_wake.notify_one();
    m_thread.join();
    freePackets(&m_leadIn);
}

StreamRecorder::Format StreamRecorder::formatFromName(const QString& name, bool* known) {
    const QString lower = name.trimmed().toLower();
    if (known)
        *known = lower == QLatin1String("ts") || lower == QLatin1String("mkv");
    return lower == QLatin1String("mkv") ? Format::Mkv : Format::Ts;
}

QString StreamRecorder::suffixOf(Format format) {
    return format == Format::Mkv ? QStringLiteral(".mkv") : QStringLiteral(".ts");
}

void StreamRecorder::start(const QString& folder, Format format) {
    std::lock_guard<std::mutex> locker(m_lock);
    m_bytesWritten = 0;
    m_droppedPackets = 0;
    m_acceptedPackets = 0;
    m_recording = true;
    m_skipUntilKey = false;
    m_queue.push_back(Item{Item::Kind::Begin, m_stream, folder, format});
    for (const Received& received : m_leadIn)
        queuePacket(received);
    m_wake.notify_one();
}

void StreamRecorder::stop() {
    std::lock_guard<std::mutex> locker(m_lock);
    if (!m_recording)
        return;
    m_recording = false;
    m_queue.push_back(Item{Item::Kind::Finish});
    m_wake.notify_one();
}

void StreamRecorder::setStream(const AVCodecParameters* parameters, int timeBaseNum, int timeBaseDen) {
    auto info = std::make_shared<StreamInfo>();
    info->parameters = avcodec_parameters_alloc();
    avcodec_parameters_copy(info->parameters, parameters);
    info->timeBase = AVRational{timeBaseNum, timeBaseDen};
    std::lock_guard<std::mutex> locker(m_lock);
    m_stream = info;
    freePackets(&m_leadIn);
    m_leadInComplete = false;
    if (!m_recording)
        return;
    m_queue.push_back(Item{Item::Kind::Stream, info});
    m_wake.notify_one();
}

void StreamRecorder::pushPacket(const AVPacket* packet) {
    // Taken before the lock: the moment the picture arrived and what was known then.
    Received received{const_cast<AVPacket*>(packet), epochUs(), TelemetryFeed::latest()};
    std::lock_guard<std::mutex> locker(m_lock);
    if (packet->flags & AV_PKT_FLAG_KEY) {
        freePackets(&m_leadIn);
        m_leadInComplete = true;
    }
    // A lead-in with a hole would not decode: a group too long for it leaves none.
    if (m_leadInComplete && m_leadIn.size() >= kMaxLeadInPackets) {
        freePackets(&m_leadIn);
        m_leadInComplete = false;
    }
    if (m_leadInComplete)
        m_leadIn.push_back(Received{av_packet_clone(packet), received.arrivalUs, received.telemetry});
    if (!m_recording)
        return;
    queuePacket(received);
    m_wake.notify_one();
}

// With the lock held. After a packet had to be dropped the pictures that refer to it would not
// decode, so the file goes on at the next key frame.
void StreamRecorder::queuePacket(const Received& received) {
    if (received.packet->flags & AV_PKT_FLAG_KEY)
        m_skipUntilKey = false;
    AVPacket* copy =
        m_queue.size() < size_t(kMaxQueuedPackets) && !m_skipUntilKey ? av_packet_clone(received.packet) : nullptr;
    if (!copy) {
        ++m_droppedPackets;
        m_skipUntilKey = true;
        return;
    }
    ++m_acceptedPackets;
    m_queue.push_back(Item{Received{copy, received.arrivalUs, received.telemetry}});
}

void StreamRecorder::writerLoop() {
#ifdef __linux__
    // Named for the system's tools (top -H) and for the benchmark, which reads its CPU time.
    pthread_setname_np(pthread_self(), kWriterThreadName);
#endif
    for (;;) {
        Item item;
        {
            std::unique_lock<std::mutex> locker(m_lock);
            m_wake.wait(locker, [this] { return !m_queue.empty() || m_quit; });
            if (m_queue.empty())
                return;
            item = std::move(m_queue.front());
            m_queue.pop_front();
        }
        switch (item.kind) {
            case Item::Kind::Begin:
                m_writer->begin(item.folder, item.format, item.stream);
                break;
            case Item::Kind::Stream:
                m_writer->streamChanged(item.stream);
                break;
            case Item::Kind::Packet:
                m_writer->write(item.received);
                av_packet_free(&item.received.packet);
                break;
            case Item::Kind::Finish:
                m_writer->finish();
                break;
        }
    }
}
