#include "VideoBackend.h"

#include <QFileInfo>

#include "app/AppConfig.h"
#include "app/elog.h"

QString videoConfigFilePath() {
    return AppConfig::filePath();
}

bool resolveVideoBackendIsFfmpeg() {
    const QString path = videoConfigFilePath();
    const QByteArray pathUtf8 = path.toUtf8();
    if (!QFileInfo::exists(path)) {
        elog_i("video", "Config file not found (%s), default backend=easyplayer", pathUtf8.constData());
        return false;
    }
    const QString raw = AppConfig::stringValue(QStringLiteral("Video/Backend"), QStringLiteral("easyplayer"));
    const QString normalized = raw.trimmed().toLower();
    const bool isFfmpeg = normalized == QLatin1String("ffmpeg");
    const QByteArray rawUtf8 = raw.toUtf8();
    if (!isFfmpeg && !normalized.isEmpty() && normalized != QLatin1String("easyplayer")) {
        elog_w("video", "Unknown Video/Backend=%s, fallback to easyplayer", rawUtf8.constData());
    }
    elog_i("video", "Resolved backend=%s config=%s raw=%s ffmpeg_built=%s", isFfmpeg ? "ffmpeg" : "easyplayer",
           pathUtf8.constData(), rawUtf8.constData(), "yes");
    return isFfmpeg;
}

QString videoBackendName() {
    return resolveVideoBackendIsFfmpeg() ? QStringLiteral("ffmpeg") : QStringLiteral("easyplayer");
}

bool ffmpegBackendBuilt() {
    return true;
}
