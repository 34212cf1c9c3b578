#pragma once

#include <QString>
#include <QVariant>

// The program's one INI file, skyvane.cfg: beside the executable, or in the user's config folder
// for an installed copy (DataLocations). Every reader opens it afresh,
// reads a key with its default and closes it again; nothing is cached here.
// Only a regular file is read or written: at a FIFO, device or directory every key keeps its
// default and every write fails (told once on standard error and in the session log). A file the
// program writes is its user's alone (0600), as are the folders it creates for it (0700).
namespace AppConfig {

QString filePath();

QVariant value(const QString& key, const QVariant& defaultValue);
bool boolValue(const QString& key, bool defaultValue);
int intValue(const QString& key, int defaultValue);
QString stringValue(const QString& key, const QString& defaultValue = QString());
QStringList stringListValue(const QString& key);

// Writes one key; the file is on disk when this returns. False when it could not be written
// (folder or file not writable, not a regular file): the caller tells the operator.
bool setValue(const QString& key, const QVariant& value);

// Why the file at path is not read ("a FIFO", "a directory", ...); empty for a regular or
// missing file.
QString unusableReason(const QString& path);

// The same for a configuration file elsewhere (tools preparing another program directory);
// setValueIn tells whether the file was written.
QVariant valueIn(const QString& path, const QString& key, const QVariant& defaultValue);
bool setValueIn(const QString& path, const QString& key, const QVariant& value);

}  // namespace AppConfig
