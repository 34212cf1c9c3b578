#pragma once

#include <QByteArray>
#include <QObject>
#include <QQueue>
#include <QString>
#include <QTimer>

class QSocketNotifier;

#include "FrameStream.h"

// The serial side: the master end of a pseudo-terminal. The application opens the slave end
// (printed, and optionally reachable through a symlink) as its serial port.
class PtyTransport : public QObject {
    Q_OBJECT
public:
    explicit PtyTransport(QObject* parent = nullptr);
    ~PtyTransport() override;

    bool open(const QString& symlinkPath, QString* error);
    QString slavePath() const { return m_slavePath; }

    // Queues bytes for the line; delayMs holds them (and everything after them) back that long.
    void write(const QByteArray& bytes, int delayMs = 0);
    qint64 droppedBytes() const { return m_droppedBytes; }

signals:
    void frameReceived(const QByteArray& frame);
    void garbageReceived(int byteCount);

private:
    void readAvailable();
    void drain();

    int m_master = -1;
    int m_slaveKeepAlive = -1;  // keeps the line up while no application has it open
    QString m_slavePath;
    QString m_symlinkPath;
    QSocketNotifier* m_notifier = nullptr;
    FrameStream m_stream;
    struct Pending {
        QByteArray bytes;
        qint64 notBeforeMs;
    };
    QQueue<Pending> m_queue;
    QTimer m_drainTimer;
    qint64 m_droppedBytes = 0;
};
