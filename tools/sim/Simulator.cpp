#include "Simulator.h"

#include <QDateTime>
#include <QSocketNotifier>

#include <fcntl.h>
#include <unistd.h>
#include <cstdio>

#include "PtyTransport.h"
#include "UdpTransport.h"
#include "protocol/FrameCodec.h"
#include "protocol/MessageCatalogue.h"

namespace {
constexpr int kTickMs = 20;
// Reports go to a link only while the application on it is talking (it polls every 500 ms).
constexpr qint64 kPeerQuietLimitMs = 3000;

const char* linkName(bool serial) {
    return serial ? "UART" : "UDP";
}
}  // namespace

Simulator::Simulator(const SimOptions& options, QObject* parent)
    : QObject(parent),
      m_options(options),
      m_model(options.product),
      m_faults(options.faults, options.seed),
      m_log(options.logFile, options.verbose) {
    m_model.setStillThermalField(options.stillThermal);
    m_tickTimer.setInterval(kTickMs);
    connect(&m_tickTimer, &QTimer::timeout, this, &Simulator::tick);
}

Simulator::~Simulator() = default;

qint64 Simulator::now() {
    return QDateTime::currentMSecsSinceEpoch();
}

bool Simulator::start(QString* error, const std::function<void(const QString&)>& ready) {
    if (!m_log.error().isEmpty()) {
        *error = m_log.error();
        return false;
    }
    if (m_options.udp) {
        m_udp = new UdpTransport(this);
        if (!m_udp->bind(m_options.udpAddress, m_options.udpPort, error))
            return false;
        connect(m_udp, &UdpTransport::frameReceived, this,
                [this](const QByteArray& frame, const QHostAddress& address, quint16 port) {
                    onFrame(Link::Udp, frame, Peer{address, port});
                });
        connect(m_udp, &UdpTransport::badDatagram, this,
                [this](const QByteArray& datagram) { m_log.badBytes("UDP", datagram); });
        ready(QStringLiteral("UDP ready %1").arg(m_udp->boundAddress()));
    }
    if (m_options.serial) {
        m_pty = new PtyTransport(this);
        if (!m_pty->open(m_options.serialLink, error))
            return false;
        connect(m_pty, &PtyTransport::frameReceived, this,
                [this](const QByteArray& frame) { onFrame(Link::Serial, frame, Peer{}); });
        connect(m_pty, &PtyTransport::garbageReceived, this, [this](int count) {
            m_log.note(QStringLiteral("UART: %1 bytes skipped while resynchronising").arg(count));
        });
        ready(QStringLiteral("SERIAL ready %1").arg(m_pty->slavePath()));
        if (!m_options.serialLink.isEmpty())
            m_log.note(
                QStringLiteral("serial side %1 also reachable as %2").arg(m_pty->slavePath(), m_options.serialLink));
    }
    if (fcntl(STDIN_FILENO, F_GETFD) != -1) {
        m_console = new QSocketNotifier(STDIN_FILENO, QSocketNotifier::Read, this);
        connect(m_console, &QSocketNotifier::activated, this, &Simulator::readConsole);
    }
    m_log.note(QStringLiteral("device %1 started").arg(m_model.profile().name));
    m_tickTimer.start();
    return true;
}

void Simulator::onFrame(Link link, const QByteArray& frame, const Peer& peer) {
    const bool serial = link == Link::Serial;
    m_log.frame("RX", linkName(serial), frame);
    if (serial) {
        m_lastSerialRxMs = now();
    } else {
        m_udpPeer = peer;
        m_lastUdpRxMs = now();
    }
    ParsedFrame parsed;
    parseFrame(reinterpret_cast<const uint8_t*>(frame.constData()), uint16_t(frame.size()), &parsed);
    quint16 code = 0;
    const bool refused = m_faults.refuses(messageNumber(parsed.messageId), &code);
    const DeviceFrames answers = refused ? m_model.refuse(parsed, code, now()) : m_model.handleFrame(parsed, now());
    if (refused && !answers.isEmpty())
        m_log.note(QStringLiteral("%1 refused with result %2").arg(messageDisplayName(parsed.messageId)).arg(code));
    for (const DeviceFrame& answer : answers)
        sendAnswer(answer, link, peer);
    emit videoStateChanged();
}

// Silence and delay apply to the answers to commands; reports that come with an answer (a recording
// state, a last range) go out as they are.
void Simulator::sendAnswer(const DeviceFrame& answer, Link link, const Peer& peer) {
    if (!answer.isReply) {
        transmit(answer, link, peer);
        return;
    }
    if (m_faults.silences(messageNumber(answer.messageId))) {
        m_log.note(QStringLiteral("answer to %1 withheld").arg(messageDisplayName(answer.messageId)));
        return;
    }
    const int delay = m_faults.replyDelayMs();
    if (delay <= 0) {
        transmit(answer, link, peer);
        return;
    }
    QTimer::singleShot(delay, this, [this, answer, link, peer] { transmit(answer, link, peer); });
}

void Simulator::transmit(const DeviceFrame& frame, Link link, const Peer& peer, const QString& note) {
    uint8_t buffer[kMaxFrameLength];
    const uint16_t length =
        buildFrame(buffer, frame.receiver, 1, m_sequence++, frame.sender, 1, frame.messageId,
                   reinterpret_cast<const uint8_t*>(frame.payload.constData()), uint8_t(frame.payload.size()));
    if (length == 0) {
        m_log.note(QStringLiteral("cannot build %1 (%2 bytes)")
                       .arg(messageDisplayName(frame.messageId))
                       .arg(frame.payload.size()));
        return;
    }
    const QByteArray bytes(reinterpret_cast<const char*>(buffer), length);
    const bool serial = link == Link::Serial;
    const FaultInjector::Shaped shaped = m_faults.shape(bytes, serial);
    QStringList notes = shaped.faults;
    if (!note.isEmpty())
        notes.prepend(note);
    m_log.frame("TX", linkName(serial), bytes, notes.join(QStringLiteral(", ")));
    for (const FaultInjector::Write& write : shaped.writes) {
        if (serial)
            m_pty->write(write.bytes, write.delayMs);
        else
            m_udp->send(write.bytes, peer.address, peer.port);
    }
}

bool Simulator::linkActive(Link link) const {
    const qint64 last = link == Link::Serial ? m_lastSerialRxMs : m_lastUdpRxMs;
    return last >= 0 && now() - last <= kPeerQuietLimitMs;
}

void Simulator::tick() {
    const DeviceFrames reports = m_model.tick(now());
    emit videoStateChanged();
    if (!m_faults.reportsEnabled())
        return;
    for (const DeviceFrame& frame : reports) {
        if (m_udp && linkActive(Link::Udp))
            transmit(frame, Link::Udp, m_udpPeer);
        if (m_pty && linkActive(Link::Serial))
            transmit(frame, Link::Serial, Peer{});
    }
}

QString Simulator::runConsoleCommand(const QString& line) {
    const QStringList words = line.simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (words.isEmpty())
        return {};
    const QString& command = words.first();
    if (command == QLatin1String("lose-target")) {
        if (!m_model.tracking())
            return QStringLiteral("not tracking");
        m_model.loseTrackedTarget();
        return QStringLiteral("target will be lost");
    }
    if (command == QLatin1String("sd") && words.size() == 2) {
        bool ok = false;
        const uint code = words[1].toUInt(&ok);
        if (!ok || code > 255)
            return QStringLiteral("sd wants a status code 0..255");
        m_model.setSdStatus(quint8(code));
        return QStringLiteral("SD card status %1").arg(code);
    }
    return QStringLiteral("commands: lose-target | sd <0 normal, 1 bad, 2 slow, 3 missing, 4 full, 5 unformatted>");
}

void Simulator::readConsole() {
    char buffer[512];
    const ssize_t count = ::read(STDIN_FILENO, buffer, sizeof buffer - 1);
    if (count <= 0) {
        m_console->setEnabled(false);  // stdin closed: no console
        return;
    }
    for (const QByteArray& line : QByteArray(buffer, int(count)).split('\n')) {
        const QString answer = runConsoleCommand(QString::fromUtf8(line));
        if (answer.isEmpty())
            continue;
        m_log.note(QStringLiteral("console: %1 -> %2").arg(QString::fromUtf8(line.trimmed()), answer));
        std::fprintf(stderr, "skyvane-sim: %s\n", qPrintable(answer));
    }
}
