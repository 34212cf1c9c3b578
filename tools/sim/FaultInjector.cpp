#include "FaultInjector.h"

namespace {
constexpr int kSplitDelayMs = 5;
}

FaultInjector::FaultInjector(const FaultOptions& options, quint32 seed) : m_options(options), m_random(seed) {}

bool FaultInjector::refuses(quint16 number, quint16* code) const {
    const auto refusal = m_options.refuse.constFind(number);
    if (refusal == m_options.refuse.constEnd())
        return false;
    *code = refusal.value();
    return true;
}

FaultInjector::Shaped FaultInjector::shape(const QByteArray& frame, bool serial) {
    Shaped shaped;
    if (chance(m_options.drop)) {
        shaped.faults << QStringLiteral("dropped");
        return shaped;
    }
    QByteArray bytes = frame;
    if (chance(m_options.corrupt) && bytes.size() >= 2) {
        bytes[bytes.size() - 1] = char(bytes[bytes.size() - 1] ^ 0x5A);
        shaped.faults << QStringLiteral("checksum corrupted");
    }
    if (chance(m_options.garbage)) {
        QByteArray garbage(1 + int(m_random.bounded(16)), 0);
        for (char& c : garbage)
            c = char(m_random.bounded(256));
        // A garbage byte that happens to be the start byte would make the noise look like a frame
        // header with a random length; keep it noise.
        for (char& c : garbage)
            if (quint8(c) == 0xFD)
                c = 0x00;
        shaped.faults << QStringLiteral("%1 garbage bytes before").arg(garbage.size());
        if (serial)
            bytes.prepend(garbage);
        else
            shaped.writes.append({garbage, 0});
    }
    const bool duplicate = chance(m_options.duplicate);
    const int copies = duplicate ? 2 : 1;
    if (duplicate)
        shaped.faults << QStringLiteral("duplicated");
    for (int copy = 0; copy < copies; ++copy) {
        if (serial && bytes.size() > 1 && chance(m_options.split)) {
            const int at = 1 + int(m_random.bounded(bytes.size() - 1));
            shaped.faults << QStringLiteral("split at %1").arg(at);
            shaped.writes.append({bytes.left(at), 0});
            shaped.writes.append({bytes.mid(at), kSplitDelayMs});
        } else {
            shaped.writes.append({bytes, 0});
        }
    }
    return shaped;
}
