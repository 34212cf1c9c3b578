#pragma once

#include <QCoreApplication>
#include <QFile>
#include <QMutex>
#include <QStringList>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>
#include <memory>

#include <sys/resource.h>

#include "../sim/SimProcess.h"
#include "app/AppLog.h"

// Helpers of the video tests: the simulator (SimProcess::startRtsp) and servers that misbehave as
// RTSP servers on loopback, and the program's own diagnostics (debug output and the session log)
// captured for assertions.
namespace VideoTestSupport {

// Simulator arguments: the stream stops for durationS seconds startS seconds after launch and
// again every periodS seconds, so that a machine too slow for a first picture before the first
// outage still meets the next one.
inline QStringList repeatingOutage(double startS, double durationS, int periodS) {
    return {QStringLiteral("--rtsp-outage"), QStringLiteral("%1:%2").arg(startS).arg(durationS),
            QStringLiteral("--rtsp-outage-period"), QString::number(periodS)};
}

// The simulator serving RTSP under the name the interface tests know it by.
class Simulator : public SimProcess {
public:
    bool start(const QStringList& extraArgs = {}, quint16 port = 0) { return startRtsp(extraArgs, port); }
};

// A TCP server on loopback that accepts connections and never says a word.
class SilentServer {
public:
    SilentServer() {
        m_server.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&m_server, &QTcpServer::newConnection, [this] {
            while (QTcpSocket* socket = m_server.nextPendingConnection())
                m_clients.append(socket);
        });
    }
    QString url() const { return QStringLiteral("rtsp://127.0.0.1:%1/live0").arg(m_server.serverPort()); }
    int connections() const { return m_clients.size(); }

private:
    QTcpServer m_server;
    QList<QTcpSocket*> m_clients;
};

// An RTSP server on loopback that answers every request with a body of announcedLength bytes (in
// Content-Length), sends burstBytes of it at once and then one byte every 200 ms for ever: a client
// that allocates what the server announces gets a huge block, filled as fast as loopback goes, and one
// without a deadline on its open never finishes reading.
class HostileServer {
public:
    HostileServer(qint64 announcedLength, qint64 burstBytes)
        : m_announced(announcedLength), m_burst(burstBytes), m_chunk(1024 * 1024, 'v') {
        m_server.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&m_server, &QTcpServer::newConnection, [this] {
            while (QTcpSocket* socket = m_server.nextPendingConnection())
                serve(socket);
        });
        m_trickle.setInterval(200);
        QObject::connect(&m_trickle, &QTimer::timeout, [this] {
            for (const auto& client : m_clients) {
                if (client->answered && client->sent >= m_burst &&
                    client->socket->state() == QTcpSocket::ConnectedState)
                    client->socket->write("v", 1);
            }
        });
        m_trickle.start();
    }
    QString url() const { return QStringLiteral("rtsp://127.0.0.1:%1/live0").arg(m_server.serverPort()); }
    int connections() const { return m_clients.size(); }
    // Connections the client gave up (closed) while the server still had more to send.
    int closedByClient() const { return m_closed; }

private:
    struct Client {
        QTcpSocket* socket = nullptr;
        QByteArray request;
        bool answered = false;
        qint64 sent = 0;
    };

    void serve(QTcpSocket* socket) {
        auto client = std::make_shared<Client>();
        client->socket = socket;
        m_clients.append(client);
        QObject::connect(socket, &QTcpSocket::readyRead, [this, client] {
            client->request += client->socket->readAll();
            if (client->answered || !client->request.contains("\r\n\r\n"))
                return;
            client->answered = true;
            QByteArray cseq = "1";
            for (const QByteArray& line : client->request.split('\n')) {
                if (line.toLower().startsWith("cseq:"))
                    cseq = line.mid(5).trimmed();
            }
            client->socket->write(
                "RTSP/1.0 200 OK\r\nCSeq: " + cseq +
                "\r\nContent-Type: application/sdp\r\nContent-Length: " + QByteArray::number(m_announced) + "\r\n\r\n");
            pump(client.get());
        });
        QObject::connect(socket, &QTcpSocket::bytesWritten, [this, client] { pump(client.get()); });
        QObject::connect(socket, &QTcpSocket::disconnected, [this] { ++m_closed; });
    }

    // Keeps at most a megabyte waiting in the socket, so that the burst costs this process nothing.
    void pump(Client* client) {
        while (client->answered && client->sent < m_burst && client->socket->bytesToWrite() < m_chunk.size() &&
               client->socket->state() == QTcpSocket::ConnectedState) {
            const qint64 size = qMin<qint64>(m_chunk.size(), m_burst - client->sent);
            client->socket->write(m_chunk.constData(), size);
            client->sent += size;
        }
    }

    QTcpServer m_server;
    QTimer m_trickle;
    qint64 m_announced;
    qint64 m_burst;
    QByteArray m_chunk;
    QList<std::shared_ptr<Client>> m_clients;
    int m_closed = 0;
};

// The most memory this process has held so far (resident, MB).
inline qint64 peakResidentMb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

// Debug output (qDebug from any thread), collected while installed.
class DebugCapture {
public:
    static void install() { qInstallMessageHandler(&DebugCapture::handler); }
    static bool contains(const QString& text) {
        QMutexLocker locker(&s_mutex);
        return !s_lines.filter(text).isEmpty();
    }
    static void clear() {
        QMutexLocker locker(&s_mutex);
        s_lines.clear();
    }

private:
    static inline QMutex s_mutex;
    static inline QStringList s_lines;
    static void handler(QtMsgType, const QMessageLogContext&, const QString& message) {
        QMutexLocker locker(&s_mutex);
        s_lines.append(message);
    }
};

// The session log written so far (the test starts AppLog in its application directory).
inline QString sessionLog() {
    QFile file(AppLog::logFilePath());
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(file.readAll());
}

// Lines of the session log containing text, from the given offset (characters) on.
inline QStringList sessionLogLines(const QString& text, int from = 0) {
    return sessionLog().mid(from).split(QLatin1Char('\n')).filter(text);
}

// Whether the session log holds text from the given offset (characters) on.
inline bool logged(const QString& text, int from = 0) {
    return sessionLog().indexOf(text, from) >= 0;
}

}  // namespace VideoTestSupport
