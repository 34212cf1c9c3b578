#include <QtTest>

#include <QRegularExpression>

#include "TestSupport.h"
#include "app/AppLog.h"
#include "app/elog.h"

// The session log: one file per run under logs/, with the banner and the protocol switches.
class TestAppLog : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        QDir(TestSupport::appDir() + "/logs").removeRecursively();
        QVERIFY(TestSupport::writeConfig("[Protocol]\nLogEnabled=true\nLogTx=false\nLogHex=1\n"));
    }
    void cleanupTestCase() { TestSupport::removeConfig(); }

    void pathNaming() {
        const QDateTime start(QDate(2026, 3, 4), QTime(5, 6, 7));
        QCOMPARE(AppLog::logFilePathFor("/opt/skyvane", start),
                 QString("/opt/skyvane/logs/skyvane_20260304_050607.log"));
    }

    // Once per run: a second start keeps the file of the first.
    void startWritesBannerAndSwitchesOnce() {
        QVERIFY(AppLog::logFilePath().isEmpty());
        const QDateTime before = QDateTime::currentDateTime();
        QVERIFY(AppLog::start());
        const QString path = AppLog::logFilePath();
        QVERIFY2(path.startsWith(TestSupport::appDir() + "/logs/skyvane_"), qPrintable(path));
        QVERIFY2(QRegularExpression(R"(/skyvane_\d{8}_\d{6}\.log$)").match(path).hasMatch(), qPrintable(path));
        const QDateTime named = QDateTime::fromString(path.right(19).left(15), "yyyyMMdd_HHmmss");
        QVERIFY(qAbs(named.secsTo(before)) <= 2);

        // What the operator did is the user's alone: the file and the folder made for it.
        QCOMPARE(TestSupport::modeOf(path), QString("600"));
        QCOMPARE(TestSupport::modeOf(TestSupport::appDir() + "/logs"), QString("700"));

        const QByteArray bytes = TestSupport::readFile(path);
        QVERIFY(bytes.startsWith("\xEF\xBB\xBF"));
        const QString text = QString::fromUtf8(bytes);
        const QStringList expectedInOrder = {
            "I/app      [",
            "] ========== Skyvane log session start (UTF-8) ==========",
            "] Log file: " + path,
            "] Local time: ",
            "] Build time: ",
            "] Debug console: ",
            "] Protocol log: enabled=yes tx=no rx=yes status_frames=no hex=yes (see [Protocol] in cfg)",
        };
        int from = 0;
        for (const QString& piece : expectedInOrder) {
            const int at = text.indexOf(piece, from);
            QVERIFY2(at >= 0, qPrintable("missing or out of order: " + piece + "\n" + text));
            from = at + piece.size();
        }

        QVERIFY(AppLog::start());
        QCOMPARE(AppLog::logFilePath(), path);
        QCOMPARE(QDir(TestSupport::appDir() + "/logs").entryList(QDir::Files).size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestAppLog)
#include "tst_applog.moc"
