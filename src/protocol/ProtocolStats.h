#pragma once

#include <QDateTime>
#include <QString>

#include <cstdint>

// Good and bad frame counts per link since the link came up.
struct ProtocolCounters {
    int32_t udpFrames = 0;
    int32_t udpParseFails = 0;
    int32_t udpParseFailsWithHeader = 0;
    int32_t uartFrames = 0;
    int32_t uartParseFails = 0;
    int32_t uartResyncDiscardedBytes = 0;
    // What never reached the parser: datagrams from other hosts with Link/AcceptFrom = device,
    // datagrams the kernel dropped while the controller was busy, serial bytes beyond the backlog.
    int32_t udpForeignDropped = 0;
    int32_t udpQueueDropped = 0;
    int32_t uartOverflowDroppedBytes = 0;
};

// The statistics file beside the executable.
constexpr char kProtocolStatsFileName[] = "protocol_stats.log";
constexpr qint64 kProtocolStatsMaxBytes = 1024 * 1024;
constexpr int kProtocolStatsKeptFiles = 5;

// One snapshot block, twelve lines each ending in "\n":
//   ==== Protocol Stats ====
//   Time: yyyy-MM-dd hh:mm:ss
//   Current product: <product>
//   UDP frames: <n> ... UART resync discarded bytes: <n>, then the three counts of what was dropped
//   before parsing, after the lines readers of older files know.
QString formatProtocolStatsBlock(const ProtocolCounters& counters, const QString& product, const QDateTime& time);

// Appends the block to path (created owner-only when missing). A file grown past
// kProtocolStatsMaxBytes is first moved aside as path.0 (older ones to path.1 … path.4, the oldest
// dropped), as the session log rotates. False when the file could not be opened or written; callers
// that only log may ignore it.
bool appendProtocolStatsBlock(const QString& path, const ProtocolCounters& counters, const QString& product,
                              const QDateTime& time);
