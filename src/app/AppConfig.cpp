#include "AppConfig.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

#include "DataLocations.h"

namespace AppConfig {
namespace {

// Qt keeps the keys of an INI file's [General] section (in any letter case) at the top level, and
// its key lookups are case-sensitive here, unlike on Windows. The keys of the "general" group are
// therefore stored at the top level, and a key typed by hand in another letter case is still found.
QString storedKey(const QString& key) {
    const int slash = key.indexOf(QLatin1Char('/'));
    if (slash > 0 && key.leftRef(slash).compare(QLatin1String("general"), Qt::CaseInsensitive) == 0) {
        return key.mid(slash + 1);
    }
    return key;
}

QStringList matchingKeys(const QSettings& settings, const QString& key) {
    QStringList matches;
    const QString stored = storedKey(key);
    for (const QString& candidate : settings.allKeys()) {
        if (candidate.compare(stored, Qt::CaseInsensitive) == 0 || candidate.compare(key, Qt::CaseInsensitive) == 0) {
            matches.append(candidate);
        }
    }
    return matches;
}

}  // namespace

QString filePath() {
    return DataLocations::current().configFile;
}

QVariant value(const QString& key, const QVariant& defaultValue) {
    return valueIn(filePath(), key, defaultValue);
}

QVariant valueIn(const QString& path, const QString& key, const QVariant& defaultValue) {
    QSettings settings(path, QSettings::IniFormat);
    const QString stored = storedKey(key);
    if (settings.contains(stored))
        return settings.value(stored, defaultValue);
    const QStringList matches = matchingKeys(settings, key);
    return matches.isEmpty() ? defaultValue : settings.value(matches.first(), defaultValue);
}

bool boolValue(const QString& key, bool defaultValue) {
    return value(key, defaultValue).toBool();
}

int intValue(const QString& key, int defaultValue) {
    return value(key, defaultValue).toInt();
}

QString stringValue(const QString& key, const QString& defaultValue) {
    return value(key, defaultValue).toString();
}

QStringList stringListValue(const QString& key) {
    return value(key, QStringList()).toStringList();
}

void setValue(const QString& key, const QVariant& value) {
    setValueIn(filePath(), key, value);
}

bool setValueIn(const QString& path, const QString& key, const QVariant& value) {
    // The user's config folder may not exist yet on the first change of an installed copy.
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSettings settings(path, QSettings::IniFormat);
    const QString stored = storedKey(key);
    for (const QString& other : matchingKeys(settings, key)) {
        if (other != stored)
            settings.remove(other);
    }
    settings.setValue(stored, value);
    settings.sync();
    return settings.status() == QSettings::NoError;
}

}  // namespace AppConfig
