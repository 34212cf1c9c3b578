#pragma once

#include <QElapsedTimer>
#include <QProcess>
#include <QStringList>
#include <QTcpServer>
#include <QTest>
#include <QUdpSocket>

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
    // of a stdout line ("RTSP ready", "UDP ready", "SERIAL ready"); false after timeoutMs.
    bool start(const QStringList& arguments, const QStringList& readyPrefixes, int timeoutMs = 10000) {
        m_process.setProgram(QStringLiteral(SKYVANE_SIM_PATH));
        m_process.setArguments(arguments);
        m_process.setProcessChannelMode(QProcess::SeparateChannels);
        m_process.start();
        if (!m_process.waitForStarted(5000))
            return false;
        QElapsedTimer timer;
        timer.start();
        QStringList missing = readyPrefixes;
        while (!missing.isEmpty() && timer.elapsed() < timeoutMs) {
            if (!m_process.canReadLine() && !m_process.waitForReadyRead(200)) {
                if (m_process.state() != QProcess::Running)
                    return false;
                continue;
            }
            while (m_process.canReadLine()) {
                const QString line = QString::fromUtf8(m_process.readLine()).trimmed();
                m_readyLines << line;
                for (int i = missing.size() - 1; i >= 0; --i)
                    if (line.startsWith(missing[i]))
                        missing.removeAt(i);
            }
        }
        return missing.isEmpty();
    }

    // The rest of the ready line that starts with prefix ("RTSP ready " -> the URL).
    QString readyValue(const QString& prefix) const {
        for (const QString& line : m_readyLines)
            if (line.startsWith(prefix))
                return line.mid(prefix.size()).trimmed();
        return {};
    }

    QString errorOutput() { return QString::fromUtf8(m_process.readAllStandardError()); }
    bool running() const { return m_process.state() == QProcess::Running; }

    void stop() {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.terminate();
        if (!m_process.waitForFinished(5000)) {
            m_process.kill();
            m_process.waitForFinished(2000);
        }
    }

    QProcess& process() { return m_process; }

private:
    QProcess m_process;
    QStringList m_readyLines;
};
