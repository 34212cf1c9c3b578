#pragma once

#include <QString>
#include <QVariant>

// The program's one INI file, skyvane.cfg: beside the executable, or in the user's config folder
// for an installed copy (DataLocations). Every reader opens it afresh,
// reads a key with its default and closes it again; nothing is cached here.
namespace AppConfig {

QString filePath();

QVariant value(const QString& key, const QVariant& defaultValue);
bool boolValue(const QString& key, bool defaultValue);
int intValue(const QString& key, int defaultValue);
QString stringValue(const QString& key, const QString& defaultValue = QString());
QStringList stringListValue(const QString& key);

// Writes one key; the file is on disk when this returns. Write errors are not reported.
void setValue(const QString& key, const QVariant& value);

// The same for a configuration file elsewhere (tools preparing another program directory);
// setValueIn tells whether the file was written.
QVariant valueIn(const QString& path, const QString& key, const QVariant& defaultValue);
bool setValueIn(const QString& path, const QString& key, const QVariant& value);

}  // namespace AppConfig
