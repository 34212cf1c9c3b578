#include "AppConfig.h"

#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QMutex>
#include <QSet>
#include <QSettings>

#include "DataLocations.h"
#include "SafeFiles.h"
#include "elog.h"

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

// Every read checks the file again, but a path is reported once per run: a FIFO would otherwise
// fill the log with one line per key. Readers run on the decode threads too.
void reportSkippedOnce(const QString& path) {
    static QMutex lock;
    static QSet<QString> reported;
    QMutexLocker guard(&lock);
    if (reported.contains(path))
        return;
    reported.insert(path);
    const QByteArray text =
        QStringLiteral("Configuration file %1 is %2, not a regular file: not opened, defaults apply")
            .arg(path, SafeFiles::describe(path))
            .toUtf8();
    qWarning("[AppConfig] %s", text.constData());
    elog_w("app", "%s", text.constData());
}

// Before any QSettings touches the path: constructing one opens and reads the file.
bool isUsable(const QString& path) {
    if (SafeFiles::kindOf(path) != SafeFiles::Kind::Other)
        return true;
    reportSkippedOnce(path);
    return false;
}

}  // namespace

QString unusableReason(const QString& path) {
    return SafeFiles::kindOf(path) == SafeFiles::Kind::Other ? SafeFiles::describe(path) : QString();
}

QString filePath() {
    return DataLocations::current().configFile;
}

QVariant value(const QString& key, const QVariant& defaultValue) {
    return valueIn(filePath(), key, defaultValue);
}

QVariant valueIn(const QString& path, const QString& key, const QVariant& defaultValue) {
    if (!isUsable(path))
        return defaultValue;
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

bool setValue(const QString& key, const QVariant& value) {
    return setValueIn(filePath(), key, value);
}

bool setValueIn(const QString& path, const QString& key, const QVariant& value) {
    if (!isUsable(path))
        return false;
    // The user's config folder may not exist yet on the first change of an installed copy. The
    // file is made owner-only before QSettings writes it: QSettings writes a temporary file that
    // takes the permissions of the existing one and renames it over it.
    if (!SafeFiles::makePrivateFolder(QFileInfo(path).absolutePath()) || !SafeFiles::preparePrivateFile(path))
        return false;
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
