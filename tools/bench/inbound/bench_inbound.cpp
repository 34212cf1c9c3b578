// Replays status frames to the controller over loopback UDP and over a pseudo-terminal and prints
// how many it parsed and dispatched per second on the GUI thread, how many were lost, and what a
// 100 ms stall of the GUI thread costs. Loopback only; run inside scripts/netns.sh.
//
//   skyvane-bench-inbound [seconds-per-step]
//
// Flood mode: another process sends as fast as it can for SECONDS (default 10), on each link in
// turn, while the controller handles what it can; prints the rate the sender reached, frames
// handled, the worst gap of the controller's event loop (a 1 ms timer's longest wait) and resident
// memory at the start, the end and its peak. KIND: status (valid status frames, the default),
// replies (unsolicited range replies, each with another distance: one log line each) or garbage.
//
//   skyvane-bench-inbound --flood [SECONDS] [status|replies|garbage]
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QHostAddress>
#include <QThread>
#include <QTimer>
#include <QUdpSocket>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <functional>
#include <random>
#include <thread>
#include <vector>

#include "bridge/AppBridge.h"
#include "protocol/FrameCodec.h"

namespace {

// Camera status (30 bytes), tracking status (tracker busy) and heartbeat, as a camera sends them.
std::vector<QByteArray> statusFrames() {
    std::vector<QByteArray> frames;
    auto add = [&frames](uint32_t id, int payloadLength) {
        uint8_t payload[kMaxPayloadLength] = {};
        for (int i = 0; i < payloadLength; ++i)
            payload[i] = uint8_t(i * 7);
        if (id == 0x020324)
            payload[11] = 1;
        uint8_t frame[kMaxFrameLength];
        const uint16_t n = buildFrame(frame, 1, 1, 0, 4, 1, id, payload, uint8_t(payloadLength));
        frames.emplace_back(reinterpret_cast<const char*>(frame), n);
    };
    add(0x020003, 30);
    add(0x020324, 12);
    add(0x020002, 8);
    return frames;
}

double nowSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

// Sends `rate` frames per second for `seconds` through `write`, in 1 ms batches. Returns the count.
long paceFrames(double rate, double seconds, const std::function<bool(const QByteArray&)>& write) {
    const std::vector<QByteArray> frames = statusFrames();
    const double start = nowSeconds();
    long sent = 0;
    for (;;) {
        const double elapsed = nowSeconds() - start;
        if (elapsed >= seconds)
            break;
        const long due = long(elapsed * rate) + 1;
        while (sent < due) {
            if (!write(frames[size_t(sent) % frames.size()]))
                return sent;
            ++sent;
        }
        timespec pause{0, 200000};
        nanosleep(&pause, nullptr);
    }
    return sent;
}

void runEventsFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

struct StepResult {
    long sent = 0;
    long handled = 0;
    double handledPerSecond = 0;
};

// One step: a sender thread paces frames while the GUI thread handles them; optionally the GUI
// thread sleeps 100 ms in the middle of the step.
StepResult runStep(double rate, double seconds, bool stall, const std::function<long()>& handledCount,
                   const std::function<bool(const QByteArray&)>& write) {
    StepResult result;
    const long before = handledCount();
    std::atomic<long> sent{0};
    std::atomic<bool> done{false};
    QElapsedTimer clock;
    clock.start();
    std::thread sender([&] {
        sent = paceFrames(rate, seconds, write);
        done = true;
    });
    if (stall)
        QTimer::singleShot(int(seconds * 500), [] { QThread::msleep(100); });
    qint64 lastGrowthNs = 0;
    long lastCount = before;
    while (!done) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        if (handledCount() != lastCount) {
            lastCount = handledCount();
            lastGrowthNs = clock.nsecsElapsed();
        }
    }
    sender.join();
    // Drain what is still queued, noting when the last frame was handled.
    for (;;) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        if (handledCount() != lastCount) {
            lastCount = handledCount();
            lastGrowthNs = clock.nsecsElapsed();
            continue;
        }
        runEventsFor(50);
        if (handledCount() == lastCount)
            break;
    }
    result.sent = sent;
    result.handled = lastCount - before;
    result.handledPerSecond = lastGrowthNs > 0 ? double(result.handled) / (double(lastGrowthNs) * 1e-9) : 0;
    return result;
}

void printStep(const char* link, double rate, const StepResult& r, bool stall) {
    std::printf("%-4s %-9s offered %8.0f/s  sent %8ld  handled %8ld  lost %6ld  handled/s %9.0f\n", link,
                stall ? "stall" : "steady", rate, r.sent, r.handled, r.sent - r.handled, r.handledPerSecond);
    std::fflush(stdout);
}

void silenceDebug(QtMsgType type, const QMessageLogContext&, const QString& text) {
    if (type != QtDebugMsg && type != QtInfoMsg)
        std::fprintf(stderr, "%s\n", qPrintable(text));
}

// Opens the controller's UDP link to a stand-in device and returns a socket and address that reach
// the controller's port, or -1.
int openUdpLink(AppBridge& bridge, sockaddr_in* to) {
    QUdpSocket device;
    device.bind(QHostAddress(QHostAddress::LocalHost), 0);
    bridge.connectUdp(QStringLiteral("127.0.0.1"), device.localPort());
    runEventsFor(700);  // link-up requests; the first one tells us the application's port
    quint16 appPort = 0;
    while (device.hasPendingDatagrams()) {
        QHostAddress from;
        char scratch[300];
        device.readDatagram(scratch, sizeof scratch, &from, &appPort);
    }
    if (appPort == 0) {
        std::fprintf(stderr, "no link-up frame from the controller\n");
        return -1;
    }
    *to = sockaddr_in{};
    to->sin_family = AF_INET;
    to->sin_port = htons(appPort);
    to->sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return ::socket(AF_INET, SOCK_DGRAM, 0);
}

void benchUdp(AppBridge& bridge, double seconds) {
    sockaddr_in to{};
    const int fd = openUdpLink(bridge, &to);
    if (fd < 0)
        return;
    auto write = [fd, &to](const QByteArray& frame) {
        ::sendto(fd, frame.constData(), size_t(frame.size()), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
        return true;
    };
    auto handled = [&bridge] { return long(bridge.protocolCounters().udpFrames); };
    for (double rate : {1000.0, 10000.0, 50000.0, 100000.0, 200000.0, 400000.0}) {
        printStep("UDP", rate, runStep(rate, seconds, false, handled, write), false);
    }
    for (double rate : {2000.0, 10000.0})
        printStep("UDP", rate, runStep(rate, seconds, true, handled, write), true);
    ::close(fd);
    bridge.disconnectUdp();
}

// A pseudo-terminal opened as the controller's serial link, with a thread that reads away the
// controller's own frames.
class PtyLink {
public:
    explicit PtyLink(AppBridge& bridge) : m_bridge(bridge) {
        m_master = posix_openpt(O_RDWR | O_NOCTTY);
        if (m_master < 0 || grantpt(m_master) != 0 || unlockpt(m_master) != 0) {
            std::fprintf(stderr, "no pseudo-terminal\n");
            return;
        }
        if (!bridge.openSerial(QString::fromLocal8Bit(ptsname(m_master)), 921600))
            return;
        runEventsFor(1100);  // link-up requests
        m_drain = std::thread([this] {
            char buffer[4096];
            while (m_draining) {
                fd_set set;
                FD_ZERO(&set);
                FD_SET(m_master, &set);
                timeval tv{0, 20000};
                if (select(m_master + 1, &set, nullptr, nullptr, &tv) > 0 &&
                    ::read(m_master, buffer, sizeof buffer) <= 0)
                    break;
            }
        });
    }
    ~PtyLink() {
        m_bridge.closeSerial();
        m_draining = false;
        if (m_drain.joinable())
            m_drain.join();
        if (m_master >= 0)
            ::close(m_master);
    }
    bool isOpen() const { return m_drain.joinable(); }
    // Writes as the device would, from the terminal's other end.
    std::function<bool(const QByteArray&)> writer() const {
        return [master = m_master](const QByteArray& frame) {
            return ::write(master, frame.constData(), size_t(frame.size())) == frame.size();
        };
    }

private:
    AppBridge& m_bridge;
    int m_master = -1;
    std::atomic<bool> m_draining{true};
    std::thread m_drain;
};

void benchSerial(AppBridge& bridge, double seconds) {
    PtyLink pty(bridge);
    if (!pty.isOpen())
        return;
    auto handled = [&bridge] { return long(bridge.protocolCounters().uartFrames); };
    for (double rate : {1000.0, 10000.0, 50000.0, 100000.0, 200000.0}) {
        printStep("UART", rate, runStep(rate, seconds, false, handled, pty.writer()), false);
    }
    printStep("UART", 2000.0, runStep(2000.0, seconds, true, handled, pty.writer()), true);
}

// What a flood sends: the device's status frames, unsolicited range replies that each carry
// another distance, or bytes that only look like frames.
std::vector<QByteArray> floodFrames(const QString& kind) {
    if (kind == QLatin1String("status"))
        return statusFrames();
    std::vector<QByteArray> frames;
    std::mt19937 random(7);
    for (int i = 0; i < 1000; ++i) {
        uint8_t frame[kMaxFrameLength];
        if (kind == QLatin1String("replies")) {
            const int decimetres = 100 + i;
            const uint8_t payload[4] = {0, 0, uint8_t(decimetres), uint8_t(decimetres >> 8)};
            const uint16_t n = buildFrame(frame, 1, 1, 0, 3, 1, 0x010400, payload, sizeof payload);
            frames.emplace_back(reinterpret_cast<const char*>(frame), n);
        } else {
            const int n = 14 + int(random() % 40);
            for (int b = 0; b < n; ++b)
                frame[b] = uint8_t(random());
            frame[0] = kFrameStartByte;
            frames.emplace_back(reinterpret_cast<const char*>(frame), n);
        }
    }
    return frames;
}

long residentKb() {
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields.at(1).toLong() * (sysconf(_SC_PAGESIZE) / 1024) : 0;
}

// The child process sends as fast as `write` lets it until the time is up, then reports its count
// through the pipe. It only makes system calls: nothing of Qt runs after the fork.
[[noreturn]] void floodFromChild(int reportFd, double seconds, const std::vector<QByteArray>& frames,
                                 const std::function<bool(const QByteArray&)>& write) {
    const double end = nowSeconds() + seconds;
    long sent = 0;
    while (nowSeconds() < end) {
        for (int burst = 0; burst < 64; ++burst) {
            if (write(frames[size_t(sent) % frames.size()]))
                ++sent;
        }
    }
    (void)!::write(reportFd, &sent, sizeof sent);
    _exit(0);
}

void floodLink(const char* link, double seconds, const QString& kind, const std::function<long()>& handledCount,
               const std::function<bool(const QByteArray&)>& write) {
    const std::vector<QByteArray> frames = floodFrames(kind);
    int report[2];
    if (::pipe(report) != 0)
        return;
    const long handledBefore = handledCount();
    const long residentBefore = residentKb();
    long residentPeak = residentBefore;
    const pid_t child = fork();
    if (child == 0) {
        ::close(report[0]);
        floodFromChild(report[1], seconds, frames, write);
    }
    ::close(report[1]);

    QElapsedTimer clock;
    clock.start();
    qint64 lastTickNs = 0;
    qint64 worstGapNs = 0;
    int ticks = 0;
    QEventLoop loop;
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    tick.setInterval(1);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        worstGapNs = std::max(worstGapNs, now - lastTickNs);
        lastTickNs = now;
        if (++ticks % 100 == 0)
            residentPeak = std::max(residentPeak, residentKb());
        if (waitpid(child, nullptr, WNOHANG) == child)
            loop.quit();
    });
    tick.start();
    loop.exec();
    tick.stop();
    long sent = 0;
    (void)!::read(report[0], &sent, sizeof sent);
    ::close(report[0]);
    runEventsFor(500);  // what is still queued
    const long handled = handledCount() - handledBefore;
    std::printf(
        "%-4s flood %-7s sent %9ld (%8.0f/s)  handled %9ld (%8.0f/s)  worst loop gap %6.1f ms  "
        "RSS %ld -> %ld kB, peak %ld kB\n",
        link, qPrintable(kind), sent, double(sent) / seconds, handled, double(handled) / seconds,
        double(worstGapNs) / 1e6, residentBefore, residentKb(), residentPeak);
    std::fflush(stdout);
}

void floodBoth(AppBridge& bridge, double seconds, const QString& kind) {
    // Valid frames of any kind are counted as frames; garbage as parse failures.
    const bool garbage = kind == QLatin1String("garbage");
    sockaddr_in to{};
    const int fd = openUdpLink(bridge, &to);
    if (fd >= 0) {
        auto write = [fd, &to](const QByteArray& frame) {
            return ::sendto(fd, frame.constData(), size_t(frame.size()), 0, reinterpret_cast<const sockaddr*>(&to),
                            sizeof to) == frame.size();
        };
        auto handled = [&bridge, garbage] {
            const ProtocolCounters& c = bridge.protocolCounters();
            return long(garbage ? c.udpParseFails : c.udpFrames);
        };
        floodLink("UDP", seconds, kind, handled, write);
        ::close(fd);
        bridge.disconnectUdp();
    }
    PtyLink pty(bridge);
    if (!pty.isOpen())
        return;
    auto handled = [&bridge, garbage] {
        const ProtocolCounters& c = bridge.protocolCounters();
        return long(garbage ? c.uartResyncDiscardedBytes : c.uartFrames);
    };
    floodLink("UART", seconds, kind, handled, pty.writer());
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    qInstallMessageHandler(silenceDebug);
    if (argc > 1 && std::strcmp(argv[1], "--flood") == 0) {
        const double seconds = argc > 2 ? std::atof(argv[2]) : 10.0;
        const QString kind = argc > 3 ? QString::fromLatin1(argv[3]) : QStringLiteral("status");
        std::printf("inbound flood: %.0f s per link, %s\n", seconds, qPrintable(kind));
        AppBridge bridge;
        floodBoth(bridge, seconds, kind);
        std::printf("message log: %d lines kept\n", bridge.messageLines()->rowCount());
        return 0;
    }
    const double seconds = argc > 1 ? std::atof(argv[1]) : 1.0;
    QFile rmem(QStringLiteral("/proc/sys/net/core/rmem_max"));
    const QByteArray rmemMax = rmem.open(QIODevice::ReadOnly) ? rmem.readAll().trimmed() : QByteArray("?");
    std::printf("inbound benchmark: %.1f s per step, status frames of 20-42 bytes, net.core.rmem_max=%s\n", seconds,
                rmemMax.constData());
    AppBridge bridge;
    benchUdp(bridge, seconds);
    benchSerial(bridge, seconds);
    return 0;
}
