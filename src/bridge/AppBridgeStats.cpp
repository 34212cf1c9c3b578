#include <QDateTime>

#include "AppBridge.h"
#include "app/DataLocations.h"
#include "link/UdpQueueDrops.h"
#include "protocol/ProtocolStats.h"

// A snapshot of the frame counters for judging link quality after a session. The file may be
// unwritable (no state folder could be made); counting goes on regardless.
void AppBridge::writeProtocolStats() {
    m_counters.udpQueueDropped = udpReceiveQueueDrops(m_udpSocket);
    m_lastStatsWrite.start();
    appendProtocolStatsBlock(DataLocations::current().protocolStatsFile(), m_counters, m_currentProduct,
                             QDateTime::currentDateTime());
}

void AppBridge::writeProtocolStatsIfDue() {
    if (!m_lastStatsWrite.isValid() || m_lastStatsWrite.elapsed() >= m_statsTimer.interval())
        writeProtocolStats();
}
