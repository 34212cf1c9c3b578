// Replays status frames to the controller over loopback UDP and over a pseudo-terminal and prints
// how many it parsed and dispatched per second on the GUI thread, how many were lost, and what a
// 100 ms stall of the GUI thread costs. Loopback only; run inside scripts/netns.sh.
//
//   skyvane-bench-inbound [seconds-per-step]
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
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <ctime>
#include <functional>
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

void benchUdp(AppBridge& bridge, double seconds) {
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
        return;
    }
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(appPort);
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
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

void benchSerial(AppBridge& bridge, double seconds) {
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
        std::fprintf(stderr, "no pseudo-terminal\n");
        return;
    }
    const QString slave = QString::fromLocal8Bit(ptsname(master));
    if (!bridge.openSerial(slave, 921600))
        return;
    runEventsFor(1100);  // link-up requests
    std::atomic<bool> draining{true};
    std::thread drain([master, &draining] {  // the application's own frames go nowhere
        char buffer[4096];
        while (draining) {
            fd_set set;
            FD_ZERO(&set);
            FD_SET(master, &set);
            timeval tv{0, 20000};
            if (select(master + 1, &set, nullptr, nullptr, &tv) > 0 && ::read(master, buffer, sizeof buffer) <= 0)
                break;
        }
    });
    auto write = [master](const QByteArray& frame) {
        return ::write(master, frame.constData(), size_t(frame.size())) == frame.size();
    };
    auto handled = [&bridge] { return long(bridge.protocolCounters().uartFrames); };
    for (double rate : {1000.0, 10000.0, 50000.0, 100000.0, 200000.0}) {
        printStep("UART", rate, runStep(rate, seconds, false, handled, write), false);
    }
    printStep("UART", 2000.0, runStep(2000.0, seconds, true, handled, write), true);
    bridge.closeSerial();
    draining = false;
    drain.join();
    ::close(master);
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    qInstallMessageHandler(silenceDebug);
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
