#include "UdpTransport.h"

#include <QNetworkDatagram>

#include "protocol/FrameCodec.h"

UdpTransport::UdpTransport(QObject* parent) : QObject(parent), m_socket(this) {
    connect(&m_socket, &QUdpSocket::readyRead, this, &UdpTransport::readPending);
}

bool UdpTransport::bind(const QHostAddress& address, quint16 port, QString* error) {
    if (!address.isLoopback()) {
        *error = QStringLiteral("UDP is bound to loopback only, not %1").arg(address.toString());
        return false;
    }
    if (!m_socket.bind(address, port)) {
        *error =
            QStringLiteral("cannot bind UDP %1:%2: %3").arg(address.toString()).arg(port).arg(m_socket.errorString());
        return false;
    }
    return true;
}

QString UdpTransport::boundAddress() const {
    return QStringLiteral("%1:%2").arg(m_socket.localAddress().toString()).arg(m_socket.localPort());
}

void UdpTransport::send(const QByteArray& datagram, const QHostAddress& address, quint16 port) {
    if (!address.isLoopback())
        return;  // this device only ever talks to loopback
    m_socket.writeDatagram(datagram, address, port);
}

void UdpTransport::readPending() {
    while (m_socket.hasPendingDatagrams()) {
        const QNetworkDatagram datagram = m_socket.receiveDatagram();
        const QByteArray data = datagram.data();
        ParsedFrame parsed;
        const auto* bytes = reinterpret_cast<const uint8_t*>(data.constData());
        const uint16_t size = uint16_t(qMin(data.size(), 0xFFFF));
        if (parseFrame(bytes, size, &parsed))
            emit frameReceived(data.left(parsed.payloadLength + kFrameOverhead), datagram.senderAddress(),
                               quint16(datagram.senderPort()));
        else
            emit badDatagram(data, datagram.senderAddress(), quint16(datagram.senderPort()));
    }
}
