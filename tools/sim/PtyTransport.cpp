#include "PtyTransport.h"

#include <QDateTime>
#include <QFile>
#include <QSocketNotifier>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>
#include <cerrno>
#include <cstdlib>

namespace {
constexpr int kMaxQueuedChunks = 256;  // bounded: a line nobody reads must not grow memory
}

PtyTransport::PtyTransport(QObject* parent) : QObject(parent) {
    m_drainTimer.setSingleShot(true);
    connect(&m_drainTimer, &QTimer::timeout, this, &PtyTransport::drain);
}

PtyTransport::~PtyTransport() {
    if (!m_symlinkPath.isEmpty())
        QFile::remove(m_symlinkPath);
    if (m_slaveKeepAlive >= 0)
        ::close(m_slaveKeepAlive);
    if (m_master >= 0)
        ::close(m_master);
}

bool PtyTransport::open(const QString& symlinkPath, QString* error) {
    m_master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (m_master < 0 || grantpt(m_master) != 0 || unlockpt(m_master) != 0) {
        *error = QStringLiteral("cannot create a pseudo-terminal: %1").arg(QString::fromLocal8Bit(strerror(errno)));
        return false;
    }
    m_slavePath = QString::fromLocal8Bit(ptsname(m_master));
    // Raw line: no echo, no line editing, no translation of the binary frames.
    m_slaveKeepAlive = ::open(m_slavePath.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    termios attributes{};
    if (m_slaveKeepAlive >= 0 && tcgetattr(m_slaveKeepAlive, &attributes) == 0) {
        cfmakeraw(&attributes);
        tcsetattr(m_slaveKeepAlive, TCSANOW, &attributes);
    }
    if (!symlinkPath.isEmpty()) {
        QFile::remove(symlinkPath);
        if (!QFile::link(m_slavePath, symlinkPath)) {
            *error = QStringLiteral("cannot create the symlink %1").arg(symlinkPath);
            return false;
        }
        m_symlinkPath = symlinkPath;
    }
    m_notifier = new QSocketNotifier(m_master, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &PtyTransport::readAvailable);
    return true;
}

void PtyTransport::readAvailable() {
    char buffer[4096];
    const ssize_t count = ::read(m_master, buffer, sizeof buffer);
    if (count <= 0)
        return;
    const FrameStream::Result result = m_stream.append(QByteArray(buffer, int(count)));
    if (result.discardedBytes > 0)
        emit garbageReceived(result.discardedBytes);
    for (const QByteArray& frame : result.frames)
        emit frameReceived(frame);
}

void PtyTransport::write(const QByteArray& bytes, int delayMs) {
    if (m_master < 0)
        return;
    if (m_queue.size() >= kMaxQueuedChunks) {
        m_droppedBytes += bytes.size();
        return;
    }
    m_queue.enqueue({bytes, QDateTime::currentMSecsSinceEpoch() + delayMs});
    drain();
}

// Writes queued chunks in order; a chunk that is not due yet holds back the ones behind it.
void PtyTransport::drain() {
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    while (!m_queue.isEmpty()) {
        const Pending& next = m_queue.head();
        if (next.notBeforeMs > now) {
            m_drainTimer.start(int(next.notBeforeMs - now));
            return;
        }
        const ssize_t written = ::write(m_master, next.bytes.constData(), size_t(next.bytes.size()));
        if (written < 0 && errno == EAGAIN) {
            // Nobody reads the line: its buffer is full. Drop rather than block the device.
            m_droppedBytes += next.bytes.size();
        } else if (written >= 0 && written < next.bytes.size()) {
            m_queue.head().bytes.remove(0, int(written));
            m_drainTimer.start(2);
            return;
        }
        m_queue.dequeue();
    }
}
