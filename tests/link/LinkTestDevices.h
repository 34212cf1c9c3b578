#pragma once

// Real stand-ins for the gimbal on the two links: a pseudo-terminal whose slave side the
// application opens as its serial port, and a UDP socket pair on 127.0.0.1.

#include <QByteArray>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QObject>
#include <QSocketNotifier>
#include <QString>
#include <QTest>
#include <QUdpSocket>
#include <QVector>

#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <memory>

#include "protocol/FrameCodec.h"

namespace LinkTest {

// Waits that only end a hung run: on a busy machine (or under a sanitizer) a frame may take seconds.
constexpr int kLongWaitMs = 20000;

inline QByteArray frameBytes(uint8_t sender, uint8_t receiver, uint32_t messageId, const QByteArray& payload = {},
                             uint8_t sequence = 0) {
    uint8_t buffer[kMaxFrameLength] = {};
    const uint16_t length =
        buildFrame(buffer, receiver, 1, sequence, sender, 1, messageId,
                   reinterpret_cast<const uint8_t*>(payload.constData()), static_cast<uint8_t>(payload.size()));
    return QByteArray(reinterpret_cast<const char*>(buffer), length);
}

// Reply payload: result code (u16) followed by the given bytes.
inline QByteArray replyPayload(uint16_t result, const QByteArray& rest = {}) {
    QByteArray payload;
    payload.append(char(result & 0xFF)).append(char(result >> 8)).append(rest);
    return payload;
}

inline QString hex(const QByteArray& bytes) {
    return QString::fromLatin1(bytes.toHex(' '));
}

struct WireFrame {
    ParsedFrame frame;
    QByteArray bytes;
    qint64 atMs = 0;
    QByteArray payload() const { return bytes.mid(kFramePayloadOffset, frame.payloadLength); }
};

// Cuts the frames the application sent out of a byte stream (serial) or takes one per datagram.
class FrameCollector {
public:
    QVector<WireFrame> frames;
    QByteArray garbage;
    QElapsedTimer clock;

    FrameCollector() { clock.start(); }

    void feedStream(const QByteArray& bytes) {
        m_pending += bytes;
        while (m_pending.size() >= kFrameOverhead) {
            ParsedFrame frame;
            const auto* data = reinterpret_cast<const uint8_t*>(m_pending.constData());
            const int need = data[1] + kFrameOverhead;
            if (data[0] == kFrameStartByte && data[1] <= kMaxPayloadLength && m_pending.size() < need)
                return;
            if (!parseFrame(data, static_cast<uint16_t>(m_pending.size()), &frame)) {
                garbage += m_pending.left(1);
                m_pending.remove(0, 1);
                continue;
            }
            frames.append({frame, m_pending.left(need), clock.elapsed()});
            m_pending.remove(0, need);
        }
    }

    void feedDatagram(const QByteArray& datagram) {
        ParsedFrame frame;
        if (!parseFrame(reinterpret_cast<const uint8_t*>(datagram.constData()), static_cast<uint16_t>(datagram.size()),
                        &frame)) {
            garbage += datagram;
            return;
        }
        frames.append({frame, datagram, clock.elapsed()});
    }

    bool waitForFrames(int count, int timeoutMs = kLongWaitMs) {
        return QTest::qWaitFor([&] { return frames.size() >= count; }, timeoutMs);
    }

    void clear() {
        frames.clear();
        garbage.clear();
        m_pending.clear();
    }

private:
    QByteArray m_pending;
};

// A pseudo-terminal pair. The application opens slavePath(); the test reads and writes the master.
// The test keeps a slave descriptor of its own so the master never sees a hang-up between opens.
class PtyDevice {
public:
    FrameCollector collector;
    QByteArray received;

    PtyDevice() {
        m_master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (m_master < 0 || grantpt(m_master) != 0 || unlockpt(m_master) != 0)
            return;
        m_slavePath = QString::fromLocal8Bit(ptsname(m_master));
        m_slaveHold = ::open(ptsname(m_master), O_RDWR | O_NOCTTY | O_NONBLOCK);
        termios raw{};
        if (m_slaveHold >= 0 && tcgetattr(m_slaveHold, &raw) == 0) {
            cfmakeraw(&raw);
            tcsetattr(m_slaveHold, TCSANOW, &raw);
        }
        m_notifier = std::make_unique<QSocketNotifier>(m_master, QSocketNotifier::Read);
        QObject::connect(m_notifier.get(), &QSocketNotifier::activated, [this] { drain(); });
    }
    ~PtyDevice() { hangUp(); }
    PtyDevice(const PtyDevice&) = delete;
    PtyDevice& operator=(const PtyDevice&) = delete;

    bool isValid() const { return m_master >= 0 && m_slaveHold >= 0; }

    // Closes the device's end for good, as a pulled-out adapter would: the application's side of
    // the terminal hangs up.
    void hangUp() {
        m_notifier.reset();
        for (int* fd : {&m_slaveHold, &m_master}) {
            if (*fd >= 0)
                ::close(*fd);
            *fd = -1;
        }
    }

    QString slavePath() const { return m_slavePath; }

    // Writes everything, waiting while the terminal's buffer is full.
    bool write(const QByteArray& bytes) {
        int done = 0;
        QElapsedTimer timer;
        timer.start();
        while (done < bytes.size() && timer.elapsed() < 5000) {
            const ssize_t n = ::write(m_master, bytes.constData() + done, size_t(bytes.size() - done));
            if (n > 0) {
                done += int(n);
            } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
                return false;
            } else {
                QTest::qWait(1);
            }
        }
        return done == bytes.size();
    }

    void drain() {
        char buffer[4096];
        for (;;) {
            const ssize_t n = ::read(m_master, buffer, sizeof buffer);
            if (n <= 0)
                break;
            const QByteArray chunk(buffer, int(n));
            received += chunk;
            collector.feedStream(chunk);
        }
    }

private:
    int m_master = -1;
    int m_slaveHold = -1;
    QString m_slavePath;
    std::unique_ptr<QSocketNotifier> m_notifier;
};

// The device end of a UDP link: receives the application's datagrams on one port and answers from
// another one, to the port the application sent from.
class UdpDevice {
public:
    FrameCollector collector;
    quint16 appPort = 0;

    UdpDevice() {
        m_rx.bind(QHostAddress(QHostAddress::LocalHost), 0);
        m_tx.bind(QHostAddress(QHostAddress::LocalHost), 0);
        QObject::connect(&m_rx, &QUdpSocket::readyRead, [this] { drain(); });
    }

    quint16 port() const { return m_rx.localPort(); }

    bool send(const QByteArray& datagram) {
        return appPort != 0 &&
               m_tx.writeDatagram(datagram, QHostAddress(QHostAddress::LocalHost), appPort) == datagram.size();
    }

    void drain() {
        while (m_rx.hasPendingDatagrams()) {
            QByteArray datagram(int(m_rx.pendingDatagramSize()), 0);
            QHostAddress from;
            quint16 fromPort = 0;
            m_rx.readDatagram(datagram.data(), datagram.size(), &from, &fromPort);
            appPort = fromPort;
            collector.feedDatagram(datagram);
        }
    }

private:
    QUdpSocket m_rx;
    QUdpSocket m_tx;
};

}  // namespace LinkTest
