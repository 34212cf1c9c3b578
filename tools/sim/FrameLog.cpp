#include "FrameLog.h"

#include <QDateTime>

#include <cstdio>

#include "protocol/FrameCodec.h"
#include "protocol/ProtocolTrace.h"

FrameLog::FrameLog(const QString& path, bool toStderr) : m_file(path), m_toStderr(toStderr) {
    if (!path.isEmpty() && !m_file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text))
        m_error = QStringLiteral("cannot open log %1: %2").arg(path, m_file.errorString());
}

void FrameLog::frame(const char* direction, const char* link, const QByteArray& frame, const QString& note) {
    if (!m_file.isOpen() && !m_toStderr)
        return;
    ParsedFrame parsed;
    const auto* bytes = reinterpret_cast<const uint8_t*>(frame.constData());
    if (!parseFrame(bytes, uint16_t(qMin(frame.size(), 0xFFFF)), &parsed))
        return badBytes(link, frame);
    QString line = describeFrame(direction, link, parsed.senderId, parsed.receiverId, parsed.messageId, parsed.sequence,
                                 parsed.payload, parsed.payloadLength);
    if (!note.isEmpty())
        line += QStringLiteral(" | sim: ") + note;
    write(line);
}

void FrameLog::badBytes(const char* link, const QByteArray& bytes) {
    if (!m_file.isOpen() && !m_toStderr)
        return;
    write(describeBadFrame(link, reinterpret_cast<const uint8_t*>(bytes.constData()),
                           uint16_t(qMin(bytes.size(), 0xFFFF))));
}

void FrameLog::note(const QString& text) {
    write(QStringLiteral("sim: ") + text);
}

void FrameLog::write(const QString& line) {
    const QByteArray text =
        QDateTime::currentDateTime().toString(QStringLiteral("HH:mm:ss.zzz ")).toUtf8() + cutTraceLine(line) + '\n';
    if (m_file.isOpen()) {
        m_file.write(text);
        m_file.flush();
    }
    if (m_toStderr) {
        std::fwrite(text.constData(), 1, size_t(text.size()), stderr);
        std::fflush(stderr);
    }
}
