#include "UdpQueueDrops.h"

#include <QFile>
#include <QUdpSocket>

#include <sys/stat.h>

#include <limits>

namespace {

// A line: "sl local rem st tx:rx tr:when retrnsmt uid timeout inode ref pointer drops".
constexpr int kInodeColumn = 9;
constexpr int kDropsColumn = 12;

bool dropsOfInode(const char* table, quint64 inode, qint64* drops) {
    QFile file(QString::fromLatin1(table));
    if (!file.open(QIODevice::ReadOnly))
        return false;
    file.readLine();  // header
    while (!file.atEnd()) {
        const QList<QByteArray> columns = file.readLine().simplified().split(' ');
        if (columns.size() <= kDropsColumn || columns.at(kInodeColumn).toULongLong() != inode)
            continue;
        *drops = columns.at(kDropsColumn).toLongLong();
        return true;
    }
    return false;
}

}  // namespace

int32_t udpReceiveQueueDrops(const QUdpSocket& socket) {
    const qintptr descriptor = socket.socketDescriptor();
    struct stat info {};
    if (descriptor < 0 || ::fstat(int(descriptor), &info) != 0)
        return 0;
    qint64 drops = 0;
    if (!dropsOfInode("/proc/net/udp", info.st_ino, &drops) && !dropsOfInode("/proc/net/udp6", info.st_ino, &drops))
        return 0;
    return int32_t(std::min<qint64>(drops, std::numeric_limits<int32_t>::max()));
}
