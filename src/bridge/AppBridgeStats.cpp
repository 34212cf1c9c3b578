#include <QCoreApplication>
#include <QDateTime>

#include "AppBridge.h"
#include "protocol/ProtocolStats.h"

// A snapshot of the frame counters for judging link quality after a session. The file may be
// unwritable (read-only install directory); counting goes on regardless.
void AppBridge::writeProtocolStats() {
    const QString path =
        QCoreApplication::applicationDirPath() + QLatin1Char('/') + QLatin1String(kProtocolStatsFileName);
    appendProtocolStatsBlock(path, m_counters, m_currentProduct, QDateTime::currentDateTime());
}
