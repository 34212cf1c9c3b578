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
};

// The statistics file beside the executable.
constexpr char kProtocolStatsFileName[] = "protocol_stats.log";

// One snapshot block, nine lines each ending in "\n":
//   ==== Protocol Stats ====
//   Time: yyyy-MM-dd hh:mm:ss
//   Current product: <product>
//   UDP frames: <n> ... UART resync discarded bytes: <n>
QString formatProtocolStatsBlock(const ProtocolCounters& counters, const QString& product, const QDateTime& time);

// Appends the block to path (created when missing; never truncated). False when the file could
// not be opened or written; callers that only log may ignore it.
bool appendProtocolStatsBlock(const QString& path, const ProtocolCounters& counters, const QString& product,
                              const QDateTime& time);
