#include <QtTest>

#include <QRegularExpression>
#include <QTemporaryDir>

#include <fcntl.h>
#include <unistd.h>

#include <thread>
#include <vector>

#include "TestSupport.h"
#include "app/AppLog.h"
#include "app/elog.h"

namespace {

const QByteArray kBom("\xEF\xBB\xBF");
const QRegularExpression kLinePattern(
    QStringLiteral(R"(^([AEWIDV])/(\S+) *\[(\d{4})-(\d\d)-(\d\d) (\d\d):(\d\d):(\d\d)\.(\d{3})\] (.*)$)"));

QStringList assertions;
void recordAssertion(const char* expr, const char* func, long) {
    assertions << QStringLiteral("%1@%2").arg(QString::fromUtf8(expr), QString::fromUtf8(func));
}

// Keeps the many lines of a bulk test off the test's standard output.
class StdoutSilencer {
public:
    StdoutSilencer() : m_saved(dup(STDOUT_FILENO)) {
        std::fflush(stdout);
        const int devNull = open("/dev/null", O_WRONLY);
        dup2(devNull, STDOUT_FILENO);
        close(devNull);
    }
    ~StdoutSilencer() {
        std::fflush(stdout);
        dup2(m_saved, STDOUT_FILENO);
        close(m_saved);
    }

private:
    int m_saved;
};

QList<QByteArray> linesOf(const QString& path) {
    QByteArray text = TestSupport::readFile(path);
    if (text.startsWith(kBom))
        text.remove(0, kBom.size());
    QList<QByteArray> lines = text.split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

}  // namespace

class TestElog : public QObject {
    Q_OBJECT

private slots:
    // The session log of this run is started once, with the protocol switches of the config.
    void initTestCase() {
        elog_assert_set_hook(recordAssertion);
        QVERIFY(m_dir.isValid());
        QDir(TestSupport::appDir() + "/logs").removeRecursively();
        QVERIFY(TestSupport::writeConfig("[Protocol]\nLogEnabled=true\nLogTx=false\nLogHex=1\n"));
        QVERIFY(AppLog::logFilePath().isEmpty());
        m_started = QDateTime::currentDateTime();
        QVERIFY(AppLog::start());
    }
    void cleanupTestCase() { TestSupport::removeConfig(); }

    void init() {
        m_path = m_dir.filePath(QStringLiteral("%1.log").arg(QTest::currentTestFunction()));
        QVERIFY(elog_file_reopen(m_path.toUtf8().constData()));
    }

    // One file per run under logs/, named by its start, with the banner and the protocol switches;
    // a second start keeps the file of the first.
    void sessionFileBannerAndSwitches() {
        const QDateTime start(QDate(2026, 3, 4), QTime(5, 6, 7));
        QCOMPARE(AppLog::logFilePathFor("/opt/skyvane", start),
                 QString("/opt/skyvane/logs/skyvane_20260304_050607.log"));
        const QString path = AppLog::logFilePath();
        QVERIFY2(path.startsWith(TestSupport::appDir() + "/logs/skyvane_"), qPrintable(path));
        QVERIFY2(QRegularExpression(R"(/skyvane_\d{8}_\d{6}\.log$)").match(path).hasMatch(), qPrintable(path));
        const QDateTime named = QDateTime::fromString(path.right(19).left(15), "yyyyMMdd_HHmmss");
        QVERIFY2(qAbs(named.secsTo(m_started)) <= 2, qPrintable(path));

        // What the operator did is the user's alone: the file and the folder made for it.
        QCOMPARE(TestSupport::modeOf(path), QString("600"));
        QCOMPARE(TestSupport::modeOf(TestSupport::appDir() + "/logs"), QString("700"));

        const QByteArray bytes = TestSupport::readFile(path);
        QVERIFY(bytes.startsWith(kBom));
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

    void lineLayout() {
        elog_i("app", "hello %d", 42);
        elog_w("video", "%s", "second");
        elog_i("ninechars", "产品切换 -> %s", "Tern");
        elog_i("12345678", "y");
        elog_i("app", "%s", QByteArray(2000, 'x').constData());
        elog_i("app", "after");
        const QList<QByteArray> lines = linesOf(m_path);
        QCOMPARE(lines.size(), 6);
        // A long message is cut so that its line with the line break is 1024 bytes.
        QCOMPARE(lines[4].size() + 1, 1024);
        QVERIFY2(lines[5].startsWith("I/app"), "the next line starts cleanly");
        // Level prefix, tag padded to 8 characters (a longer one is not cut), one blank, bracketed
        // time, message; UTF-8 text is kept as it is.
        QVERIFY2(lines[0].startsWith("I/app      ["), lines[0].constData());
        QVERIFY2(lines[1].startsWith("W/video    ["), lines[1].constData());
        QVERIFY2(lines[2].startsWith("I/ninechars ["), lines[2].constData());
        QVERIFY2(lines[3].startsWith("I/12345678 ["), lines[3].constData());
        QVERIFY(QString::fromUtf8(lines[2]).endsWith(QStringLiteral("] 产品切换 -> Tern")));
        const auto match = kLinePattern.match(QString::fromUtf8(lines[0]));
        QVERIFY2(match.hasMatch(), lines[0].constData());
        QCOMPARE(match.captured(10), QString("hello 42"));
        const QDateTime stamp = QDateTime::fromString(lines[0].mid(11, 23), "yyyy-MM-dd HH:mm:ss.zzz");
        QVERIFY2(qAbs(stamp.msecsTo(QDateTime::currentDateTime())) < 60000, lines[0].constData());
    }

    // Filtered lines are dropped; bad arguments are reported and not written.
    void filtersAndBadArgumentsDropLines() {
        assertions.clear();
        elog_output(ELOG_LVL_VERBOSE + 1, "app", nullptr, nullptr, 0, "x");
        elog_output(ELOG_LVL_INFO, nullptr, nullptr, nullptr, 0, "x");
        QCOMPARE(assertions, QStringList({"level <= ELOG_LVL_VERBOSE@elog_output", "tag != ((void *)0)@elog_output"}));
        elog_set_filter_tag_lvl("noisy", ELOG_LVL_WARN);
        elog_i("noisy", "dropped");
        elog_w("noisy", "kept");
        elog_set_filter_tag_lvl("noisy", ELOG_LVL_VERBOSE);
        elog_set_filter_kw("needle");
        elog_i("app", "no match");
        elog_i("app", "a needle here");
        elog_set_filter_kw("");
        const QList<QByteArray> lines = linesOf(m_path);
        QCOMPARE(lines.size(), 2);
        QVERIFY(lines[0].endsWith("kept"));
        QVERIFY(lines[1].endsWith("a needle here"));
    }

    void rotationKeepsFiveCopiesWithByteOrderMarks() {
        const QByteArray filler(990, 'r');
        const int lineCount = 7600;  // a little over seven files' worth
        {
            StdoutSilencer quiet;
            for (int i = 0; i < lineCount; ++i)
                elog_i("app", "%06d %s", i, filler.constData());
        }
        QVERIFY(!QFile::exists(m_path + ".5"));
        int previousFirst = lineCount;
        // Newest first: the live file, then .0 (newest copy) to .4 (oldest); numbers run on without gaps.
        // Every file made along the way is owner-only, as the first one.
        for (const QString& suffix :
             {QString(), QString(".0"), QString(".1"), QString(".2"), QString(".3"), QString(".4")}) {
            const QString path = m_path + suffix;
            QVERIFY2(QFile::exists(path), qPrintable(path));
            QVERIFY2(TestSupport::readFile(path).startsWith(kBom), qPrintable(path + " lacks the byte-order mark"));
            QVERIFY2(TestSupport::modeOf(path) == "600", qPrintable(path + " is not owner-only"));
            QVERIFY2(QFileInfo(path).size() <= ELOG_FILE_MAX_SIZE + 1024, qPrintable(path));
            const QList<QByteArray> lines = linesOf(path);
            QVERIFY(!lines.isEmpty());
            const int first = QString::fromUtf8(lines.first().mid(lines.first().indexOf("] ") + 2, 6)).toInt();
            const int last = QString::fromUtf8(lines.last().mid(lines.last().indexOf("] ") + 2, 6)).toInt();
            QCOMPARE(last - first + 1, lines.size());
            QCOMPARE(last + 1, previousFirst);
            previousFirst = first;
        }
        QVERIFY2(previousFirst > 0, "the oldest lines were dropped with the sixth file");
    }

    void concurrentWritersNeitherInterleaveNorLose() {
        const int threads = 4;
        const int perThread = 1000;
        {
            StdoutSilencer quiet;
            std::vector<std::thread> workers;
            for (int t = 0; t < threads; ++t) {
                workers.emplace_back([t] {
                    for (int i = 0; i < perThread; ++i)
                        elog_i("worker", "thread=%d seq=%d end", t, i);
                });
            }
            for (std::thread& worker : workers)
                worker.join();
        }
        const QList<QByteArray> lines = linesOf(m_path);
        QCOMPARE(lines.size(), threads * perThread);
        QVector<int> nextSeq(threads, 0);
        const QRegularExpression body(QStringLiteral(R"(thread=(\d) seq=(\d+) end$)"));
        for (const QByteArray& line : lines) {
            QVERIFY2(kLinePattern.match(QString::fromUtf8(line)).hasMatch(), line.constData());
            const auto m = body.match(QString::fromUtf8(line));
            QVERIFY2(m.hasMatch(), line.constData());
            const int t = m.captured(1).toInt();
            QCOMPARE(m.captured(2).toInt(), nextSeq[t]);  // each thread's lines in its own order
            ++nextSeq[t];
        }
    }

private:
    QTemporaryDir m_dir;
    QString m_path;
    QDateTime m_started;
};

QTEST_GUILESS_MAIN(TestElog)
#include "tst_elog.moc"
