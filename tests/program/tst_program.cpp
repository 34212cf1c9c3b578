#include <QtTest>

#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>

#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <functional>

#include "TestSupport.h"

namespace {

// Copies a program into a directory of its own, which then is its application directory.
QString installInto(const QString& dir, const QString& program) {
    const QString target = dir + "/" + QFileInfo(program).fileName();
    QFile::remove(target);
    return QFile::copy(program, target) ? target : QString();
}

bool writeConfigIn(const QString& appDir, const QByteArray& iniText) {
    QFile config(appDir + "/skyvane.cfg");
    return config.open(QIODevice::WriteOnly) && config.write(iniText) == iniText.size();
}

QString logFileIn(const QString& appDir) {
    const QStringList logs = QDir(appDir + "/logs").entryList({"skyvane_*.log"}, QDir::Files);
    return logs.isEmpty() ? QString() : appDir + "/logs/" + logs.first();
}

QProcessEnvironment headlessEnvironment() {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("QT_QUICK_BACKEND", "software");
    return env;
}

struct Run {
    int exitCode = -2;
    QProcess::ExitStatus exitStatus = QProcess::CrashExit;
    QString output;
};

// Starts the program, waits until its start-up has reached the event loop, then asks it to quit
// with SIGTERM the way a service manager or a terminal would.
Run runUntilStarted(const QString& program, const QProcessEnvironment& env = headlessEnvironment(),
                    const QStringList& args = {}, const std::function<void()>& whileRunning = {}) {
    QProcess process;
    process.setProcessEnvironment(env);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, args);
    Run run;
    if (!process.waitForStarted(10000))
        return run;
    QString output;
    QElapsedTimer timer;
    timer.start();
    // The window icon is set after the root object exists: past that point the event loop runs.
    while (timer.elapsed() < 20000 && process.state() == QProcess::Running) {
        process.waitForReadyRead(100);
        output += QString::fromUtf8(process.readAll());
        if (output.contains("Backend from skyvane.cfg")) {
            QTest::qWait(1500);
            break;
        }
    }
    if (whileRunning && process.state() == QProcess::Running)
        whileRunning();
    if (process.state() == QProcess::Running)
        ::kill(static_cast<pid_t>(process.processId()), SIGTERM);
    process.waitForFinished(10000);
    run.output = output + QString::fromUtf8(process.readAll());
    run.exitCode = process.exitCode();
    run.exitStatus = process.exitStatus();
    return run;
}

}  // namespace

class TestProgram : public QObject {
    Q_OBJECT

private slots:
    void startsLogsAndQuitsOnSigterm() {
        QTemporaryDir dir;
        const QString program = installInto(dir.path(), SKYVANE_EXE);
        const Run run = runUntilStarted(program);
        QVERIFY2(run.exitStatus == QProcess::NormalExit && run.exitCode == 0, qPrintable(run.output));

        // Start-up diagnostics, in order.
        int from = 0;
        for (const QString& piece :
             {QString("App log file:"), QString("=== Font Loading Summary ==="), QString("Loaded font family:"),
              QString("Qt version:"), QString("App dir: \"%1\"").arg(dir.path()), QString("Plugins path:"),
              QString("QML imports path:"), QString("PATH contains anaconda: false")}) {
            const int at = run.output.indexOf(piece, from);
            QVERIFY2(at >= 0, qPrintable("missing or out of order: " + piece + "\n" + run.output));
            from = at;
        }
        QVERIFY2(!run.output.contains("qrc:/qml/"), qPrintable("QML warnings:\n" + run.output));

        // The log file's own layout and the backend's choice are the log's and the video's tests;
        // here what the program puts in the log.
        const QString log = logFileIn(dir.path());
        QVERIFY2(!log.isEmpty(), "one log file under logs/");
        const QByteArray text = TestSupport::readFile(log);
        const QString configPath = dir.path() + "/skyvane.cfg";
        for (const QString& piece :
             {QString("Protocol log: enabled=no tx=yes rx=yes status_frames=no hex=no"),
              QString("Video backend=easyplayer (see [Video] in %1), log file=%2").arg(configPath, log),
              QString("Config file: %1").arg(configPath),
              QString("Backend from skyvane.cfg: easyplayer (ffmpeg compiled: yes)")}) {
            QVERIFY2(text.contains(piece.toUtf8()), qPrintable("log lacks: " + piece + "\n" + text));
        }
    }

    // Help and version are answered without a display (no platform plugin is asked for); an unknown
    // option ends the program before any window opens. A main QML file that does not load ends
    // the program with -1 (255 as a process exit status) and names the file.
    void endsByItself_data() {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QStringList>("output");
        const QStringList version{"skyvane " SKYVANE_VERSION "\n"};
        QTest::newRow("version") << SKYVANE_EXE << QStringList{"--version"} << 0 << version;
        QTest::newRow("version-short") << SKYVANE_EXE << QStringList{"-v"} << 0 << version;
        QTest::newRow("help") << SKYVANE_EXE << QStringList{"--help"} << 0
                              << QStringList{"Usage: ", "-h, --help", "-v, --version",
                                             "Ground station for camera gimbals"};
        QTest::newRow("unknown-option") << SKYVANE_EXE << QStringList{"--no-such-option"} << 1
                                        << QStringList{"Unknown option 'no-such-option'."};
        QTest::newRow("main-qml-does-not-load")
            << SKYVANE_BADQML_EXE << QStringList() << 255 << QStringList{"qrc:/qml/Main.qml"};
    }
    void endsByItself() {
        QFETCH(QString, program);
        QFETCH(QStringList, args);
        QFETCH(int, exitCode);
        QFETCH(QStringList, output);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove("DISPLAY");
        env.remove("WAYLAND_DISPLAY");
        if (exitCode == 0)
            env.remove("QT_QPA_PLATFORM");
        else
            env.insert("QT_QPA_PLATFORM", "offscreen");
        QTemporaryDir dir;
        QProcess process;
        process.setProcessEnvironment(env);
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(installInto(dir.path(), program), args);
        QVERIFY2(process.waitForFinished(30000), "the program must end by itself");
        const QString text = QString::fromUtf8(process.readAll());
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QVERIFY2(process.exitCode() == exitCode, qPrintable(text));
        for (const QString& piece : output)
            QVERIFY2(text.contains(piece), qPrintable("lacks " + piece + ":\n" + text));
        if (exitCode != 255)
            QVERIFY2(!QDir(dir.path() + "/logs").exists(), "no session is started");
    }

    // Installed system-wide the application directory is read-only: the program still starts,
    // takes its settings from the user's config folder and writes its log into the state folder.
    void readOnlyApplicationDirectoryUsesUserFolders() {
        if (QStandardPaths::findExecutable("unshare").isEmpty() || ::geteuid() != 0)
            QSKIP("a read-only mount needs unshare(1) and root");
        QTemporaryDir dir;
        QTemporaryDir home;
        const QString program = installInto(dir.path(), SKYVANE_EXE);
        QVERIFY(QDir().mkpath(home.path() + "/config/skyvane"));
        QVERIFY(::chmod(QFile::encodeName(home.path() + "/config/skyvane").constData(), 0755) == 0);
        QFile config(home.path() + "/config/skyvane/skyvane.cfg");
        QVERIFY(config.open(QIODevice::WriteOnly) && config.write("[general]\nlanguage=en\n") > 0);
        config.close();
        QProcessEnvironment env = headlessEnvironment();
        env.insert("HOME", home.path());
        env.insert("XDG_CONFIG_HOME", home.path() + "/config");
        env.insert("XDG_STATE_HOME", home.path() + "/state");
        const Run run = runUntilStarted(
            "unshare", env,
            {"-m", "sh", "-c", R"(mount --bind "$0" "$0" && mount -o remount,bind,ro "$0" "$0" && exec "$1")",
             dir.path(), program});
        QVERIFY2(run.exitStatus == QProcess::NormalExit && run.exitCode == 0, qPrintable(run.output));
        QVERIFY2(run.output.contains("] Application started"),
                 qPrintable("English from the user's config:\n" + run.output));

        const QString log = logFileIn(home.path() + "/state/skyvane");
        QVERIFY2(!log.isEmpty(), qPrintable("no log under the state folder:\n" + run.output));
        // Folders the program made are the user's alone; the one it found keeps its mode.
        for (const char* made : {"/state", "/state/skyvane", "/state/skyvane/logs"})
            QCOMPARE(TestSupport::modeOf(home.path() + made), QString("700"));
        QCOMPARE(TestSupport::modeOf(home.path() + "/config/skyvane"), QString("755"));
        // What the log says of the folders is the data locations' own test.
        const QByteArray text = TestSupport::readFile(log);
        QVERIFY2(text.contains("Config file: " + QFile::encodeName(home.path()) + "/config/skyvane/skyvane.cfg"), text);
    }

    // Without a log file the program still runs, and says so on standard error and, in the
    // operator's language, in the message log.
    void unwritableLogFolderRunsWithoutLogFile_data() {
        QTest::addColumn<QString>("cause");
        QTest::addColumn<QString>("warning");
        QTest::newRow("path-too-long") << "deep"
                                       << "[AppLog] Log path too long:";
        QTest::newRow("logs-is-a-file") << "file"
                                        << "[AppLog] Failed to create log directory:";
    }
    void unwritableLogFolderRunsWithoutLogFile() {
        QFETCH(QString, cause);
        QFETCH(QString, warning);
        QTemporaryDir dir;
        QString appDir = dir.path();
        while (cause == "deep" && appDir.toUtf8().size() < 520)
            appDir += QStringLiteral("/目录_directory_level");
        QVERIFY(QDir().mkpath(appDir));
        QFile logsFile(appDir + "/logs");
        if (cause == "file")
            QVERIFY(logsFile.open(QIODevice::WriteOnly));
        QVERIFY(writeConfigIn(appDir, "[general]\nlanguage=en\n"));
        const QString program = installInto(appDir, SKYVANE_EXE);
        const Run run = runUntilStarted(program);
        QCOMPARE(run.exitCode, 0);
        for (const QString& line :
             {warning, QString("AppLog init failed, file logging disabled."),
              QString("] Log folder %1/logs cannot be written: this run keeps no log file").arg(appDir)})
            QVERIFY2(run.output.contains(line), qPrintable("lacks " + line + ":\n" + run.output));
        QVERIFY(logFileIn(appDir).isEmpty());
    }

    // A FIFO where a file read at start belongs blocked that read for good (SIGTERM waited behind
    // it); it is skipped with a line in the log (a directory or a device too, as the configuration's
    // own tests show).
    void unusableFilesAtStartAreSkipped_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("line");
        QTest::newRow("config-fifo")
            << "skyvane.cfg"
            << "Configuration file %1 is a FIFO, not a regular file: not opened, defaults apply";
        QTest::newRow("gamepad-mapping-fifo") << "pads.txt"
                                              << "Gamepad mapping file %1 is a FIFO, not a regular file: not read";
    }
    void unusableFilesAtStartAreSkipped() {
        QFETCH(QString, name);
        QFETCH(QString, line);
        QTemporaryDir dir;
        const QString program = installInto(dir.path(), SKYVANE_EXE);
        const QString path = dir.path() + "/" + name;
        if (name != "skyvane.cfg")
            QVERIFY(writeConfigIn(dir.path(), "[Input]\nMappingFile=" + name.toUtf8() + "\n"));
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        const Run run = runUntilStarted(program);
        QVERIFY2(run.exitStatus == QProcess::NormalExit && run.exitCode == 0, qPrintable(run.output));
        QVERIFY2(run.output.contains("] Application started") || run.output.contains("] 应用已启动"),
                 qPrintable(run.output));
        const QByteArray log = TestSupport::readFile(logFileIn(dir.path()));
        QVERIFY2(log.contains(line.arg(path).toUtf8()), qPrintable("log lacks " + line.arg(path) + ":\n" + log));
        QCOMPARE(QFileInfo(path).isFile(), false);  // left as it was
    }

    // The debugger's port would take anyone: only a Debug build opens it. The same run shows the
    // configured backend and a conda PATH in the log.
    void qmlDebuggerOnlyInDebugBuilds() {
        QTemporaryDir dir;
        const QString program = installInto(dir.path(), SKYVANE_EXE);
        QVERIFY(writeConfigIn(dir.path(), "[Video]\nBackend= FFmpeg \n"));
        const quint16 port = freeTcpPort();
        bool listening = false;
        // Qt's debugger services keep some of their objects to the end of the process, which the
        // sanitizer build's leak check would report as the program's.
        QProcessEnvironment env = headlessEnvironment();
        env.insert("ASAN_OPTIONS", env.value("ASAN_OPTIONS") + ":detect_leaks=0");
        env.insert("PATH", env.value("PATH") + ":/opt/AnaConda3/bin");
        const Run run =
            runUntilStarted(program, env, {QStringLiteral("-qmljsdebugger=port:%1,host:127.0.0.1").arg(port)}, [&] {
                QTcpSocket probe;
                probe.connectToHost(QHostAddress::LocalHost, port);
                listening = probe.waitForConnected(5000);
            });
        QCOMPARE(run.exitCode, 0);
#ifdef SKYVANE_QML_DEBUGGER
        QVERIFY2(listening, qPrintable(run.output));
#else
        QVERIFY2(!listening, "a release build listens for a QML debugger");
        QVERIFY2(run.output.contains("Debugging has not been enabled"), qPrintable(run.output));
#endif
        QVERIFY2(run.output.contains("PATH contains anaconda: true"), qPrintable(run.output));
        const QByteArray text = TestSupport::readFile(logFileIn(dir.path()));
        QVERIFY2(text.contains("Backend from skyvane.cfg: ffmpeg (ffmpeg compiled: yes)"), text.constData());
    }

    // With Console/Enabled the terminal the program runs in becomes the debug console.
    void consoleInATerminal() {
        if (QStandardPaths::findExecutable("script").isEmpty())
            QSKIP("script(1) is not installed");
        QTemporaryDir dir;
        const QString program = installInto(dir.path(), SKYVANE_EXE);
        QVERIFY(writeConfigIn(dir.path(), "[Console]\nEnabled=true\n[general]\nlanguage=en\n"));
        // script(1) gives the program a pseudo-terminal as standard output.
        const Run run = runUntilStartedInTerminal(program);
        for (const char* piece : {"\033]0;Skyvane Debug Console\007",
                                  "Skyvane debug console ready (UTF-8). qDebug / QML / EasyLogger output here.",
                                  "Debug console enabled (Console/Enabled in skyvane.cfg)", "] Application started"})
            QVERIFY2(run.output.contains(piece), qPrintable(QString("lacks ") + piece + ":\n" + run.output));
        const QByteArray text = TestSupport::readFile(logFileIn(dir.path()));
        QVERIFY2(text.contains("Debug console: attached"), text.constData());
    }

    // With a saved product and stream the live picture comes up by itself, whichever backend plays it
    // and whether the camera serves before the program starts or only seconds later; the stream is
    // opened exactly once at start-up.
    void savedStreamComesUpByItselfOpenedOnce_data() {
        QTest::addColumn<QString>("backend");
        QTest::addColumn<bool>("cameraLate");
        QTest::newRow("ffmpeg-camera-first") << "ffmpeg" << false;
        QTest::newRow("ffmpeg-camera-late") << "ffmpeg" << true;
        QTest::newRow("player-library-camera-first") << "easyplayer" << false;
        QTest::newRow("player-library-camera-late") << "easyplayer" << true;
    }

    void savedStreamComesUpByItselfOpenedOnce() {
        QFETCH(QString, backend);
        QFETCH(bool, cameraLate);
        QTemporaryDir dir;
        const QString program = installInto(dir.path(), SKYVANE_EXE);
        QVERIFY(!installInto(dir.path(), STANDIN_PLAYER_PATH).isEmpty());
        const quint16 port = freeTcpPort();
        QProcess seed;
        seed.start(SKYVANE_SIM_PATH, {"--prepare-app-config", dir.path() + "/skyvane.cfg", "--rtsp-port",
                                      QString::number(port), "--product", "Tern"});
        QVERIFY(seed.waitForFinished(30000) && seed.exitCode() == 0);
        QVERIFY(writeConfigIn(dir.path(), TestSupport::readFile(dir.path() + "/skyvane.cfg")
                                              .replace("Backend=ffmpeg", "Backend=" + backend.toUtf8())));

        QProcess camera;
        const QStringList cameraArgs{"--no-udp", "--rtsp-port", QString::number(port), "--video-size", "640x360"};
        if (!cameraLate)
            QVERIFY(startCamera(&camera, cameraArgs));
        QProcess process;
        process.setProcessEnvironment(headlessEnvironment());
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(program, QStringList());
        QVERIFY(process.waitForStarted(10000));
        const QString firstPicture =
            backend == "ffmpeg" ? "FFmpeg first picture 640x360" : "EasyPlayer first picture 640x360";
        if (cameraLate) {
            // The program asks in vain at first, as it does while a camera boots.
            QTRY_VERIFY_WITH_TIMEOUT(TestSupport::readFile(logFileIn(dir.path())).contains("open input error") ||
                                         TestSupport::readFile(logFileIn(dir.path())).contains("reconnecting url="),
                                     30000);
            QTest::qWait(4000);
            QVERIFY(startCamera(&camera, cameraArgs));
        }
        QTRY_VERIFY_WITH_TIMEOUT(TestSupport::readFile(logFileIn(dir.path())).contains(firstPicture.toUtf8()), 60000);
        ::kill(static_cast<pid_t>(process.processId()), SIGTERM);
        QVERIFY(process.waitForFinished(20000));
        camera.terminate();
        camera.waitForFinished(5000);

        const QString log = QString::fromUtf8(TestSupport::readFile(logFileIn(dir.path())));
        const QString opened = backend == "ffmpeg" ? "FFmpegItem open url=" : "EasyPlayer open url=";
        QCOMPARE(log.count(opened + QStringLiteral("rtsp://127.0.0.1:%1/live0").arg(port)), 1);
        QCOMPARE(log.count(opened), 1);
    }

private:
    static quint16 freeTcpPort() {
        QTcpServer server;
        server.listen(QHostAddress::LocalHost, 0);
        return server.serverPort();
    }

    static bool startCamera(QProcess* camera, const QStringList& args) {
        camera->start(SKYVANE_SIM_PATH, args);
        if (!camera->waitForStarted(10000))
            return false;
        for (int i = 0; i < 300 && camera->state() == QProcess::Running; ++i) {
            camera->waitForReadyRead(100);
            if (camera->readAllStandardOutput().contains("RTSP ready"))
                return true;
        }
        return false;
    }

    Run runUntilStartedInTerminal(const QString& program) {
        QProcess process;
        process.setProcessEnvironment(headlessEnvironment());
        process.start("script",
                      {"-q", "-e", "-c", program + " & pid=$!; sleep 4; kill -TERM $pid; wait $pid", "/dev/null"});
        process.waitForFinished(30000);
        Run run;
        run.output = QString::fromUtf8(process.readAll());
        run.exitCode = process.exitCode();
        return run;
    }
};

QTEST_GUILESS_MAIN(TestProgram)
#include "tst_program.moc"
