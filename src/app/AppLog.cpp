#include "AppLog.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDebug>
#include <QDir>

#include <cstring>

#include "AppConfig.h"
#include "AppConsole.h"
#include "DataLocations.h"
#include "SafeFiles.h"
#include "elog.h"

namespace AppLog {
namespace {

constexpr int kPathBufferSize = 512;
char g_path[kPathBufferSize] = {};
ProtocolSwitches g_switches;

const char* yesNo(bool value) {
    return value ? "yes" : "no";
}

void readProtocolSwitches() {
    g_switches.enabled = AppConfig::boolValue(QStringLiteral("Protocol/LogEnabled"), false);
    g_switches.tx = AppConfig::boolValue(QStringLiteral("Protocol/LogTx"), true);
    g_switches.rx = AppConfig::boolValue(QStringLiteral("Protocol/LogRx"), true);
    g_switches.statusFrames = AppConfig::boolValue(QStringLiteral("Protocol/LogStatusFrames"), false);
    g_switches.hex = AppConfig::boolValue(QStringLiteral("Protocol/LogHex"), false);
}

void writeBanner(const QByteArray& path) {
    elog_i("app", "========== Skyvane log session start (UTF-8) ==========");
    elog_i("app", "Log file: %s", path.constData());
    elog_i("app", "Local time: %s",
           QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")).toUtf8().constData());
    elog_i("app", "Build time: %s %s", __DATE__, __TIME__);
}

// Which layout was chosen and why, so that a user who looks for the files finds them.
void writeDataFolders(const DataLocations::Layout& layout) {
    const QByteArray appDir = QCoreApplication::applicationDirPath().toUtf8();
    if (layout.portable) {
        elog_i("app", "Data folders: portable, application directory %s is writable", appDir.constData());
    } else {
        elog_i("app", "Data folders: user folders, application directory %s is read-only", appDir.constData());
    }
    elog_i("app", "Configuration file: %s", layout.configFile.toUtf8().constData());
    // Its readers said so on standard error before this log existed.
    const QString unusable = AppConfig::unusableReason(layout.configFile);
    if (!unusable.isEmpty()) {
        elog_w("app", "Configuration file %s is %s, not a regular file: not opened, defaults apply",
               layout.configFile.toUtf8().constData(), unusable.toUtf8().constData());
    }
    elog_i("app", "Logs and protocol statistics: %s", layout.stateDir.toUtf8().constData());
    const QString recordings = DataLocations::recordingsFolder(
        layout, AppConfig::stringValue(QStringLiteral("Video/RecordingDir"), QString()));
    elog_i("app", "Recordings: %s", recordings.toUtf8().constData());
}

}  // namespace

QString logFilePathFor(const QString& stateDir, const QDateTime& startTime) {
    const QString name =
        QStringLiteral("skyvane_") + startTime.toString(QStringLiteral("yyyyMMdd_HHmmss")) + QStringLiteral(".log");
    return QDir::toNativeSeparators(stateDir + QStringLiteral("/logs/") + name);
}

bool start() {
    if (g_path[0] != '\0')
        return true;

    const DataLocations::Layout& layout = DataLocations::current();
    const QString logDir = layout.logDir();
    if (!SafeFiles::makePrivateFolder(logDir)) {
        qWarning() << "[AppLog] Failed to create log directory:" << logDir;
        return false;
    }
    const QByteArray path = logFilePathFor(layout.stateDir, QDateTime::currentDateTime()).toUtf8();
    if (path.size() + 1 >= kPathBufferSize) {
        qWarning() << "[AppLog] Log path too long:" << QString::fromUtf8(path);
        return false;
    }
    // A folder that exists but may not be written (or a read-only mount) ends here, not in a
    // session that claims a log file it cannot write.
    if (!SafeFiles::preparePrivateFile(QString::fromUtf8(path))) {
        qWarning() << "[AppLog] Cannot create log file:" << QString::fromUtf8(path);
        return false;
    }
    std::memcpy(g_path, path.constData(), static_cast<std::size_t>(path.size()) + 1);
    if (elog_init() != 0) {
        qWarning() << "[AppLog] elog_init failed";
        g_path[0] = '\0';
        return false;
    }
    for (int level = ELOG_LVL_ASSERT; level <= ELOG_LVL_VERBOSE; ++level) {
        elog_set_fmt(level, ELOG_FMT_LVL | ELOG_FMT_TAG | ELOG_FMT_TIME);
    }
    elog_start();
    writeBanner(path);
    writeDataFolders(layout);

    readProtocolSwitches();
    elog_i("app", "Debug console: %s (see [Console] Enabled in cfg)", AppConsole::isAttached() ? "attached" : "off");
    elog_i("app", "Protocol log: enabled=%s tx=%s rx=%s status_frames=%s hex=%s (see [Protocol] in cfg)",
           yesNo(g_switches.enabled), yesNo(g_switches.tx), yesNo(g_switches.rx), yesNo(g_switches.statusFrames),
           yesNo(g_switches.hex));
    return true;
}

QString logFolder() {
    return DataLocations::current().logDir();
}

QString logFilePath() {
    return QString::fromUtf8(g_path);
}

const char* logFilePathUtf8() {
    return g_path;
}

const ProtocolSwitches& protocolSwitches() {
    return g_switches;
}

void setProtocolSwitches(const ProtocolSwitches& switches) {
    g_switches = switches;
}

}  // namespace AppLog
