#include "ProtocolStats.h"

#include <QFile>
#include <QFileInfo>
#include <QTextStream>

QString formatProtocolStatsBlock(const ProtocolCounters& counters, const QString& product, const QDateTime& time) {
    QString block;
    QTextStream out(&block);
    out << "==== Protocol Stats ====\n"
        << "Time: " << time.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")) << '\n'
        << "Current product: " << product << '\n'
        << "UDP frames: " << counters.udpFrames << '\n'
        << "UDP parse fails (total): " << counters.udpParseFails << '\n'
        << "UDP parse fails with header (likely CRC/length): " << counters.udpParseFailsWithHeader << '\n'
        << "UART frames: " << counters.uartFrames << '\n'
        << "UART parse fails: " << counters.uartParseFails << '\n'
        << "UART resync discarded bytes: " << counters.uartResyncDiscardedBytes << '\n'
        << "UDP datagrams from other hosts dropped: " << counters.udpForeignDropped << '\n'
        << "UDP datagrams dropped by a full receive queue: " << counters.udpQueueDropped << '\n'
        << "UART bytes dropped by a full receive backlog: " << counters.uartOverflowDroppedBytes << '\n';
    out.flush();
    return block;
}

namespace {

void rotate(const QString& path) {
    const auto numbered = [&path](int n) { return path + QLatin1Char('.') + QString::number(n); };
    QFile::remove(numbered(kProtocolStatsKeptFiles - 1));
    for (int n = kProtocolStatsKeptFiles - 2; n >= 0; --n)
        QFile::rename(numbered(n), numbered(n + 1));
    QFile::rename(path, numbered(0));
}

}  // namespace

bool appendProtocolStatsBlock(const QString& path, const ProtocolCounters& counters, const QString& product,
                              const QDateTime& time) {
    const QFileInfo existing(path);
    if (existing.exists() && !existing.isFile())
        return false;  // a folder, or a pipe that would block the writer
    if (existing.size() >= kProtocolStatsMaxBytes)
        rotate(path);
    QFile file(path);
    const bool created = !file.exists();
    // Text mode: line breaks become the platform's line end.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text))
        return false;
    if (created)
        file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    const QByteArray text = formatProtocolStatsBlock(counters, product, time).toUtf8();
    const bool written = file.write(text) == text.size();
    return file.flush() && written;
}
