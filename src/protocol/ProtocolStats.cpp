#include "ProtocolStats.h"

#include <QFile>
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
        << "UART resync discarded bytes: " << counters.uartResyncDiscardedBytes << '\n';
    out.flush();
    return block;
}

bool appendProtocolStatsBlock(const QString& path, const ProtocolCounters& counters, const QString& product,
                              const QDateTime& time) {
    QFile file(path);
    // Text mode: line breaks become the platform's line end.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text))
        return false;
    const QByteArray text = formatProtocolStatsBlock(counters, product, time).toUtf8();
    const bool written = file.write(text) == text.size();
    return file.flush() && written;
}
