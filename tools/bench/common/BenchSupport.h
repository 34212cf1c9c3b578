#pragma once

// What the video benchmarks share: order statistics, a free loopback port and the simulator serving
// its stamped stream.

#include <QByteArray>
#include <QProcess>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QTcpServer>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace bench {

// The p-th quantile (0..1) of values; -1 when there are none.
inline double percentile(std::vector<double> values, double p) {
    if (values.empty())
        return -1;
    std::sort(values.begin(), values.end());
    const size_t index = std::min(values.size() - 1, size_t(p * (values.size() - 1) + 0.5));
    return values[index];
}

inline quint16 freePort() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

// Starts the simulator's RTSP stream of the given size and rate on a free port; its /live0 URL, or an
// empty string (with the simulator's complaint on stderr) when it did not come up.
inline QString startStampedStream(QProcess* sim, const QString& program, QSize size, int fps,
                                  const QStringList& extraArgs = {}) {
    const quint16 port = freePort();
    sim->start(program, QStringList{"--no-udp", "-q", "--rtsp-port", QString::number(port), "--video-size",
                                    QStringLiteral("%1x%2").arg(size.width()).arg(size.height()), "--fps",
                                    QString::number(fps)} +
                            extraArgs);
    QByteArray out;
    for (int i = 0; i < 100 && !out.contains("RTSP ready"); ++i) {
        sim->waitForReadyRead(100);
        out += sim->readAllStandardOutput();
    }
    if (!out.contains("RTSP ready")) {
        std::fprintf(stderr, "simulator did not start: %s\n", sim->readAllStandardError().constData());
        return QString();
    }
    return QStringLiteral("rtsp://127.0.0.1:%1/live0").arg(port);
}

}  // namespace bench
