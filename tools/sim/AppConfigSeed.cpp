#include "AppConfigSeed.h"

#include <QStringList>

#include "app/AppConfig.h"

namespace {
constexpr int kStreamHistoryMax = 10;
}

bool seedAppConfig(const QString& path, const QString& product, const QString& rtspUrl, QString* error,
                   const QString& deviceAddress, int devicePort) {
    bool written = AppConfig::setValueIn(path, QStringLiteral("general/currentProduct"), product);
    if (!rtspUrl.isEmpty()) {
        const QString key = QStringLiteral("streamHistory/%1").arg(product);
        QStringList history = AppConfig::valueIn(path, key, QStringList()).toStringList();
        history.removeAll(rtspUrl);
        history.prepend(rtspUrl);
        while (history.size() > kStreamHistoryMax)
            history.removeLast();
        written = AppConfig::setValueIn(path, key, history) && written;
    }
    if (!deviceAddress.isEmpty()) {
        written = AppConfig::setValueIn(path, QStringLiteral("Device/Address"), deviceAddress) && written;
        written = AppConfig::setValueIn(path, QStringLiteral("Device/Port"), devicePort) && written;
    }
    if (!AppConfig::valueIn(path, QStringLiteral("Video/Backend"), QVariant()).isValid())
        written = AppConfig::setValueIn(path, QStringLiteral("Video/Backend"), QStringLiteral("ffmpeg")) && written;
    if (!written) {
        *error = QStringLiteral("cannot write %1").arg(path);
        return false;
    }
    return true;
}
