#include "AppConfigSeed.h"

#include <QSettings>
#include <QStringList>

namespace {
constexpr int kStreamHistoryMax = 10;
}

bool seedAppConfig(const QString& path, const QString& product, const QString& rtspUrl, QString* error) {
    QSettings settings(path, QSettings::IniFormat);
    // The program keeps the keys of its "general" group in the INI file's [General] section, which
    // Qt presents at the top level; a copy under another spelling would shadow nothing but confuse.
    for (const QString& key : settings.allKeys())
        if (key.compare(QLatin1String("general/currentProduct"), Qt::CaseInsensitive) == 0)
            settings.remove(key);
    settings.setValue(QStringLiteral("currentProduct"), product);
    if (!rtspUrl.isEmpty()) {
        const QString key = QStringLiteral("streamHistory/%1").arg(product);
        QStringList history = settings.value(key).toStringList();
        history.removeAll(rtspUrl);
        history.prepend(rtspUrl);
        while (history.size() > kStreamHistoryMax)
            history.removeLast();
        settings.setValue(key, history);
    }
    if (!settings.contains(QStringLiteral("Video/Backend")))
        settings.setValue(QStringLiteral("Video/Backend"), QStringLiteral("ffmpeg"));
    settings.sync();
    if (settings.status() != QSettings::NoError) {
        *error = QStringLiteral("cannot write %1").arg(path);
        return false;
    }
    return true;
}
