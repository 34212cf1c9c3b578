#include <QtTest>

#include <QTemporaryDir>

#include <sched.h>
#include <sys/mount.h>

#include "TestSupport.h"
#include "app/AppConfig.h"
#include "app/AppLog.h"
#include "app/DataLocations.h"
#include "bridge/AppBridge.h"

namespace {

// Makes a directory really read-only, as /usr/lib/skyvane is for an installed copy, root included:
// a read-only bind mount of the directory onto itself, in a mount namespace of this process's own
// so that nothing outside the test sees it. Needs root (CAP_SYS_ADMIN); false otherwise.
bool mountReadOnly(const QString& dir) {
    static const bool privateNamespace =
        ::unshare(CLONE_NEWNS) == 0 && ::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
    const QByteArray path = QFile::encodeName(dir);
    if (!privateNamespace || ::mount(path.constData(), path.constData(), nullptr, MS_BIND, nullptr) != 0)
        return false;
    if (::mount(nullptr, path.constData(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) == 0)
        return true;
    ::umount2(path.constData(), MNT_DETACH);
    return false;
}

void unmount(const QString& dir) {
    ::umount2(QFile::encodeName(dir).constData(), MNT_DETACH);
}

// The desktop's folder settings under <home>/cfg: videos go to ~/Clips.
bool writeUserDirs(const QString& home) {
    QFile userDirs(home + "/cfg/user-dirs.dirs");
    return QDir().mkpath(home + "/cfg") && userDirs.open(QIODevice::WriteOnly) &&
           userDirs.write("XDG_VIDEOS_DIR=\"$HOME/Clips\"\n") > 0;
}

}  // namespace

// The choice between the application directory and the user's folders, and every reader and writer
// following it. This executable's own application directory is mounted read-only before anything
// asks for the layout, so the process runs as an installed copy does.
class TestDataLocations : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_home;
    bool m_appDirReadOnly = false;

    QString home() const { return m_home.path(); }

private slots:
    void initTestCase() {
        QVERIFY(m_home.isValid());
        qputenv("HOME", QFile::encodeName(home()));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(home() + "/cfg"));
        qputenv("XDG_STATE_HOME", QFile::encodeName(home() + "/state"));
        QVERIFY(writeUserDirs(home()));
        m_appDirReadOnly = mountReadOnly(TestSupport::appDir());
    }
    void cleanupTestCase() {
        if (m_appDirReadOnly)
            unmount(TestSupport::appDir());
    }

    void decision_data() {
        QTest::addColumn<bool>("readOnly");
        QTest::addColumn<QByteArray>("xdgConfig");
        QTest::addColumn<QByteArray>("xdgState");
        QTest::addColumn<bool>("userDirs");
        QTest::addColumn<QString>("config");  // relative to the application directory or to HOME
        QTest::addColumn<QString>("state");
        QTest::addColumn<QString>("recordings");
        auto row = [](const char* name, bool readOnly, const char* xdgConfig, const char* xdgState, bool userDirs,
                      const char* config, const char* state, const char* recordings) {
            QTest::newRow(name) << readOnly << QByteArray(xdgConfig) << QByteArray(xdgState) << userDirs
                                << QString(config) << QString(state) << QString(recordings);
        };
        row("writable-app-dir-ignores-xdg", false, "%h/cfg", "%h/state", true, "%a/skyvane.cfg", "%a", "%a/recordings");
        row("read-only-xdg-set", true, "%h/cfg", "%h/state", true, "%h/cfg/skyvane/skyvane.cfg", "%h/state/skyvane",
            "%h/Clips");
        row("read-only-xdg-unset", true, nullptr, nullptr, false, "%h/.config/skyvane/skyvane.cfg",
            "%h/.local/state/skyvane", "%h/Videos");
        row("read-only-xdg-relative-ignored", true, "cfg", "state", false, "%h/.config/skyvane/skyvane.cfg",
            "%h/.local/state/skyvane", "%h/Videos");
    }
    void decision() {
        QFETCH(bool, readOnly);
        QFETCH(QByteArray, xdgConfig);
        QFETCH(QByteArray, xdgState);
        QFETCH(bool, userDirs);
        QFETCH(QString, config);
        QFETCH(QString, state);
        QFETCH(QString, recordings);
        QTemporaryDir scratchHome;
        QTemporaryDir appDir;
        const QString h = scratchHome.path();
        const QString a = appDir.path();
        if (readOnly && !mountReadOnly(a))
            QSKIP("a read-only mount needs root");
        const QByteArray savedHome = qgetenv("HOME"), savedConfig = qgetenv("XDG_CONFIG_HOME"),
                         savedState = qgetenv("XDG_STATE_HOME");
        qputenv("HOME", QFile::encodeName(h));
        qputenv("XDG_CONFIG_HOME", QByteArray(xdgConfig).replace("%h", QFile::encodeName(h)));
        qputenv("XDG_STATE_HOME", QByteArray(xdgState).replace("%h", QFile::encodeName(h)));
        if (userDirs)
            QVERIFY(writeUserDirs(h));
        DataLocations::Environment env = DataLocations::currentEnvironment();
        env.appDir = a;
        const DataLocations::Layout layout = DataLocations::decide(env);
        qputenv("HOME", savedHome);
        qputenv("XDG_CONFIG_HOME", savedConfig);
        qputenv("XDG_STATE_HOME", savedState);
        if (readOnly)
            unmount(a);

        const auto expand = [&](QString pattern) { return pattern.replace("%h", h).replace("%a", a); };
        QCOMPARE(layout.portable, !readOnly);
        QCOMPARE(layout.configFile, expand(config));
        QCOMPARE(layout.stateDir, expand(state));
        QCOMPARE(layout.recordingsDir, expand(recordings));
        QVERIFY2(QDir(a).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).isEmpty(),
                 "the writability probe leaves nothing behind");
        env.appDir = a + "/no-such-dir";
        QVERIFY2(!DataLocations::decide(env).portable, "a missing directory counts as read-only");
    }

    // The process itself runs from a read-only directory: its configuration, session log and
    // statistics land in the XDG folders, and a language change is there for the next start.
    void installedCopyWritesIntoUserFolders() {
        if (!m_appDirReadOnly)
            QSKIP("a read-only mount needs root");
        QVERIFY(!DataLocations::isWritableDirectory(TestSupport::appDir()));
        const DataLocations::Layout& layout = DataLocations::current();
        QVERIFY(!layout.portable);
        QCOMPARE(AppConfig::filePath(), home() + "/cfg/skyvane/skyvane.cfg");

        QVERIFY(AppLog::start());
        QVERIFY2(AppLog::logFilePath().startsWith(home() + "/state/skyvane/logs/skyvane_"),
                 qPrintable(AppLog::logFilePath()));
        const QByteArray log = TestSupport::readFile(AppLog::logFilePath());
        for (const QString& line :
             {"Data folders: user folders, application directory " + TestSupport::appDir() + " is read-only",
              "Configuration file: " + home() + "/cfg/skyvane/skyvane.cfg",
              "Logs and protocol statistics: " + home() + "/state/skyvane", "Recordings: " + home() + "/Clips"}) {
            QVERIFY2(log.contains(line.toUtf8()), qPrintable("log lacks: " + line + "\n" + log));
        }

        {
            AppBridge bridge;
            QCOMPARE(bridge.language(), QString("zh"));
            bridge.setLanguage("en");
            bridge.writeProtocolStats();
        }
        QVERIFY(TestSupport::readFile(home() + "/cfg/skyvane/skyvane.cfg").contains("language=en"));
        QVERIFY(
            TestSupport::readFile(home() + "/state/skyvane/protocol_stats.log").contains("==== Protocol Stats ===="));
        AppBridge restarted;
        QCOMPARE(restarted.language(), QString("en"));
        QVERIFY(!QFile::exists(TestSupport::appDir() + "/skyvane.cfg"));
        QVERIFY(!QFile::exists(TestSupport::appDir() + "/protocol_stats.log"));

        // Video/RecordingDir: unset gives the videos folder, a relative value lies below it; a
        // portable copy takes a relative value from its application directory.
        QCOMPARE(DataLocations::recordingsFolder(layout, QString()), home() + "/Clips");
        QCOMPARE(DataLocations::recordingsFolder(layout, " flights "), home() + "/Clips/flights");
        QCOMPARE(DataLocations::recordingsFolder(layout, "/srv/rec"), QString("/srv/rec"));
        QCOMPARE(DataLocations::recordingsFolder(DataLocations::Layout(), "rec"),
                 QCoreApplication::applicationDirPath() + "/rec");
    }
};

QTEST_GUILESS_MAIN(TestDataLocations)
#include "tst_datalocations.moc"
