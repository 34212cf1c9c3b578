#pragma once

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

#include <sys/stat.h>

// Every test executable has an application directory of its own (see cmake/SkyvaneTesting.cmake);
// these helpers prepare what the program would find there.
namespace TestSupport {

inline QString appDir() {
    return QCoreApplication::applicationDirPath();
}
inline QString configPath() {
    return appDir() + QStringLiteral("/skyvane.cfg");
}

inline void removeConfig() {
    QFile::remove(configPath());
}

// Replaces skyvane.cfg with the given INI text. QSettings re-reads a file only when its size or
// modification time changed, so each write gets a modification time of its own.
inline bool writeConfig(const QByteArray& iniText) {
    static int writes = 0;
    QFile file(configPath());
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    if (file.write(iniText) != iniText.size() || !file.flush())
        return false;
    return file.setFileTime(QDateTime::currentDateTime().addSecs(++writes), QFileDevice::FileModificationTime);
}

inline QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The messages of a message log in the order they came, without their "[…] " stamps; a line that
// counts its repeats ("… ×3") stands for that many messages.
inline QStringList logMessages(const QString& log) {
    static const QRegularExpression repeats(QStringLiteral("^(.*) ×(\\d+)$"));
    QStringList texts;
    const QStringList lines = log.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (const QString& line : lines) {
        const QString text = line.mid(line.indexOf(QStringLiteral("] ")) + 2);
        const QRegularExpressionMatch repeated = repeats.match(text);
        for (int n = repeated.hasMatch() ? repeated.captured(2).toInt() : 1; n > 0; --n)
            texts << (repeated.hasMatch() ? repeated.captured(1) : text);
    }
    return texts;
}

// A file's permission bits in octal as ls shows them ("600", "700"), or "missing".
inline QString modeOf(const QString& path) {
    struct stat status {};
    if (::stat(QFile::encodeName(path).constData(), &status) != 0)
        return QStringLiteral("missing");
    return QString::number(status.st_mode & 07777, 8);
}

}  // namespace TestSupport
