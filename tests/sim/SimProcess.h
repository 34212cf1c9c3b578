#pragma once

#include <QProcess>
#include <QStringList>
#include <QTcpServer>
#include <QTest>
#include <QUdpSocket>

#include <signal.h>

// Runs skyvane-sim for a test: starts it with the given options, waits for its ready lines and
// stops it when the test is done.
class SimProcess {
public:
    ~SimProcess() { stop(); }

    // A loopback port nobody listens on right now (TCP or UDP).
    static quint16 freeTcpPort() {
        QTcpServer server;
        server.listen(QHostAddress::LocalHost, 0);
        return server.serverPort();
    }
    static quint16 freeUdpPort() {
        QUdpSocket socket;
        socket.bind(QHostAddress(QHostAddress::LocalHost), 0);
        return socket.localPort();
    }

    // Starts the simulator and waits until every prefix of readyPrefixes has been seen at the start
    // of a stdout line ("RTSP ready", "UDP ready", "SERIAL ready"); false after timeoutMs, which only
    // ends a hung start: a busy machine (or a sanitizer build) may take many seconds.
    bool start(const QStringList& arguments, const QStringList& readyPrefixes, int timeoutMs = 30000) {
        stop();
        m_readyLines.clear();
        m_process.setProgram(QStringLiteral(SKYVANE_SIM_PATH));
        m_process.setArguments(arguments);
        m_process.setProcessChannelMode(QProcess::SeparateChannels);
        m_process.start();
        if (!m_process.waitForStarted(30000))
            return false;
        QStringList missing = readyPrefixes;
        // Every ready line seen, or the simulator gone.
        const auto readyOrGone = [&] {
            while (m_process.canReadLine()) {
                const QString line = QString::fromUtf8(m_process.readLine()).trimmed();
                m_readyLines << line;
                for (int i = missing.size() - 1; i >= 0; --i)
                    if (line.startsWith(missing[i]))
                        missing.removeAt(i);
            }
            return missing.isEmpty() || m_process.state() != QProcess::Running;
        };
        return QTest::qWaitFor(readyOrGone, timeoutMs) && missing.isEmpty();
    }

    // Starts the simulator with "--udp 127.0.0.1:<port>" added, on a port that was free a moment
    // before. Another program may bind that port before the simulator does (the busier the machine,
    // the likelier), so a start that failed for that reason is tried again on another port.
    // Returns the port, 0 when the simulator did not start.
    quint16 startOnFreeUdpPort(const QStringList& arguments, const QStringList& readyPrefixes) {
        for (int attempt = 0; attempt < 5; ++attempt) {
            const quint16 port = freeUdpPort();
            if (start(arguments + QStringList{QStringLiteral("--udp"), QStringLiteral("127.0.0.1:%1").arg(port)},
                      readyPrefixes))
                return port;
            stop();
            m_errors += QString::fromUtf8(m_process.readAllStandardError());
            if (!m_errors.contains(QStringLiteral("cannot bind UDP")))
                break;
        }
        return 0;
    }

    // Starts the simulator serving RTSP, without a UDP side unless arguments give one, on port or,
    // when port is 0, on a free one (another when a program took it first). True once the
    // simulator announced the stream at url().
    bool startRtsp(const QStringList& arguments = {}, quint16 port = 0) {
        for (int attempt = 0; attempt < (port ? 1 : 5); ++attempt) {
            m_rtspPort = port ? port : freeTcpPort();
            QStringList all{QStringLiteral("--rtsp-port"), QString::number(m_rtspPort)};
            if (!arguments.contains(QStringLiteral("--udp")))
                all << QStringLiteral("--no-udp");
            if (start(all + arguments, {QStringLiteral("RTSP ready")}))
                return readyValue(QStringLiteral("RTSP ready")) == url();
        }
        return false;
    }
    QString url(const QString& path = QStringLiteral("/live0")) const {
        return QStringLiteral("rtsp://127.0.0.1:%1%2").arg(m_rtspPort).arg(path);
    }

    // The rest of the ready line that starts with prefix ("RTSP ready " -> the URL).
    QString readyValue(const QString& prefix) const {
        for (const QString& line : m_readyLines)
            if (line.startsWith(prefix))
                return line.mid(prefix.size()).trimmed();
        return {};
    }

    // What the simulator wrote to stderr, including the attempts startOnFreeUdpPort() gave up.
    QString errorOutput() {
        m_errors += QString::fromUtf8(m_process.readAllStandardError());
        return m_errors;
    }
    bool running() const { return m_process.state() == QProcess::Running; }

    // Freezes the simulator (SIGSTOP) as a device that stops answering; resume() lets it go on.
    bool pause() { return signalProcess(SIGSTOP); }
    bool resume() { return signalProcess(SIGCONT); }

    void stop() {
        if (m_process.state() == QProcess::NotRunning)
            return;
        resume();  // a frozen process would sit on the termination request
        m_process.terminate();
        if (!m_process.waitForFinished(5000)) {
            m_process.kill();
            m_process.waitForFinished(2000);
        }
    }

    QProcess& process() { return m_process; }

private:
    bool signalProcess(int signal) {
        const qint64 pid = m_process.processId();
        return pid > 0 && ::kill(pid_t(pid), signal) == 0;
    }

    QProcess m_process;
    QStringList m_readyLines;
    QString m_errors;
    quint16 m_rtspPort = 0;
};
