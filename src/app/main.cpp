#include <QApplication>
#include <QDebug>
#include <QDir>
#include <QFont>
#include <QIcon>
#include <QLibraryInfo>
#include <QQmlApplicationEngine>
#include <QQmlContext>
#include <QQuickWindow>
#include <QtQml>

#include <sys/stat.h>

#include "app/AppConsole.h"
#include "app/AppLog.h"
#include "app/CommandLine.h"
#include "app/FontLoader.h"
#include "app/QmlTypes.h"
#include "app/QuitOnSignal.h"
#include "app/RendererChoice.h"
#include "app/elog.h"
#include "bridge/AppBridge.h"
#include "input/GamepadInput.h"
#include "video/VideoBackend.h"

#ifdef SKYVANE_QML_DEBUGGER
#include <QQmlDebuggingEnabler>
// Debug builds only: lets a QML debugger attach when Qt's -qmljsdebugger switch is given. Its port
// takes any connection without authentication, which a program in the field must not offer.
static QQmlDebuggingEnabler qmlDebuggingEnabler;
#endif

namespace {

const char kFallbackFontFamily[] = "Microsoft YaHei";

QString installApplicationFont() {
    QString family = loadApplicationFont();
    qDebug() << "=== Font Loading Summary ===";
    qDebug() << "Loaded font family:" << family;
    if (family.isEmpty()) {
        qDebug() << "WARNING: Failed to load embedded font, using system default";
        return QString::fromLatin1(kFallbackFontFamily);
    }
    QFont font(family);
    font.setPixelSize(14);
    QApplication::setFont(font);
    const QFont applied = QApplication::font();
    qDebug() << "Global application font set to:" << applied.family() << "size:" << applied.pixelSize();
    return family;
}

void logEnvironment() {
    qDebug() << "Qt version:" << qVersion();
    qDebug() << "App dir:" << QCoreApplication::applicationDirPath();
    qDebug() << "Plugins path:" << QLibraryInfo::location(QLibraryInfo::PluginsPath);
    qDebug() << "QML imports path:" << QLibraryInfo::location(QLibraryInfo::Qml2ImportsPath);
    qDebug() << "PATH contains anaconda:" << qEnvironmentVariable("PATH").toLower().contains(QLatin1String("anaconda"));
}

// The operator's side of a session without a log file; standard error had it when the log failed.
void tellLogFolderUnwritable(AppBridge& bridge) {
    bridge.appendMessage(bridge
                             .tr2(QStringLiteral("日志文件夹 %1 无法写入：本次运行不记录日志文件"),
                                  QStringLiteral("Log folder %1 cannot be written: this run keeps no log file"))
                             .arg(AppLog::logFolder()));
}

}  // namespace

int main(int argc, char* argv[]) {
    // Whatever the program writes (configuration with the camera's password, logs, statistics,
    // recordings) is its user's alone, including files written by parts that do not set a mode.
    ::umask(S_IRWXG | S_IRWXO);
    QCoreApplication::setApplicationName(QStringLiteral("skyvane"));
    QCoreApplication::setApplicationVersion(QStringLiteral(SKYVANE_VERSION));
    if (CommandLine::asksForInformation(argc, argv)) {
        // Answered without a window, so it works on a text console or over ssh too.
        QCoreApplication information(argc, argv);
        CommandLine::process(information);
        return 0;
    }
    QApplication app(argc, argv);
    QGuiApplication::setDesktopFileName(QStringLiteral("org.skyvane.Skyvane"));
    CommandLine::process(app);
    quitApplicationOnTerminationSignals();

    if (AppConsole::start())
        qDebug() << "Debug console enabled (Console/Enabled in skyvane.cfg)";
    const bool fileLogging = AppLog::start();
    if (!fileLogging) {
        qWarning() << "AppLog init failed, file logging disabled.";
        qWarning() << "Log folder cannot be written:" << AppLog::logFolder();
    } else {
        qDebug() << "App log file:" << AppLog::logFilePath();
    }

    const QIcon appIcon(QStringLiteral(":/icon/icon.ico"));
    QApplication::setWindowIcon(appIcon);
    const QString fontFamily = installApplicationFont();
    logEnvironment();
    // Before any window exists: the scene graph is fixed once the first one is created.
    RendererChoice::apply();

    AppBridge bridge;
    if (!fileLogging)
        tellLogFolderUnwritable(bridge);
    // Between the controller (whose message log it writes) and the engine (destroyed before both).
    GamepadInput gamepad(&bridge);
    QQmlApplicationEngine engine;
    engine.rootContext()->setContextProperty(QStringLiteral("appBridge"), &bridge);
    engine.rootContext()->setContextProperty(QStringLiteral("appFontFamily"), fontFamily);
    engine.rootContext()->setContextProperty(QStringLiteral("gamepad"), &gamepad);

    elog_i("video", "Config file: %s", videoConfigFilePath().toUtf8().constData());
    elog_i("video", "Backend from skyvane.cfg: %s (ffmpeg compiled: %s)", videoBackendName().toUtf8().constData(),
           ffmpegBackendBuilt() ? "yes" : "no");
    registerQmlTypes();

    engine.load(QUrl(QStringLiteral("qrc:/qml/Main.qml")));
    if (engine.rootObjects().isEmpty())
        return -1;
    if (auto* window = qobject_cast<QQuickWindow*>(engine.rootObjects().first()))
        window->setIcon(appIcon);
    return QApplication::exec();
}
