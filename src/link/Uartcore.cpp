#include "Uartcore.h"

#include <QFile>
#include <QSerialPortInfo>
#include <QTimer>

#include <poll.h>
#include <unistd.h>

#include <cerrno>

#include <algorithm>

namespace {

// Qt reports a port locked by another program as a permission error too; only a device node this
// user may not open is a matter of permission (membership of the dialout group).
bool deniedByDeviceMode(const QSerialPort& port) {
    if (port.error() != QSerialPort::PermissionError)
        return false;
    const QString name = port.portName();
    const QString path = name.startsWith(QLatin1Char('/')) ? name : QStringLiteral("/dev/") + name;
    return ::access(path.toLocal8Bit().constData(), R_OK | W_OK) != 0 && errno == EACCES;
}

}  // namespace

Uartcore::Uartcore(QObject* parent) : QObject(parent), m_port(std::make_unique<QSerialPort>()) {}

Uartcore::~Uartcore() {
    close();
}

uint16_t Uartcore::available() {
    // Saturate rather than wrap: a wrapped count could read as 0 and leave bytes behind.
    const qint64 waiting = m_port->bytesAvailable();
    return static_cast<uint16_t>(std::clamp<qint64>(waiting, 0, 0xFFFF));
}

uint8_t Uartcore::readByte() {
    char byte = 0;
    if (!m_port->getChar(&byte))
        byte = 0;
    m_pending.append(byte);
    return static_cast<uint8_t>(byte);
}

void Uartcore::writeByte(uint8_t byte) {
    m_port->putChar(static_cast<char>(byte));
}

uint16_t Uartcore::channelId() {
    return 0xFFFF;
}

bool Uartcore::open(const QString& portName, int baudRate, int dataBits, int parity, int stopBits, int flowControl) {
    m_port->setPortName(portName);
    m_openDeniedPermission = false;
    if (!m_port->open(QIODevice::ReadWrite)) {
        m_openDeniedPermission = deniedByDeviceMode(*m_port);
        return false;
    }
    // The port accepts line settings only once it is open; a pty or a simple adapter may refuse
    // some of them, which is harmless for the frames we exchange.
    m_port->setBaudRate(baudRate, QSerialPort::AllDirections);
    m_port->setDataBits(static_cast<QSerialPort::DataBits>(dataBits));
    m_port->setParity(static_cast<QSerialPort::Parity>(parity));
    m_port->setStopBits(static_cast<QSerialPort::StopBits>(stopBits));
    m_port->setFlowControl(static_cast<QSerialPort::FlowControl>(flowControl));
    m_readDataConnection = connect(m_port.get(), &QSerialPort::readyRead, this, &Uartcore::readData);
    m_readSignalConnection = connect(m_port.get(), &QSerialPort::readyRead, this, &Uartcore::readSignal);
    m_errorConnection = connect(m_port.get(), &QSerialPort::errorOccurred, this, &Uartcore::onPortError);
    m_lossReported = false;
    return true;
}

void Uartcore::close() {
    disconnect(m_readDataConnection);
    disconnect(m_readSignalConnection);
    disconnect(m_errorConnection);
    m_lossReported = false;
    if (!m_port->isOpen())
        return;
    m_port->clear(QSerialPort::AllDirections);
    m_port->close();
    m_pending.clear();
}

bool Uartcore::isOpen() const {
    return m_port->isOpen();
}

QString Uartcore::openPortName() const {
    return m_port->isOpen() ? m_port->portName() : QString();
}

QStringList Uartcore::availablePortNames(QStringList* deniedPorts) {
    QVector<PortEntry> ports;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts())
        ports.append({info.portName(), info.systemLocation()});
    const QString openLocation = m_port->isOpen() ? QSerialPortInfo(*m_port).systemLocation() : QString();
    return usablePortNames(ports, openLocation, deniedPorts);
}

QStringList Uartcore::usablePortNames(const QVector<PortEntry>& ports, const QString& openLocation,
                                      QStringList* deniedPorts) {
    QStringList names;
    for (const PortEntry& port : ports) {
        // The port we hold is usable whatever its mode says now.
        if (!openLocation.isEmpty() && port.location == openLocation) {
            names << port.name;
            continue;
        }
        if (::access(QFile::encodeName(port.location).constData(), R_OK | W_OK) == 0)
            names << port.name;
        else if (errno == EACCES && deniedPorts)
            deniedPorts->append(port.name);
    }
    return names;
}

bool Uartcore::write(const QByteArray& data) {
    if (!m_port || !m_port->isOpen() || data.isEmpty())
        return false;
    if (m_port->write(data) == data.size())
        return true;
    if (isLineHungUp())
        reportLossOnce();
    return false;
}

// Qt's resource error means the device went away. Read and write errors are also what a hung-up
// line gives (a removed USB adapter reads end-of-file), but they can be passing faults too: only
// the line's hang-up makes them final.
void Uartcore::onPortError(QSerialPort::SerialPortError error) {
    const bool ioError = error == QSerialPort::ReadError || error == QSerialPort::WriteError;
    if (error == QSerialPort::ResourceError || (ioError && isLineHungUp()))
        reportLossOnce();
}

bool Uartcore::isLineHungUp() const {
    if (!m_port->isOpen())
        return false;
    pollfd line{static_cast<int>(m_port->handle()), POLLIN | POLLOUT, 0};
    if (::poll(&line, 1, 0) < 0)
        return false;
    return (line.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
}

void Uartcore::reportLossOnce() {
    if (m_lossReported || !m_port->isOpen())
        return;
    m_lossReported = true;
    // Announced from the event loop: the owner closes the port in answer, which must not happen
    // inside the port's own notification that reported the error. A close (and a new open) in
    // between cancels the announcement.
    QTimer::singleShot(0, this, [this] {
        if (m_lossReported && m_port->isOpen())
            emit portLost();
    });
}

void Uartcore::readData() {
    while (available() > 0) {
        // Bulk read of what is waiting: the same bytes, in order, as readByte() one at a time.
        const QByteArray chunk = m_port->read(available());
        if (chunk.isEmpty())
            break;
        m_pending.append(chunk);
    }
    if (m_pending.isEmpty())
        return;
    emit rawBytesReceived(m_pending);
    m_pending.clear();
}
