#pragma once

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
