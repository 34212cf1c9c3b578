#include "AppConfig.h"

#include <QCoreApplication>
#include <QSettings>

namespace AppConfig {

QString filePath() { return QCoreApplication::applicationDirPath() + QStringLiteral("/skyvane.cfg"); }

QVariant value(const QString& key, const QVariant& defaultValue) {
    QSettings settings(filePath(), QSettings::IniFormat);
    return settings.value(key, defaultValue);
}

bool boolValue(const QString& key, bool defaultValue) { return value(key, defaultValue).toBool(); }

int intValue(const QString& key, int defaultValue) { return value(key, defaultValue).toInt(); }

QString stringValue(const QString& key, const QString& defaultValue) { return value(key, defaultValue).toString(); }

QStringList stringListValue(const QString& key) { return value(key, QStringList()).toStringList(); }

void setValue(const QString& key, const QVariant& value) {
    QSettings settings(filePath(), QSettings::IniFormat);
    settings.setValue(key, value);
    settings.sync();
}

}  // namespace AppConfig
