#include "ProtocolTrace.h"
#include "app/elog.h"

// Kept apart from the text builders so that tools and the fuzzer can use those without the log facility.

namespace {

void emitLines(const TraceLines& lines) {
    for (const TraceLine& line : lines) {
        elog_output(line.level, "proto", nullptr, nullptr, 0, "%s", line.text.constData());
    }
}

}  // namespace

void traceFrame(const char* direction, const char* linkName, const uint8_t* frame, uint16_t frameLength,
                uint8_t receiverId, uint8_t senderId, uint32_t messageId, uint8_t sequence, uint8_t payloadLength) {
    const AppLog::ProtocolSwitches& switches = AppLog::protocolSwitches();
    if (!switches.enabled)
        return;
    emitLines(frameTraceLines(switches, direction, linkName, frame, frameLength, receiverId, senderId, messageId,
                              sequence, payloadLength));
}

void traceBadFrame(const char* linkName, const uint8_t* bytes, uint16_t length) {
    const AppLog::ProtocolSwitches& switches = AppLog::protocolSwitches();
    if (!switches.enabled)
        return;
    emitLines(badFrameTraceLines(switches, linkName, bytes, length));
}
