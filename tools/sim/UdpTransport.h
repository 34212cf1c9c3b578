#pragma once

#include <QHostAddress>
#include <QObject>
#include <QUdpSocket>

// The UDP side: one frame per datagram; answers go to each datagram's sender.
class UdpTransport : public QObject {
    Q_OBJECT
public:
    explicit UdpTransport(QObject* parent = nullptr);

    bool bind(const QHostAddress& address, quint16 port, QString* error);
    QString boundAddress() const;
    void send(const QByteArray& datagram, const QHostAddress& address, quint16 port);

signals:
    // A datagram that holds a valid frame (the frame alone), or one that does not.
    void frameReceived(const QByteArray& frame, const QHostAddress& sender, quint16 senderPort);
    void badDatagram(const QByteArray& datagram, const QHostAddress& sender, quint16 senderPort);

private:
    void readPending();

    QUdpSocket m_socket;
};
