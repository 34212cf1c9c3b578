#pragma once

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QString>

// Every test executable has an application directory of its own (see cmake/SkyvaneTesting.cmake);
// these helpers prepare what the program would find there.
namespace TestSupport {

inline QString appDir() { return QCoreApplication::applicationDirPath(); }
inline QString configPath() { return appDir() + QStringLiteral("/skyvane.cfg"); }

inline void removeConfig() { QFile::remove(configPath()); }

// Replaces skyvane.cfg with the given INI text.
inline bool writeConfig(const QByteArray& iniText) {
    QFile file(configPath());
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
    return file.write(iniText) == iniText.size();
}

inline QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace TestSupport
