#pragma once

#include <QByteArray>
#include <QVector>

// Cuts a serial byte stream into frames: bytes before a start byte, and start bytes that do not
// begin a frame with a valid checksum, are skipped one at a time. Holds at most one incomplete
// frame between calls.
class FrameStream {
public:
    struct Result {
        QVector<QByteArray> frames;  // complete frames, header to checksum
        int discardedBytes = 0;
    };
    Result append(const QByteArray& bytes);
    int buffered() const { return m_buffer.size(); }

private:
    QByteArray m_buffer;
};
