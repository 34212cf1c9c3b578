#include "DataLocations.h"

#include <QCoreApplication>
#include <QDir>
#include <QStandardPaths>
#include <QTemporaryFile>

namespace DataLocations {
namespace {

const char kFolderName[] = "skyvane";

// The XDG rule: a base directory variable counts only when it holds an absolute path.
QString xdgBase(const QString& value, const QString& home, const char* fallbackUnderHome) {
    if (!value.isEmpty() && QDir::isAbsolutePath(value))
        return QDir::cleanPath(value);
    return QDir::cleanPath(home + QLatin1Char('/') + QLatin1String(fallbackUnderHome));
}

}  // namespace

Environment currentEnvironment() {
    Environment env;
    env.appDir = QCoreApplication::applicationDirPath();
    env.home = QDir::homePath();
    env.xdgConfigHome = qEnvironmentVariable("XDG_CONFIG_HOME");
    env.xdgStateHome = qEnvironmentVariable("XDG_STATE_HOME");
    // Qt reads XDG_VIDEOS_DIR from user-dirs.dirs and falls back to ~/Videos.
    env.videosDir = QStandardPaths::writableLocation(QStandardPaths::MoviesLocation);
    return env;
}

bool isWritableDirectory(const QString& dir) {
    if (dir.isEmpty() || !QFileInfo(dir).isDir())
        return false;
    QTemporaryFile probe(dir + QStringLiteral("/.skyvane-write-probe-XXXXXX"));
    return probe.open();
}

Layout decide(const Environment& env) {
    Layout layout;
    if (isWritableDirectory(env.appDir)) {
        layout.portable = true;
        layout.configFile = env.appDir + QStringLiteral("/skyvane.cfg");
        layout.stateDir = env.appDir;
        layout.recordingsDir = env.appDir + QStringLiteral("/recordings");
        return layout;
    }
    const QString configHome = xdgBase(env.xdgConfigHome, env.home, ".config");
    const QString stateHome = xdgBase(env.xdgStateHome, env.home, ".local/state");
    layout.portable = false;
    layout.configFile = configHome + QLatin1Char('/') + QLatin1String(kFolderName) + QStringLiteral("/skyvane.cfg");
    layout.stateDir = stateHome + QLatin1Char('/') + QLatin1String(kFolderName);
    layout.recordingsDir = env.videosDir.isEmpty() ? QDir::cleanPath(env.home + QStringLiteral("/Videos"))
                                                   : QDir::cleanPath(env.videosDir);
    return layout;
}

const Layout& current() {
    static const Layout layout = decide(currentEnvironment());
    return layout;
}

QString recordingsFolder(const Layout& layout, const QString& configured) {
    const QString value = configured.trimmed();
    if (value.isEmpty())
        return layout.recordingsDir;
    const QString base = layout.portable ? QCoreApplication::applicationDirPath() : layout.recordingsDir;
    return QDir::cleanPath(QDir(base).absoluteFilePath(value));
}

}  // namespace DataLocations
