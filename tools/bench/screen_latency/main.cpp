// skyvane-bench-screen-latency: what the operator sees. Starts a virtual X server, the simulator
// (stamped RTSP stream on loopback) and then, one after the other, the program with each renderer
// and ffplay on the same stream. With --hud both, each program configuration runs once with the
// head-up display and the stream statistics over the picture and once without them. While each one runs, the screen is
// read back as often as it goes (MIT-SHM), the stamp of the picture on screen is decoded, and every frame counter seen
// for the first time gives one stamp-to-screen latency. Prints per configuration the median and p95 latency, the
// distinct frames that reached the screen per second, the time from start to the first picture, and the ratios to the
// peer. Run it inside scripts/netns.sh: it touches nothing but loopback.
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QThread>
#include <QUrl>
#include <algorithm>
#include <cstdio>
#include <memory>
#include <set>
#include <vector>

#include "../common/BenchSupport.h"
#include "FrameStamp.h"

// Xlib's macros (Bool, Status, None, ...) clash with Qt's names: its headers come after Qt's.
// clang-format off
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <sys/ipc.h>
#include <sys/shm.h>
// clang-format on

namespace {

QString loadAverage() {
    QFile file(QStringLiteral("/proc/loadavg"));
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("?");
    return QString::fromLatin1(file.readAll()).section(QLatin1Char(' '), 0, 2);
}

// The whole screen read through a shared-memory image (plain XGetImage when MIT-SHM is missing).
class ScreenReader {
public:
    bool open(const QByteArray& display) {
        m_display = XOpenDisplay(display.constData());
        if (!m_display)
            return false;
        const int screen = DefaultScreen(m_display);
        m_root = RootWindow(m_display, screen);
        m_width = DisplayWidth(m_display, screen);
        m_height = DisplayHeight(m_display, screen);
        if (!XShmQueryExtension(m_display))
            return true;
        m_image = XShmCreateImage(m_display, DefaultVisual(m_display, screen), DefaultDepth(m_display, screen), ZPixmap,
                                  nullptr, &m_shm, m_width, m_height);
        if (!m_image)
            return true;
        m_shm.shmid = shmget(IPC_PRIVATE, size_t(m_image->bytes_per_line) * m_image->height, IPC_CREAT | 0600);
        m_shm.shmaddr = m_image->data = static_cast<char*>(shmat(m_shm.shmid, nullptr, 0));
        m_shm.readOnly = False;
        m_useShm = m_shm.shmaddr != reinterpret_cast<char*>(-1) && XShmAttach(m_display, &m_shm);
        XSync(m_display, False);
        shmctl(m_shm.shmid, IPC_RMID, nullptr);
        return true;
    }
    ~ScreenReader() {
        if (m_useShm) {
            XShmDetach(m_display, &m_shm);
            shmdt(m_shm.shmaddr);
        }
        if (m_image) {
            m_image->data = nullptr;
            XDestroyImage(m_image);
        }
        if (m_plain)
            XDestroyImage(m_plain);
        if (m_display)
            XCloseDisplay(m_display);
    }
    // The screen as 32-bit pixels; null when the read failed.
    const XImage* read() {
        if (m_useShm)
            return XShmGetImage(m_display, m_root, m_image, 0, 0, AllPlanes) ? m_image : nullptr;
        if (m_plain)
            XDestroyImage(m_plain);
        m_plain = XGetImage(m_display, m_root, 0, 0, m_width, m_height, AllPlanes, ZPixmap);
        return m_plain && m_plain->bits_per_pixel == 32 ? m_plain : nullptr;
    }
    bool usesShm() const { return m_useShm; }

private:
    Display* m_display = nullptr;
    Window m_root = 0;
    int m_width = 0;
    int m_height = 0;
    XShmSegmentInfo m_shm{};
    XImage* m_image = nullptr;
    XImage* m_plain = nullptr;
    bool m_useShm = false;
};

struct Result {
    QString name;
    std::vector<double> latencyMs;  // per distinct frame, after the warm-up
    double framesPerSecond = -1;
    double firstPictureMs = -1;
    std::vector<double> startupMs;  // first picture of the extra starts
    double readsPerSecond = 0;
    QString load;
    QString note;
};

constexpr qint64 kReadPeriodUs = 4000;

// Reads the screen for the given time after a process was started and collects the stamps shown;
// with seconds 0 only until the first picture.
Result watchScreen(ScreenReader& screen, const QString& name, int seconds, int warmupMs, QProcess& process) {
    Result result;
    result.name = name;
    QElapsedTimer clock;
    clock.start();
    process.waitForStarted(10000);
    FrameStamp::Location where;
    qint64 lastLocateMs = -1000;
    std::set<quint32> seen;
    int reads = 0;
    qint64 measureStartMs = -1;
    int distinctMeasured = 0;
    const qint64 endMs = qint64(seconds) * 1000 + warmupMs + 15000;  // a slow first picture does not eat the window
    qint64 nextReadUs = 0;
    while (clock.elapsed() < endMs && process.state() == QProcess::Running) {
        // One read every few milliseconds: fine enough for 30 and 60 frames/s, and it leaves the CPU
        // to the player being measured.
        const qint64 waitUs = nextReadUs - clock.nsecsElapsed() / 1000;
        if (waitUs > 0)
            QThread::usleep(waitUs);
        nextReadUs = clock.nsecsElapsed() / 1000 + kReadPeriodUs;
        const XImage* image = screen.read();
        const qint64 nowEpochMs = QDateTime::currentMSecsSinceEpoch();
        const qint64 nowMs = clock.elapsed();
        if (!image)
            continue;
        ++reads;
        const auto* pixels = reinterpret_cast<const uchar*>(image->data);
        FrameStamp::Decoded stamp;
        if (where.found) {
            stamp = FrameStamp::decodeAt(pixels, image->width, image->height, image->bytes_per_line,
                                         FrameStamp::PixelFormat::Rgb32, where.origin, where.blockEdge);
        }
        if (!stamp.ok && nowMs - lastLocateMs >= 100) {
            lastLocateMs = nowMs;
            where = FrameStamp::locate(pixels, image->width, image->height, image->bytes_per_line,
                                       FrameStamp::PixelFormat::Rgb32);
            if (where.found) {
                stamp = FrameStamp::decodeAt(pixels, image->width, image->height, image->bytes_per_line,
                                             FrameStamp::PixelFormat::Rgb32, where.origin, where.blockEdge);
            }
        }
        if (!stamp.ok)
            continue;
        if (result.firstPictureMs < 0) {
            result.firstPictureMs = nowMs;
            measureStartMs = nowMs + warmupMs;
            if (seconds == 0)
                break;
        }
        if (!seen.insert(stamp.frameCounter).second)
            continue;
        if (measureStartMs >= 0 && nowMs >= measureStartMs) {
            result.latencyMs.push_back(double(nowEpochMs - stamp.epochMs));
            ++distinctMeasured;
        }
        if (measureStartMs >= 0 && nowMs >= measureStartMs + qint64(seconds) * 1000)
            break;
    }
    const double measuredSeconds = measureStartMs >= 0 ? (clock.elapsed() - measureStartMs) / 1000.0 : 0;
    if (measuredSeconds > 0)
        result.framesPerSecond = distinctMeasured / measuredSeconds;
    result.readsPerSecond = reads / qMax(0.001, clock.elapsed() / 1000.0);
    result.load = loadAverage();
    return result;
}

void stopProcess(QProcess& process) {
    if (process.state() == QProcess::NotRunning)
        return;
    process.terminate();
    if (!process.waitForFinished(5000)) {
        process.kill();
        process.waitForFinished(3000);
    }
}

// The last frame counts the program's latency log wrote, if any.
QString lastFrameCounts(const QString& appDir) {
    const QStringList logs =
        QDir(appDir + QStringLiteral("/logs")).entryList({QStringLiteral("*.log")}, QDir::Files, QDir::Time);
    if (logs.isEmpty())
        return QString();
    QFile file(appDir + QStringLiteral("/logs/") + logs.first());
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    const QString text = QString::fromUtf8(file.readAll());
    const QRegularExpression counts(QStringLiteral("画面帧: 解码(\\d+) 绘制(\\d+) 替换(\\d+)"));
    QString last;
    QRegularExpressionMatchIterator it = counts.globalMatch(text);
    while (it.hasNext()) {
        const auto match = it.next();
        last = QStringLiteral("last log window: decoded %1 drawn %2 replaced %3")
                   .arg(match.captured(1), match.captured(2), match.captured(3));
    }
    const QRegularExpression renderer(QStringLiteral("Renderer: ([^\\n\\r]*)"));
    const auto chosen = renderer.match(text);
    if (chosen.hasMatch())
        last = QStringLiteral("renderer %1; %2").arg(chosen.captured(1).trimmed(), last);
    return last;
}

struct Options {
    QSize size{1280, 720};
    int fps = 30;
    int seconds = 10;
    int warmupMs = 2000;
    QString program = QStringLiteral(SKYVANE_PROGRAM_PATH);
    QString simulator = QStringLiteral(SKYVANE_SIM_PATH);
    QByteArray display = ":97";
    QStringList configs{"default", "software", "opengl", "peer"};
    // "on", "off" or both: the head-up display and the statistics overlay over the picture.
    QStringList overlays{"on"};
    int startups = 5;
};

// The program copied into a directory of its own with a skyvane.cfg for the simulator's stream, so
// the build's own configuration stays untouched.
Result runProgram(ScreenReader& screen, const Options& options, quint16 rtspPort, const QString& config, int seconds,
                  const QString& overlays) {
    QTemporaryDir dir;
    const QString program = dir.path() + QStringLiteral("/skyvane");
    QFile::copy(options.program, program);
    QFile::setPermissions(program, QFile::permissions(options.program));
    const QString cfg = dir.path() + QStringLiteral("/skyvane.cfg");
    QProcess prepare;
    prepare.start(options.simulator,
                  {"--product", "WrenT-R2", "--rtsp-port", QString::number(rtspPort), "--prepare-app-config", cfg});
    prepare.waitForFinished(10000);
    {
        QSettings settings(cfg, QSettings::IniFormat);
        if (config != QLatin1String("default"))
            settings.setValue(QStringLiteral("Display/Renderer"), config);
        const bool shown = overlays != QLatin1String("off");
        settings.setValue(QStringLiteral("Video/ShowHud"), shown);
        settings.setValue(QStringLiteral("Video/ShowStats"), shown);
    }
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), QString::fromLatin1(options.display));
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    env.remove(QStringLiteral("QT_QUICK_BACKEND"));
    // A build without the renderer key takes the environment's word for "software".
    if (config == QLatin1String("software"))
        env.insert(QStringLiteral("QT_QUICK_BACKEND"), QStringLiteral("software"));
    QProcess process;
    process.setProcessEnvironment(env);
    process.setStandardErrorFile(QProcess::nullDevice());
    process.setStandardOutputFile(QProcess::nullDevice());
    process.start(program, QStringList());
    Result result = watchScreen(screen, QStringLiteral("program, %1, HUD %2").arg(config, overlays), seconds,
                                options.warmupMs, process);
    stopProcess(process);
    result.note = lastFrameCounts(dir.path());
    return result;
}

Result runPeer(ScreenReader& screen, const Options& options, const QString& url, int seconds) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), QString::fromLatin1(options.display));
    env.insert(QStringLiteral("SDL_AUDIODRIVER"), QStringLiteral("dummy"));
    QProcess process;
    process.setProcessEnvironment(env);
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    process.start(QStringLiteral("ffplay"), {"-hide_banner",
                                             "-loglevel",
                                             "error",
                                             "-fflags",
                                             "nobuffer",
                                             "-flags",
                                             "low_delay",
                                             "-framedrop",
                                             "-probesize",
                                             "32",
                                             "-analyzeduration",
                                             "0",
                                             "-sync",
                                             "ext",
                                             "-rtsp_transport",
                                             "tcp",
                                             "-an",
                                             "-x",
                                             "810",
                                             "-y",
                                             "456",
                                             "-left",
                                             "0",
                                             "-top",
                                             "0",
                                             "-noborder",
                                             url});
    Result result = watchScreen(screen, QStringLiteral("peer (ffplay)"), seconds, options.warmupMs, process);
    stopProcess(process);
    return result;
}

bool startVirtualScreen(QProcess& xvfb, const QByteArray& display) {
    if (Display* existing = XOpenDisplay(display.constData())) {
        XCloseDisplay(existing);
        return true;
    }
    xvfb.start(QStringLiteral("Xvfb"),
               {QString::fromLatin1(display), "-screen", "0", "1920x1080x24", "-nolisten", "tcp"});
    for (int i = 0; i < 100; ++i) {
        QThread::msleep(100);
        if (Display* started = XOpenDisplay(display.constData())) {
            XCloseDisplay(started);
            return true;
        }
    }
    return false;
}

void printResult(const Result& r, const Result* peer) {
    std::printf(
        "  %-22s median %6.1f ms  p95 %6.1f ms  on screen %5.1f frames/s  first picture %6.0f ms  "
        "(%d frames, %.0f reads/s, load %s)\n",
        qPrintable(r.name), bench::percentile(r.latencyMs, 0.5), bench::percentile(r.latencyMs, 0.95),
        r.framesPerSecond, r.firstPictureMs, int(r.latencyMs.size()), r.readsPerSecond, qPrintable(r.load));
    if (!r.startupMs.empty()) {
        std::printf("  %-22s first picture over %d more starts: median %.0f ms  min %.0f ms  max %.0f ms\n", "",
                    int(r.startupMs.size()), bench::percentile(r.startupMs, 0.5), bench::percentile(r.startupMs, 0),
                    bench::percentile(r.startupMs, 1));
    }
    if (!r.note.isEmpty())
        std::printf("  %-22s %s\n", "", qPrintable(r.note));
    if (peer && peer != &r && !peer->latencyMs.empty() && !r.latencyMs.empty()) {
        std::printf("  %-22s ratio to peer: median %.2f  p95 %.2f  frames/s %.2f\n", "",
                    bench::percentile(r.latencyMs, 0.5) / bench::percentile(peer->latencyMs, 0.5),
                    bench::percentile(r.latencyMs, 0.95) / bench::percentile(peer->latencyMs, 0.95),
                    r.framesPerSecond / peer->framesPerSecond);
    }
}

}  // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Stamp-to-screen latency: the program against ffplay."));
    parser.addHelpOption();
    parser.addOption({"video-size", "Picture size, WxH (default 1280x720).", "WxH", "1280x720"});
    parser.addOption({"fps", "Frame rate (default 30).", "n", "30"});
    parser.addOption({"seconds", "Measured seconds per configuration (default 10).", "s", "10"});
    parser.addOption({"program", "The program to measure (default: this build's).", "path"});
    parser.addOption({"sim", "The simulator (default: this build's).", "path"});
    parser.addOption({"display", "Virtual X display (default :97; started when not running).", "name", ":97"});
    parser.addOption({"configs", "Comma-separated: default, software, opengl, peer (default all).", "list"});
    parser.addOption({"startups", "Extra starts per configuration timing the first picture (default 5).", "n", "5"});
    parser.addOption({"hud", "Head-up display and statistics overlay: on, off or both (default on).", "mode", "on"});
    parser.process(app);
    Options options;
    const QStringList wh = parser.value("video-size").split('x');
    if (wh.size() == 2)
        options.size = QSize(wh[0].toInt(), wh[1].toInt());
    options.fps = qMax(1, parser.value("fps").toInt());
    options.seconds = qMax(2, parser.value("seconds").toInt());
    if (parser.isSet("program"))
        options.program = QFileInfo(parser.value("program")).absoluteFilePath();
    if (parser.isSet("sim"))
        options.simulator = QFileInfo(parser.value("sim")).absoluteFilePath();
    options.display = parser.value("display").toLatin1();
    options.startups = qMax(0, parser.value("startups").toInt());
    if (parser.isSet("configs"))
        options.configs = parser.value("configs").split(',', Qt::SkipEmptyParts);
    const QString hud = parser.value("hud");
    options.overlays = hud == QLatin1String("both") ? QStringList{"on", "off"} : QStringList{hud};

    QProcess xvfb;
    if (!startVirtualScreen(xvfb, options.display)) {
        std::fprintf(stderr, "no X server on %s and Xvfb did not start\n", options.display.constData());
        return 1;
    }
    auto screenReader = std::make_unique<ScreenReader>();
    ScreenReader& screen = *screenReader;
    if (!screen.open(options.display)) {
        std::fprintf(stderr, "cannot open display %s\n", options.display.constData());
        return 1;
    }

    QProcess sim;
    const QString url = bench::startStampedStream(&sim, options.simulator, options.size, options.fps);
    if (url.isEmpty())
        return 1;
    const quint16 port = quint16(QUrl(url).port());
    std::printf("screen_latency: %dx%d@%d, %d s per configuration after %d ms warm-up, program %s, screen reads %s\n",
                options.size.width(), options.size.height(), options.fps, options.seconds, options.warmupMs,
                qPrintable(options.program), screen.usesShm() ? "MIT-SHM" : "XGetImage");
    std::fflush(stdout);

    std::vector<Result> results;
    // The simulator's encoder and the disk caches warm up on a first start that is not counted.
    {
        Result warmup = runPeer(screen, options, url, 0);
        Q_UNUSED(warmup);
    }
    for (const QString& config : options.configs) {
        const bool peer = config == QLatin1String("peer");
        for (const QString& overlays : peer ? QStringList{QString()} : options.overlays) {
            results.push_back(peer ? runPeer(screen, options, url, options.seconds)
                                   : runProgram(screen, options, port, config, options.seconds, overlays));
            for (int i = 0; i < options.startups; ++i) {
                const Result start =
                    peer ? runPeer(screen, options, url, 0) : runProgram(screen, options, port, config, 0, overlays);
                if (start.firstPictureMs >= 0)  // a start that showed no picture is left out (and shows in the count)
                    results.back().startupMs.push_back(start.firstPictureMs);
            }
            printResult(results.back(), nullptr);
            std::fflush(stdout);
        }
    }
    const Result* peer = nullptr;
    for (const Result& r : results) {
        if (r.name.startsWith(QLatin1String("peer")))
            peer = &r;
    }
    std::printf("summary (latency = stamp -> picture read back from the screen):\n");
    for (const Result& r : results)
        printResult(r, peer);

    stopProcess(sim);
    screenReader.reset();  // before the X server goes
    stopProcess(xvfb);
    return 0;
}
