// skyvane-bench-recording: what local recording costs per frame.
//
// Reads the simulator's stamped 1080p30 RTSP stream (on loopback) with libavformat, the way the decode
// thread does, and hands every video packet to a StreamRecorder writing into a temporary folder. It
// measures the decode thread's share (CPU and longest wall time of pushPacket: the thread must never
// wait for the disk) and the writer thread's CPU (from /proc, by the thread's name), both per frame.
// A full set of telemetry is published meanwhile, so that a transport stream's local sets carry every
// item. The metadata path alone (building one local set and muxing it into a transport stream) is
// then timed on its own, in a loop.
// Run it inside scripts/netns.sh: it touches nothing but loopback.
//     skyvane-bench-recording [--seconds N] [--size WxH] [--fps N] [--format ts|mkv]
#include <time.h>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <vector>

#include "../common/BenchSupport.h"
#include "video/Klv0601.h"
#include "video/StreamRecorder.h"
#include "video/Telemetry.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/time.h>
}

namespace {

double threadCpuUs() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e6 + ts.tv_nsec / 1e3;
}

// CPU time so far of this process's thread with the given name, in µs (-1 when there is none).
double namedThreadCpuUs(const QByteArray& name) {
    const QStringList tasks = QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& task : tasks) {
        QFile comm(QStringLiteral("/proc/self/task/%1/comm").arg(task));
        if (!comm.open(QIODevice::ReadOnly) || comm.readAll().trimmed() != name)
            continue;
        QFile schedstat(QStringLiteral("/proc/self/task/%1/schedstat").arg(task));
        if (!schedstat.open(QIODevice::ReadOnly))
            return -1;
        return schedstat.readAll().split(' ').value(0).toDouble() / 1e3;  // ns on the CPU
    }
    return -1;
}

struct Figures {
    int packets = 0;
    double pushCpuUs = 0;
    std::vector<double> pushWallUs;
};

// Everything a local set can carry, as fresh as a device ten times a second would keep it.
Telemetry fullTelemetry() {
    Telemetry telemetry;
    telemetry.product = QStringLiteral("WrenT-R2");
    telemetry.sensor = QStringLiteral("EO/IR");
    telemetry.staleAfterMs = 3600 * 1000;
    telemetry.hasAttitude = true;
    telemetry.yawDeg = -123.45;
    telemetry.pitchDeg = -30.5;
    telemetry.rollDeg = 0.75;
    telemetry.attitudeMs = QDateTime::currentMSecsSinceEpoch();
    telemetry.hasSlantRange = true;
    telemetry.slantRangeM = 850.4;
    telemetry.slantRangeMs = telemetry.attitudeMs;
    telemetry.hasZoom = true;
    telemetry.zoom = 12;
    telemetry.thermometryOn = true;
    telemetry.maxTempC = 48.5;
    telemetry.minTempC = 12.25;
    return telemetry;
}

int discardOutput(void*, uint8_t*, int size) {
    return size;
}

// CPU per local set of the metadata path alone: fresh telemetry, the set built, wrapped and muxed
// into a transport stream (written to nowhere) beside a video stream, as the writer does per picture.
double metadataPathCpuUs(int sets) {
    AVFormatContext* output = nullptr;
    if (avformat_alloc_output_context2(&output, nullptr, "mpegts", nullptr) < 0)
        return -1;
    AVStream* video = avformat_new_stream(output, nullptr);
    video->codecpar->codec_type = AVMEDIA_TYPE_VIDEO;
    video->codecpar->codec_id = AV_CODEC_ID_H264;
    video->codecpar->width = 1920;
    video->codecpar->height = 1080;
    AVStream* data = avformat_new_stream(output, nullptr);
    data->codecpar->codec_type = AVMEDIA_TYPE_DATA;
    data->codecpar->codec_id = AV_CODEC_ID_SMPTE_KLV;
    data->codecpar->profile = FF_PROFILE_KLVA_SYNC;
    constexpr int kBufferBytes = 64 * 1024;
    auto* buffer = static_cast<unsigned char*>(av_malloc(kBufferBytes));
    output->pb = avio_alloc_context(buffer, kBufferBytes, 1, nullptr, nullptr, &discardOutput, nullptr);
    output->flags |= AVFMT_FLAG_CUSTOM_IO;
    if (avformat_write_header(output, nullptr) < 0)
        return -1;
    const Telemetry telemetry = fullTelemetry();
    AVPacket* packet = av_packet_alloc();
    const int64_t step = av_rescale_q(1, AVRational{1, 30}, output->streams[1]->time_base);
    const double start = threadCpuUs();
    for (int i = 0; i < sets; ++i) {
        const qint64 nowUs = av_gettime();
        const QByteArray set =
            Klv0601::accessUnit(Klv0601::encodeLocalSet(telemetry.freshAt(nowUs / 1000).klvValues(nowUs)), uint8_t(i));
        packet->data = reinterpret_cast<uint8_t*>(const_cast<char*>(set.constData()));
        packet->size = set.size();
        packet->stream_index = 1;
        packet->pts = packet->dts = i * step;
        av_write_frame(output, packet);
    }
    const double cpuUs = threadCpuUs() - start;
    packet->data = nullptr;
    av_packet_free(&packet);
    av_write_trailer(output);
    av_freep(&output->pb->buffer);
    avio_context_free(&output->pb);
    avformat_free_context(output);
    return cpuUs / sets;
}

// Reads the stream for the given time, handing each video packet to the recorder.
bool feed(const QString& url, int seconds, StreamRecorder* recorder, const QString& folder,
          StreamRecorder::Format format, Figures* figures) {
    AVFormatContext* input = nullptr;
    AVDictionary* options = nullptr;
    av_dict_set(&options, "rtsp_transport", "tcp", 0);
    const int opened = avformat_open_input(&input, url.toUtf8().constData(), nullptr, &options);
    av_dict_free(&options);
    if (opened < 0 || avformat_find_stream_info(input, nullptr) < 0) {
        std::fprintf(stderr, "cannot open %s\n", qPrintable(url));
        avformat_close_input(&input);
        return false;
    }
    const int videoIndex = av_find_best_stream(input, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    const AVStream* stream = input->streams[videoIndex];
    recorder->setStream(stream->codecpar, stream->time_base.num, stream->time_base.den);
    recorder->start(folder, format);
    AVPacket* packet = av_packet_alloc();
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < seconds * 1000 && av_read_frame(input, packet) >= 0) {
        if (packet->stream_index == videoIndex) {
            // The controller's ten reports a second, approximately.
            if (figures->packets % 3 == 0)
                TelemetryFeed::publish(fullTelemetry());
            QElapsedTimer wall;
            wall.start();
            const double cpuStart = threadCpuUs();
            recorder->pushPacket(packet);
            figures->pushCpuUs += threadCpuUs() - cpuStart;
            figures->pushWallUs.push_back(wall.nsecsElapsed() / 1e3);
            ++figures->packets;
        }
        av_packet_unref(packet);
    }
    av_packet_free(&packet);
    avformat_close_input(&input);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addOption({"seconds", "How long to record.", "N", "20"});
    parser.addOption({"size", "Picture size.", "WxH", "1920x1080"});
    parser.addOption({"fps", "Frame rate.", "N", "30"});
    parser.addOption({"format", "Recording format, ts or mkv.", "F", "ts"});
    parser.process(app);
    const QStringList size = parser.value("size").split('x');
    const QSize pictureSize(size.value(0).toInt(), size.value(1).toInt());
    const int fps = parser.value("fps").toInt();
    const int seconds = parser.value("seconds").toInt();
    const StreamRecorder::Format format = StreamRecorder::formatFromName(parser.value("format"));

    QProcess sim;
    const QString url = bench::startStampedStream(&sim, QStringLiteral(SKYVANE_SIM_PATH), pictureSize, fps);
    if (url.isEmpty())
        return 1;
    QTemporaryDir folder;
    Figures figures;
    double writerCpuUs = -1;
    qint64 fileBytes = 0;
    int dropped = 0;
    {
        StreamRecorder recorder;
        std::atomic<bool> finished{false};
        QObject::connect(
            &recorder, &StreamRecorder::fileFinished, &recorder,
            [&](const QString&, qint64 bytes) {
                fileBytes = bytes;
                finished = true;
            },
            Qt::DirectConnection);
        if (!feed(url, seconds, &recorder, folder.path(), format, &figures))
            return 1;
        recorder.stop();
        while (!finished)
            QThread::msleep(10);
        writerCpuUs = namedThreadCpuUs(StreamRecorder::kWriterThreadName);
        dropped = recorder.droppedPackets();
    }
    sim.terminate();
    sim.waitForFinished(3000);

    const double frames = std::max(1, figures.packets);
    const double pushMs = figures.pushCpuUs / frames / 1000;
    const double writerMs = writerCpuUs / frames / 1000;
    std::printf("recording %dx%d@%d as %s for %d s: %d frames, %lld bytes, %d dropped\n", pictureSize.width(),
                pictureSize.height(), fps, qPrintable(StreamRecorder::suffixOf(format)), seconds, figures.packets,
                static_cast<long long>(fileBytes), dropped);
    std::printf(
        "decode thread (pushPacket): %.4f ms CPU per frame; wall per call p50 %.1f us, p99 %.1f us, max %.1f us\n",
        pushMs, bench::percentile(figures.pushWallUs, 0.5), bench::percentile(figures.pushWallUs, 0.99),
        bench::percentile(figures.pushWallUs, 1.0));
    std::printf("writer thread: %.4f ms CPU per frame\n", writerMs);
    std::printf("recording total: %.4f ms CPU per frame (target <= 0.2 ms)\n", pushMs + writerMs);
    std::printf(
        "metadata path (local set built and muxed into a transport stream): %.4f ms CPU per frame "
        "(target <= 0.02 ms)\n",
        metadataPathCpuUs(30000) / 1000);
    return 0;
}
