// skyvane-bench-video-latency: where the FFmpeg backend stands against the ffmpeg command-line tool.
//
// Starts the simulator (stamped RTSP stream on loopback), then decodes the same stream side by side
// with our FFmpegThread and with `ffmpeg -fflags nobuffer -flags low_delay -probesize 32
// -analyzeduration 0` writing raw frames to a pipe. For each picture the frame stamp (wall-clock time
// at render, frame counter) is read back; latency = arrival on our GUI thread (or from the pipe)
// minus the stamp. Also: time to the first picture, frames lost, CPU per frame on a recorded clip
// against `ffmpeg -benchmark -threads 1`. The way from the item to the screen is measured by
// skyvane-bench-screen-latency. Run it inside scripts/netns.sh: it touches nothing but loopback.
#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

#include <QApplication>
#include <QCommandLineParser>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <vector>

#include "../common/BenchSupport.h"
#include "FrameStamp.h"
#include "video/FFmpegThread.h"

namespace {

struct Series {
    std::vector<double> latencyMs;
    std::vector<quint32> counters;
    double firstPictureMs = -1;
    int pictures = 0;
    int unreadable = 0;

    void add(const FrameStamp::Decoded& stamp, double sinceStartMs, int warmupPictures) {
        ++pictures;
        if (firstPictureMs < 0)
            firstPictureMs = sinceStartMs;
        if (!stamp.ok) {
            ++unreadable;
            return;
        }
        counters.push_back(stamp.frameCounter);
        if (pictures > warmupPictures)
            latencyMs.push_back(QDateTime::currentMSecsSinceEpoch() - stamp.epochMs);
    }
    int lost() const {
        if (counters.size() < 2)
            return 0;
        const auto [lo, hi] = std::minmax_element(counters.begin(), counters.end());
        std::vector<quint32> unique(counters);
        std::sort(unique.begin(), unique.end());
        unique.erase(std::unique(unique.begin(), unique.end()), unique.end());
        return int(*hi - *lo + 1) - int(unique.size());
    }
};

double processCpuMs() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec * 1e3 + usage.ru_utime.tv_usec / 1e3 + usage.ru_stime.tv_sec * 1e3 +
           usage.ru_stime.tv_usec / 1e3;
}

double threadCpuMs() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

// CPU time of another process so far (utime + stime from /proc).
double childCpuMs(qint64 pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray text = stat.readAll();
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13)
        return -1;
    return (fields[11].toDouble() + fields[12].toDouble()) * 1000.0 / sysconf(_SC_CLK_TCK);
}

void waitMs(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

struct Options {
    QSize size{1280, 720};
    int fps = 30;
    int seconds = 10;
    QString codec = QStringLiteral("h264");
};

// ffmpeg decoding the stream (or a file) into raw grey frames on its standard output.
class PeerDecoder {
public:
    PeerDecoder(const QString& url, QSize size) : m_size(size) {
        m_process.setProgram(QStringLiteral("ffmpeg"));
        m_process.setArguments({"-hide_banner",
                                "-loglevel",
                                "error",
                                "-fflags",
                                "nobuffer",
                                "-flags",
                                "low_delay",
                                "-probesize",
                                "32",
                                "-analyzeduration",
                                "0",
                                "-rtsp_transport",
                                "tcp",
                                "-i",
                                url,
                                "-an",
                                "-f",
                                "rawvideo",
                                "-pix_fmt",
                                "gray",
                                "-"});
        QObject::connect(&m_process, &QProcess::readyReadStandardOutput, [this] { readFrames(); });
    }
    ~PeerDecoder() {
        m_process.kill();
        m_process.waitForFinished(3000);
    }
    void start(int warmup) {
        m_warmup = warmup;
        m_clock.start();
        m_process.start();
    }
    Series& series() { return m_series; }
    double cpuMs() const { return childCpuMs(m_process.processId()); }

private:
    void readFrames() {
        m_buffer += m_process.readAllStandardOutput();
        const int frameBytes = m_size.width() * m_size.height();
        while (m_buffer.size() >= frameBytes) {
            const auto* data = reinterpret_cast<const uchar*>(m_buffer.constData());
            const FrameStamp::Decoded stamp = FrameStamp::decode(data, m_size.width(), m_size.height(), m_size.width(),
                                                                 FrameStamp::PixelFormat::Gray8);
            m_series.add(stamp, m_clock.nsecsElapsed() / 1e6, m_warmup);
            m_buffer.remove(0, frameBytes);
        }
    }

    QSize m_size;
    QProcess m_process;
    QByteArray m_buffer;
    QElapsedTimer m_clock;
    Series m_series;
    int m_warmup = 0;
};

// Our decode thread, with pictures received on this (GUI) thread the way FFmpegItem receives them.
class OurDecoder : public QObject {
public:
    explicit OurDecoder(const QString& url) {
        m_thread.setUrl(url);
        connect(&m_thread, &FFmpegThread::receiveImage, this, [this](const QImage& image) {
            const double t0 = threadCpuMs();
            m_series.add(FrameStamp::decode(image), m_clock.nsecsElapsed() / 1e6, m_warmup);
            m_guiCpuMs += threadCpuMs() - t0;
        });
    }
    ~OurDecoder() override {
        m_thread.stop();
        m_thread.wait();
    }
    void start(int warmup) {
        m_warmup = warmup;
        m_clock.start();
        m_thread.play();
        m_thread.start();
    }
    Series& series() { return m_series; }
    double guiCpuMs() const { return m_guiCpuMs; }
    FFmpegThread& thread() { return m_thread; }

private:
    FFmpegThread m_thread;
    QElapsedTimer m_clock;
    Series m_series;
    int m_warmup = 0;
    double m_guiCpuMs = 0;
};

// Records a few seconds of the stream into a file (stream copy) for the CPU comparison.
bool recordClip(const QString& url, const QString& path, int seconds) {
    QProcess ffmpeg;
    ffmpeg.start(QStringLiteral("ffmpeg"), {"-hide_banner", "-loglevel", "error", "-y", "-rtsp_transport", "tcp", "-i",
                                            url, "-t", QString::number(seconds), "-an", "-c", "copy", path});
    return ffmpeg.waitForFinished(seconds * 1000 + 20000) && ffmpeg.exitCode() == 0 && QFile::exists(path);
}

// ffmpeg -benchmark -threads 1 on the clip: user+system CPU per decoded frame.
double peerBenchmarkCpuPerFrameMs(const QString& clip, int* frames) {
    QProcess ffmpeg;
    ffmpeg.start(QStringLiteral("ffmpeg"),
                 {"-hide_banner", "-benchmark", "-threads", "1", "-i", clip, "-an", "-f", "null", "-"});
    if (!ffmpeg.waitForFinished(120000))
        return -1;
    const QString err = QString::fromUtf8(ffmpeg.readAllStandardError());
    const auto bench = QRegularExpression(QStringLiteral("bench: utime=([0-9.]+)s stime=([0-9.]+)s")).match(err);
    QRegularExpressionMatchIterator it = QRegularExpression(QStringLiteral("frame=\\s*(\\d+)")).globalMatch(err);
    int count = 0;
    while (it.hasNext())
        count = it.next().captured(1).toInt();
    if (!bench.hasMatch() || count <= 0)
        return -1;
    *frames = count;
    return (bench.captured(1).toDouble() + bench.captured(2).toDouble()) * 1000.0 / count;
}

// Our decode + conversion of the whole clip, as fast as it goes: process CPU per picture. Pictures are
// counted on the decode thread itself, so nothing but decoding and conversion runs meanwhile.
double ourClipCpuPerFrameMs(const QString& clip, int expectedFrames) {
    FFmpegThread thread;
    thread.setUrl(clip);
    std::atomic<int> pictures{0};
    std::atomic<double> cpuAtLast{0};
    QObject::connect(
        &thread, &FFmpegThread::receiveImage, &thread,
        [&] {
            if (++pictures == expectedFrames)
                cpuAtLast = processCpuMs();
        },
        Qt::DirectConnection);
    const double cpuStart = processCpuMs();
    thread.play();
    thread.start();
    QElapsedTimer timer;
    timer.start();
    while (pictures < expectedFrames && timer.elapsed() < 120000)
        QThread::msleep(10);
    thread.stop();
    thread.wait();
    if (pictures < expectedFrames || thread.droppedPictures() > 0)
        return -1;
    return (cpuAtLast - cpuStart) / expectedFrames;
}

void printSeries(const char* name, const Series& s, double cpuPerFrameMs) {
    std::printf(
        "  %-6s median %6.1f ms  p95 %6.1f ms  pictures %5d  lost %4d  unreadable %3d  first picture %6.0f ms  "
        "CPU/frame %5.2f ms\n",
        name, bench::percentile(s.latencyMs, 0.5), bench::percentile(s.latencyMs, 0.95), s.pictures, s.lost(),
        s.unreadable, s.firstPictureMs, cpuPerFrameMs);
}

}  // namespace

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Live-video latency: FFmpeg backend against the ffmpeg tool."));
    parser.addHelpOption();
    parser.addOption({"video-size", "Picture size, WxH (default 1280x720).", "WxH", "1280x720"});
    parser.addOption({"fps", "Frame rate (default 30).", "n", "30"});
    parser.addOption({"seconds", "Seconds of side-by-side streaming (default 10).", "s", "10"});
    parser.addOption({"codec", "h264 or h265 (default h264).", "codec", "h264"});
    parser.process(app);
    Options options;
    const QStringList wh = parser.value("video-size").split('x');
    if (wh.size() == 2)
        options.size = QSize(wh[0].toInt(), wh[1].toInt());
    options.fps = qMax(1, parser.value("fps").toInt());
    options.seconds = qMax(2, parser.value("seconds").toInt());
    options.codec = parser.value("codec");

    QProcess sim;
    const QString url = bench::startStampedStream(&sim, QStringLiteral(SKYVANE_SIM_PATH), options.size, options.fps,
                                                  {"--codec", options.codec});
    if (url.isEmpty())
        return 1;
    std::printf("video_latency: %dx%d@%d %s, %d s side by side, stream %s\n", options.size.width(),
                options.size.height(), options.fps, qPrintable(options.codec), options.seconds, qPrintable(url));

    // Side by side on the live stream; both decoders stop before the CPU comparison.
    {
        const int warmup = options.fps;  // the first second is left out of the latency figures
        OurDecoder ours(url);
        PeerDecoder peer(url, options.size);
        const double cpuStart = processCpuMs();
        ours.start(warmup);
        peer.start(warmup);
        waitMs(options.seconds * 1000);
        const double liveCpuMs = processCpuMs() - cpuStart - ours.guiCpuMs();
        const double peerCpuMs = peer.cpuMs();
        const Series oursSeries = ours.series();
        const Series peerSeries = peer.series();

        std::printf("live stream (latency = stamp -> picture on our GUI thread / out of the peer's pipe):\n");
        printSeries("ours", oursSeries, oursSeries.pictures ? liveCpuMs / oursSeries.pictures : -1);
        printSeries("peer", peerSeries, peerSeries.pictures ? peerCpuMs / peerSeries.pictures : -1);
        const double ratio =
            bench::percentile(oursSeries.latencyMs, 0.5) / bench::percentile(peerSeries.latencyMs, 0.5);
        std::printf("  ratio ours/peer: median latency %.2f, p95 latency %.2f\n", ratio,
                    bench::percentile(oursSeries.latencyMs, 0.95) / bench::percentile(peerSeries.latencyMs, 0.95));
        std::printf("  our dropped pictures (GUI held every pooled image): %d\n", ours.thread().droppedPictures());
    }

    // CPU per frame on a recorded clip.
    QTemporaryDir dir;
    const QString clip = dir.path() + QStringLiteral("/clip.mkv");
    if (recordClip(url, clip, 5)) {
        int frames = 0;
        const double peerPerFrame = peerBenchmarkCpuPerFrameMs(clip, &frames);
        const double oursPerFrame = ourClipCpuPerFrameMs(clip, frames);
        const double budget = 1.15 * peerPerFrame + 1.2;
        std::printf("clip of %d frames, decode + conversion CPU per frame:\n", frames);
        std::printf("  ours %.2f ms  ffmpeg -benchmark -threads 1 %.2f ms  budget 1.15 x peer + 1.2 = %.2f ms  (%s)\n",
                    oursPerFrame, peerPerFrame, budget, oursPerFrame <= budget ? "within" : "OVER");
    } else {
        std::printf("clip recording failed; CPU comparison skipped\n");
    }

    sim.terminate();
    sim.waitForFinished(3000);
    return 0;
}
