#pragma once

#include <QByteArray>
#include <QMetaObject>
#include <QObject>
#include <QSerialPort>
#include <QString>
#include <QStringList>
#include <QVector>

#include <memory>

#include "GIMBAL_ComObj.h"
#include "SerialCommand.h"

// The serial link to the gimbal: opens and closes one port, lists the ports this user may open,
// writes whole frames and hands every received byte on, unparsed, through rawBytesReceived.
// Frame splitting is done by the controller. A port that disappears while open (adapter pulled
// out, the other end of a pseudo-terminal closed) is announced once through portLost; the link
// stays open until its owner closes it.
class Uartcore : public QObject, public GIMBAL_ComObj {
    Q_OBJECT

public:
    explicit Uartcore(QObject* parent = nullptr);
    ~Uartcore() override;

    uint16_t available() override;
    uint8_t readByte() override;
    void writeByte(uint8_t byte) override;
    uint16_t channelId() override;

    bool open(const QString& portName, int baudRate, int dataBits, int parity, int stopBits, int flowControl);
    // Whether the last failed open was refused by the system for lack of permission.
    bool lastOpenDeniedPermission() const { return m_openDeniedPermission; }
    void close();
    bool isOpen() const;
    QString openPortName() const;
    // Names of the system's serial ports this user may open. No port is opened to find out: an
    // open toggles DTR, which resets many boards (Arduino-style adapters) on the other end. A port
    // busy in another program is listed too; opening it then fails with its own message. An open
    // link stays open and is listed. Ports this user may not open are added to deniedPorts.
    QStringList availablePortNames(QStringList* deniedPorts = nullptr);

    struct PortEntry {
        QString name;      // as the operator sees it: ttyUSB0
        QString location;  // the device node: /dev/ttyUSB0
    };
    // The decision of availablePortNames for a given list, by the device nodes' permissions only;
    // exposed for tests (the system's list never holds a pseudo-terminal).
    static QStringList usablePortNames(const QVector<PortEntry>& ports, const QString& openLocation,
                                       QStringList* deniedPorts);
    bool write(const QByteArray& data);

    // Line settings used by the link manager for every open: 8N1, no flow control.
    int dataBits() const { return m_dataBits; }
    int parity() const { return m_parity; }
    int stopBits() const { return m_stopBits; }
    int flowControl() const { return m_flowControl; }

signals:
    void readSignal();
    void rawBytesReceived(QByteArray data);
    void portLost();

public slots:
    void readData();

private:
    void onPortError(QSerialPort::SerialPortError error);
    bool isLineHungUp() const;
    void reportLossOnce();

    int m_dataBits = QSerialPort::Data8;
    int m_parity = QSerialPort::NoParity;
    int m_stopBits = QSerialPort::OneStop;
    int m_flowControl = QSerialPort::NoFlowControl;
    std::unique_ptr<QSerialPort> m_port;
    QByteArray m_pending;
    SerialCommand m_command;

    QMetaObject::Connection m_readDataConnection;
    QMetaObject::Connection m_readSignalConnection;
    QMetaObject::Connection m_errorConnection;
    // Set when the loss of the open port has been announced; a dead port keeps reporting errors.
    bool m_lossReported = false;
    bool m_openDeniedPermission = false;
};
