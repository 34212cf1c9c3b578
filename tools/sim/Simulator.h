#pragma once

#include <QElapsedTimer>
#include <QHostAddress>
#include <QObject>
#include <QTimer>

#include <functional>
#include <memory>

#include "DeviceModel.h"
#include "FaultInjector.h"
#include "FrameLog.h"
#include "SimOptions.h"
#include "VideoScene.h"

class PtyTransport;
class UdpTransport;
class QSocketNotifier;

// Puts the simulated device together: the device model, its UDP and serial sides, the fault
// injector, the frame log and a small console on stdin.
class Simulator : public QObject {
    Q_OBJECT
public:
    explicit Simulator(const SimOptions& options, QObject* parent = nullptr);
    ~Simulator() override;

    // Opens the configured links; each ready link is announced through ready (one line).
    bool start(QString* error, const std::function<void(const QString&)>& ready);
    VideoState videoState() const { return m_model.videoState(); }

    // Console commands: "lose-target", "sd <code>", "help". Returns the answer text.
    QString runConsoleCommand(const QString& line);

signals:
    void videoStateChanged();

private:
    enum class Link { Udp, Serial };
    struct Peer {
        QHostAddress address;
        quint16 port = 0;
    };

    void onFrame(Link link, const QByteArray& frame, const Peer& peer);
    void tick();
    void sendAnswer(const DeviceFrame& answer, Link link, const Peer& peer);
    void transmit(const DeviceFrame& frame, Link link, const Peer& peer, const QString& note = {});
    void readConsole();
    bool linkActive(Link link) const;
    static qint64 now();

    SimOptions m_options;
    DeviceModel m_model;
    FaultInjector m_faults;
    FrameLog m_log;
    UdpTransport* m_udp = nullptr;
    PtyTransport* m_pty = nullptr;
    QSocketNotifier* m_console = nullptr;
    QTimer m_tickTimer;
    quint8 m_sequence = 0;
    Peer m_udpPeer;
    qint64 m_lastUdpRxMs = -1;
    qint64 m_lastSerialRxMs = -1;
};
