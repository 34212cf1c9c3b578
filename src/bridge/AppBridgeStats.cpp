#include <QDateTime>

#include "AppBridge.h"
#include "app/DataLocations.h"
#include "protocol/ProtocolStats.h"

// A snapshot of the frame counters for judging link quality after a session. The file may be
// unwritable (no state folder could be made); counting goes on regardless.
void AppBridge::writeProtocolStats() {
    appendProtocolStatsBlock(DataLocations::current().protocolStatsFile(), m_counters, m_currentProduct,
                             QDateTime::currentDateTime());
}
