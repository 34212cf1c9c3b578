#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QString>
#include <QVector>

#include <cstdint>

#include "app/AppLog.h"

// The protocol trace: one readable line per frame sent or received, one per byte sequence that
// failed to parse, written to the session log under the tag "proto" and gated by the five
// protocol switches of AppLog. The text builders are pure so tools and tests can use them alone.

// Lines are capped so a burst of garbage cannot produce unbounded log lines.
constexpr int kTraceLineMaxBytes = 900;
constexpr int kHexDumpBytesPerLine = 48;
constexpr int kBadFrameHexDumpMaxBytes = 128;

// "[发送][UDP] 应用(0x01) -> 相机(0x04) | 指令:读取可见光参数(000200) | 序号0" followed by
// " | <payload text>" when describePayload has something to say. A direction starting with
// 'T'/'t' is a transmission; a missing link name shows as "?".
QString describeFrame(const char* direction, const char* linkName, uint8_t senderId, uint8_t receiverId,
                      uint32_t messageId, uint8_t sequence, const uint8_t* payload, uint16_t payloadLength);

// Short decoded summary of a payload (result code of a reply, report values, command arguments,
// or the raw bytes); empty when there is no payload.
QString describePayload(uint32_t messageId, const uint8_t* payload, uint16_t payloadLength);

// "[接收][UDP] 帧解析失败，长度300，首部: 0x.. ..." with the suspected message name when the
// bytes look like a frame header.
QString describeBadFrame(const char* linkName, const uint8_t* bytes, uint16_t length);

// "红外", "可见光", "分屏" or "图像模式=<n>" for the image-mode values of message 0x0318.
QString imageModeText(uint8_t mode);

// Bytes as "0x01 0x00 ..." (lower-case), the form used by payload fallbacks and bad-frame heads.
QString byteListText(const uint8_t* bytes, uint16_t length);

// "  hex: 0xFD 0x02 ..." lines of up to 48 bytes each.
QByteArrayList hexDumpLines(const uint8_t* bytes, uint16_t length);

// The line as UTF-8; longer than 900 bytes it keeps exactly the first 900 bytes plus "...".
QByteArray cutTraceLine(const QString& line);

// Ids of the periodic status frames that are traced only with the status-frames switch on.
bool isStatusFrameId(uint32_t messageId);

// What a trace call writes: log lines with their elog levels, decided from the switches alone.
struct TraceLine {
    int level;
    QByteArray text;
};
using TraceLines = QVector<TraceLine>;

TraceLines frameTraceLines(const AppLog::ProtocolSwitches& switches, const char* direction, const char* linkName,
                           const uint8_t* frame, uint16_t frameLength, uint8_t receiverId, uint8_t senderId,
                           uint32_t messageId, uint8_t sequence, uint8_t payloadLength);
TraceLines badFrameTraceLines(const AppLog::ProtocolSwitches& switches, const char* linkName, const uint8_t* bytes,
                              uint16_t length);

// Write the lines above to the session log with the process-wide switches (AppLog::protocolSwitches()).
// direction "TX"/"RX", linkName "UART"/"UDP"; the ids, sequence and payload length are the frame's
// bytes 2, 5, 7-9, 4 and 1. Nothing is built while the trace is disabled.
void traceFrame(const char* direction, const char* linkName, const uint8_t* frame, uint16_t frameLength,
                uint8_t receiverId, uint8_t senderId, uint32_t messageId, uint8_t sequence, uint8_t payloadLength);
void traceBadFrame(const char* linkName, const uint8_t* bytes, uint16_t length);
