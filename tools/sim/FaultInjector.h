#pragma once

#include <QByteArray>
#include <QRandomGenerator>
#include <QString>
#include <QVector>

#include "SimOptions.h"

// Decides, deterministically from the seed, which faults the simulated device commits: which
// answers it refuses or withholds, and what happens to each frame on the wire.
class FaultInjector {
public:
    FaultInjector(const FaultOptions& options, quint32 seed);

    // Answers to command number `number`.
    bool silences(quint16 number) const { return m_options.silentAll || m_options.silent.contains(number); }
    bool refuses(quint16 number, quint16* code) const;
    int replyDelayMs() const { return m_options.delayMs; }
    bool reportsEnabled() const { return !m_options.noReports; }

    // One write on a link: for UDP one datagram, for serial a chunk of the byte stream.
    struct Write {
        QByteArray bytes;
        int delayMs = 0;
    };
    struct Shaped {
        QVector<Write> writes;
        QStringList faults;  // what was done to the frame, for the log
    };
    // The writes that carry one encoded frame, after drop, corruption, garbage, duplication and
    // (serial only) splitting. Garbage goes before the frame on serial and as a datagram of its own
    // on UDP, so the frame itself still arrives.
    Shaped shape(const QByteArray& frame, bool serial);

private:
    bool chance(double fraction) { return fraction > 0 && m_random.generateDouble() < fraction; }

    FaultOptions m_options;
    QRandomGenerator m_random;
};
