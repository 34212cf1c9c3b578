#include <QtTest>

#include <QDir>
#include <QTemporaryDir>

#include "TestSupport.h"
#include "bridge/AppBridge.h"
#include "protocol/ProtocolStats.h"

namespace {

ProtocolCounters sampleCounters() {
    ProtocolCounters c;
    c.udpFrames = 1234;
    c.udpParseFails = 100;
    c.udpParseFailsWithHeader = 7;
    c.uartFrames = 2147483647;
    c.uartParseFails = 0;
    c.uartResyncDiscardedBytes = 489;
    return c;
}

const QDateTime kSampleTime(QDate(2026, 3, 4), QTime(17, 5, 9));

QStringList linesOf(const QByteArray& text) {
    return QString::fromUtf8(text).split(QLatin1Char('\n'));
}

QString statsPath() {
    return TestSupport::appDir() + QStringLiteral("/protocol_stats.log");
}

}  // namespace

class TestProtocolStats : public QObject {
    Q_OBJECT

private slots:
    void init() {
        TestSupport::removeConfig();
        QFile::remove(statsPath());
    }

    void cleanup() {
        QDir(statsPath()).removeRecursively();
        QFile::remove(statsPath());
        TestSupport::removeConfig();
    }

    void blockFormatLineByLine() {
        const QStringList lines =
            linesOf(formatProtocolStatsBlock(sampleCounters(), QStringLiteral("Tern-LITE-A"), kSampleTime).toUtf8());
        const QStringList expected = {
            QStringLiteral("==== Protocol Stats ===="),
            QStringLiteral("Time: 2026-03-04 17:05:09"),
            QStringLiteral("Current product: Tern-LITE-A"),
            QStringLiteral("UDP frames: 1234"),
            QStringLiteral("UDP parse fails (total): 100"),
            QStringLiteral("UDP parse fails with header (likely CRC/length): 7"),
            QStringLiteral("UART frames: 2147483647"),
            QStringLiteral("UART parse fails: 0"),
            QStringLiteral("UART resync discarded bytes: 489"),
            QStringLiteral("UDP datagrams from other hosts dropped: 0"),
            QStringLiteral("UDP datagrams dropped by a full receive queue: 0"),
            QStringLiteral("UART bytes dropped by a full receive backlog: 0"),
            QString(),  // the block ends with a line break
        };
        QCOMPARE(lines, expected);
        QVERIFY(formatProtocolStatsBlock(ProtocolCounters(), QString(), kSampleTime)
                    .contains(QStringLiteral("\nCurrent product: \nUDP frames: 0\n")));
    }

    void blocksAreAppended() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path = dir.filePath(QStringLiteral("protocol_stats.log"));
        QVERIFY(appendProtocolStatsBlock(path, ProtocolCounters(), QStringLiteral("Dove"), kSampleTime));
        QVERIFY(appendProtocolStatsBlock(path, sampleCounters(), QStringLiteral("Dove"), kSampleTime.addSecs(30)));
        const QByteArray text = TestSupport::readFile(path);
        const QByteArray expected =
            formatProtocolStatsBlock(ProtocolCounters(), QStringLiteral("Dove"), kSampleTime).toUtf8() +
            formatProtocolStatsBlock(sampleCounters(), QStringLiteral("Dove"), kSampleTime.addSecs(30)).toUtf8();
        QCOMPARE(text, expected);
        QCOMPARE(TestSupport::modeOf(path), QString("600"));

        // A full file moves aside as .0, older ones one number up, the oldest of five is dropped.
        for (int round = 0; round < kProtocolStatsKeptFiles + 1; ++round) {
            QFile full(path);
            QVERIFY(full.open(QIODevice::WriteOnly | QIODevice::Truncate));
            full.write(QByteArray(int(kProtocolStatsMaxBytes), 'x').replace(0, 1, QByteArray::number(round)));
            full.close();
            QVERIFY(appendProtocolStatsBlock(path, sampleCounters(), QStringLiteral("Dove"), kSampleTime));
        }
        QCOMPARE(TestSupport::readFile(path), formatProtocolStatsBlock(sampleCounters(), "Dove", kSampleTime).toUtf8());
        for (int n = 0; n < kProtocolStatsKeptFiles; ++n)
            QVERIFY2(TestSupport::readFile(path + "." + QString::number(n)).startsWith(QByteArray::number(5 - n)),
                     qPrintable(path + "." + QString::number(n)));
        QVERIFY(!QFile::exists(path + "." + QString::number(kProtocolStatsKeptFiles)));
    }

    // The block's layout is checked above and the counters it carries by the link tests; here the
    // time and the product the program hands over, and a place it cannot write left alone.
    void bridgeWritesBesideExecutable() {
        QVERIFY(TestSupport::writeConfig("[general]\ncurrentProduct=Tern\n"));
        AppBridge bridge;
        const QDateTime before = QDateTime::currentDateTime().addSecs(-1);
        bridge.writeProtocolStats();
        const QDateTime after = QDateTime::currentDateTime().addSecs(1);
        const QStringList lines = linesOf(TestSupport::readFile(statsPath()));
        QCOMPARE(lines.size(), 12 + 1);
        const QDateTime stamped = QDateTime::fromString(lines[1].mid(6), QStringLiteral("yyyy-MM-dd hh:mm:ss"));
        QVERIFY2(stamped.isValid() && stamped >= before.addMSecs(-before.time().msec()) && stamped <= after,
                 qPrintable(lines[1]));
        QCOMPARE(lines[2], QStringLiteral("Current product: Tern"));

        // A directory where the file should be: the file cannot be opened, and nothing else happens.
        QVERIFY(QFile::remove(statsPath()) && QDir().mkpath(statsPath()));
        QVERIFY(!appendProtocolStatsBlock(statsPath(), sampleCounters(), QStringLiteral("Tern"), kSampleTime));
        bridge.writeProtocolStats();
        QVERIFY(QFileInfo(statsPath()).isDir());
        QVERIFY(QDir(statsPath()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestProtocolStats)
#include "tst_protocolstats.moc"
