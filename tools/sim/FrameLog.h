#pragma once

#include <QFile>
#include <QString>

// A readable line for every frame the simulated device receives and sends, in the project's
// frame description, with the time and any fault applied; into a file and/or stderr.
class FrameLog {
public:
    FrameLog(const QString& path, bool toStderr);

    bool isOpen() const { return m_file.isOpen() || m_toStderr; }
    QString error() const { return m_error; }

    // direction "RX" or "TX", link "UDP" or "UART"; frame holds exactly one valid frame.
    void frame(const char* direction, const char* link, const QByteArray& frame, const QString& note = {});
    void badBytes(const char* link, const QByteArray& bytes);
    void note(const QString& text);

private:
    void write(const QString& line);

    QFile m_file;
    bool m_toStderr;
    QString m_error;
};
