// Local recording on the FFmpeg backend against the simulator's stream on loopback, each file read
// back with libavformat and libavcodec: codec, size, duration and every picture's stamp; a recorder
// killed mid-file; a stream outage in the middle of a recording, with and without a change of picture
// size; links planted at the names of recordings and snapshots; a full disk.
#include <sys/resource.h>
#include <QDateTime>
#include <QDir>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>

#include "RecordingReader.h"
#include "TestSupport.h"
#include "VideoTestSupport.h"
#include "video/FFmpegItem.h"
#include "video/FFmpegThread.h"
#include "video/LocalCapture.h"
#include "video/StreamRecorder.h"

namespace {

constexpr int kStreamTimeoutMs = 30000;

QStringList recordingsIn(const QString& folder) {
    QStringList files;
    for (const QString& name : QDir(folder).entryList({QStringLiteral("*.mkv")}, QDir::Files, QDir::Name))
        files << folder + QLatin1Char('/') + name;
    return files;
}

// An FFmpeg item playing the simulator's stream with Video/RecordingDir set to a folder of its own.
struct Recording {
    QTemporaryDir folder;
    FFmpegItem item;
    QSignalSpy events{item.localCapture(), &LocalCapture::captureEvent};

    bool play(const QString& url) {
        if (!TestSupport::writeConfig("[Video]\nBackend=ffmpeg\nRecordingDir=" + folder.path().toUtf8() + "\n"))
            return false;
        item.setUrl(url);
        item.open();
        return QTest::qWaitFor([&] { return item.streamStatus() == QLatin1String("playing"); }, kStreamTimeoutMs);
    }
    LocalCapture* capture() { return item.localCapture(); }
    StreamRecorder* recorder() { return capture()->recorder(); }
    bool sawEvent(const QString& kind) const {
        for (const QList<QVariant>& event : events) {
            if (event.at(0).toString() == kind)
                return true;
        }
        return false;
    }
    // Waits until the file of a stopped recording is finished.
    bool finished() {
        return QTest::qWaitFor([&] { return sawEvent(QStringLiteral("recordingStopped")); }, kStreamTimeoutMs);
    }
};

}  // namespace

class LocalRecordingTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(AppLog::start()); }
    void cleanupTestCase() { TestSupport::removeConfig(); }

    void recordsStreamWithoutLosingPictures_data() {
        QTest::addColumn<QString>("codec");
        QTest::addColumn<int>("expectedCodec");
        QTest::newRow("h264") << QStringLiteral("h264") << int(AV_CODEC_ID_H264);
        QTest::newRow("h265") << QStringLiteral("h265") << int(AV_CODEC_ID_HEVC);
    }

    void recordsStreamWithoutLosingPictures() {
        QFETCH(QString, codec);
        QFETCH(int, expectedCodec);
        VideoTestSupport::Simulator sim;
        QVERIFY2(sim.start({QStringLiteral("--codec"), codec}), qPrintable(sim.errorOutput()));
        Recording recording;
        QVERIFY(recording.play(sim.url()));

        QElapsedTimer recorded;
        recorded.start();
        QVERIFY(recording.capture()->startRecording());
        QTest::qWait(5000);
        QTRY_VERIFY_WITH_TIMEOUT(recording.capture()->recordingBytes() > 0, kStreamTimeoutMs);
        recording.capture()->stopRecording();
        const double recordedS = recorded.elapsed() / 1000.0;
        QVERIFY(recording.finished());

        const QStringList files = recordingsIn(recording.folder.path());
        QCOMPARE(files.size(), 1);
        QVERIFY2(recording.sawEvent(QStringLiteral("recordingStarted")), "the file is named to the operator");
        const RecordingContents file = readRecording(files.first());
        QVERIFY2(file.opened, qPrintable(files.first()));
        QCOMPARE(int(file.codec), expectedCodec);
        QCOMPARE(QSize(file.width, file.height), QSize(1280, 720));
        QCOMPARE(file.picturesOfOtherSize, 0);
        // Recordings are the operator's alone.
        QCOMPARE(QFile(files.first()).permissions() &
                     ~(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser),
                 QFile::Permissions());
        // The file's time line is the pictures' own (the simulator stamps each with the time it drew
        // it) and covers the time recorded. The bounds are wide: on a loaded machine the simulator
        // may draw a picture well before it sends it, and the file may begin up to a group of
        // pictures early (the lead-in); a time base mistaken or stamps lost are off by far more.
        QVERIFY(file.stamps.size() >= 2);
        const double stampedS = (file.stamps.last().epochMs - file.stamps.first().epochMs) / 1000.0 + 1.0 / 30;
        QVERIFY2(
            file.durationS >= 0.5 * stampedS && file.durationS <= 1.5 * stampedS,
            qPrintable(QStringLiteral("%1 s in the file, %2 s between its stamps").arg(file.durationS).arg(stampedS)));
        QVERIFY2(file.durationS >= 0.5 * recordedS,
                 qPrintable(QStringLiteral("%1 s in the file, %2 s recorded").arg(file.durationS).arg(recordedS)));
        // Every packet the recorder took is in the file and became a picture, in order; the
        // simulator's own encoder may skip a frame on a loaded machine, which shows as a gap the
        // recorder did not make.
        QCOMPARE(recording.recorder()->droppedPackets(), 0);
        QCOMPARE(file.packets, recording.recorder()->acceptedPackets());
        QCOMPARE(file.pictures, file.packets);
        QCOMPARE(file.stamps.size(), file.pictures);
        QVERIFY2(counterFault(file.stamps).isEmpty(), qPrintable(counterFault(file.stamps)));
    }

    void killedRecorderLeavesPlayableFile() {
        VideoTestSupport::Simulator sim;
        QVERIFY2(sim.start(), qPrintable(sim.errorOutput()));
        QTemporaryDir folder;
        QProcess recorder;
        recorder.start(QStringLiteral(RECORD_UNTIL_KILLED_PATH), {sim.url(), folder.path()});
        QVERIFY(recorder.waitForStarted(5000));
        // Five seconds of pictures taken (counted by the recorder, however slow the machine), then
        // the kill.
        QString path;
        int accepted = 0;
        QByteArray out;
        const bool recorded = QTest::qWaitFor(
            [&] {
                recorder.waitForReadyRead(100);
                out += recorder.readAllStandardOutput();
                for (int end = out.indexOf('\n'); end >= 0; end = out.indexOf('\n')) {
                    const QByteArray line = out.left(end);
                    out.remove(0, end + 1);
                    if (line.startsWith("RECORDING "))
                        path = QString::fromUtf8(line.mid(10));
                    else if (line.startsWith("ACCEPTED "))
                        accepted = line.mid(9).toInt();
                }
                return accepted >= 150 || recorder.state() != QProcess::Running;
            },
            kStreamTimeoutMs * 2);
        QVERIFY2(recorded && accepted >= 150, out + recorder.readAllStandardError());
        ::kill(pid_t(recorder.processId()), SIGKILL);
        QVERIFY(recorder.waitForFinished(5000));

        const RecordingContents file = readRecording(path);
        QVERIFY2(file.opened, qPrintable(path));
        QVERIFY2(!file.stamps.isEmpty(), "pictures written before the kill decode");
        QCOMPARE(file.stamps.size(), file.pictures);
        QVERIFY2(counterFault(file.stamps).isEmpty(), qPrintable(counterFault(file.stamps)));
        // Clusters are closed every second of pictures: at most about that much of what the recorder
        // had taken is lost (two seconds allowed for the writer's queue and the last report).
        const int perSecond = 30;
        QVERIFY2(
            file.packets >= accepted - 2 * perSecond,
            qPrintable(
                QStringLiteral("%1 pictures in the file, %2 taken before the kill").arg(file.packets).arg(accepted)));
    }

    // The same stream coming back goes on in the same file; one that comes back at another picture size
    // (the camera was set to another resolution) goes on in a new file, each file with its own size in
    // its header.
    void recordingGoesOnAcrossStreamOutage_data() {
        QTest::addColumn<QStringList>("simulatorArgs");
        QTest::addColumn<bool>("sizeChanges");
        QTest::newRow("same-size") << VideoTestSupport::repeatingOutage(6, 2, 12) << false;
        QTest::newRow("new-size") << VideoTestSupport::repeatingOutage(6, 2, 12) +
                                         QStringList{QStringLiteral("--rtsp-outage-size"), QStringLiteral("640x360")}
                                  << true;
    }

    void recordingGoesOnAcrossStreamOutage() {
        QFETCH(QStringList, simulatorArgs);
        QFETCH(bool, sizeChanges);
        VideoTestSupport::Simulator sim;
        QVERIFY2(sim.start(simulatorArgs), qPrintable(sim.errorOutput()));
        Recording recording;
        QVERIFY(recording.play(sim.url()));
        const int reopensBefore = recording.item.thread()->reopenCount();
        QVERIFY(recording.capture()->startRecording());
        QTRY_VERIFY_WITH_TIMEOUT(recording.item.thread()->reopenCount() > reopensBefore, kStreamTimeoutMs);
        if (sizeChanges)
            QTRY_VERIFY_WITH_TIMEOUT(recording.sawEvent(QStringLiteral("recordingNewFile")), kStreamTimeoutMs);
        const qint64 bytesAtReopen = recording.capture()->recordingBytes();
        QTRY_VERIFY_WITH_TIMEOUT(recording.capture()->recordingBytes() > bytesAtReopen + 100000, kStreamTimeoutMs);
        QVERIFY(recording.capture()->recording());
        recording.capture()->stopRecording();
        QVERIFY(recording.finished());

        const QStringList files = recordingsIn(recording.folder.path());
        QCOMPARE(files.size(), sizeChanges ? 2 : 1);
        QVector<RecordingContents> contents;
        int packets = 0;
        for (const QString& path : files) {
            contents << readRecording(path);
            const RecordingContents& file = contents.last();
            QVERIFY2(file.opened, qPrintable(path));
            QVERIFY2(file.pictures > 0 && file.picturesOfOtherSize == 0,
                     qPrintable(QStringLiteral("%1: %2 of %3 pictures not %4x%5")
                                    .arg(path)
                                    .arg(file.picturesOfOtherSize)
                                    .arg(file.pictures)
                                    .arg(file.width)
                                    .arg(file.height)));
            QVERIFY2(counterFault(file.stamps).isEmpty(), qPrintable(counterFault(file.stamps)));
            packets += file.packets;
        }
        // Every packet taken is in a file.
        QCOMPARE(recording.recorder()->droppedPackets(), 0);
        QCOMPARE(packets, recording.recorder()->acceptedPackets());
        if (sizeChanges) {
            QStringList sizes;
            for (const RecordingContents& file : contents)
                sizes << QStringLiteral("%1x%2").arg(file.width).arg(file.height);
            sizes.sort();
            QCOMPARE(sizes, (QStringList{QStringLiteral("1280x720"), QStringLiteral("640x360")}));
            QVERIFY2(contents[0].stamps.last().frameCounter < contents[1].stamps.first().frameCounter,
                     "the second file goes on where the first ended");
            return;
        }
        const RecordingContents& file = contents.first();
        // The picture the outage cut short may not decode.
        QVERIFY2(file.stamps.size() >= file.packets - 1,
                 qPrintable(QStringLiteral("%1 of %2 pictures decode").arg(file.stamps.size()).arg(file.packets)));
        // Pictures from both sides of the outage, the gap between them being the outage.
        qint64 longestGapMs = 0;
        for (int i = 1; i < file.stamps.size(); ++i)
            longestGapMs = qMax(longestGapMs, file.stamps[i].epochMs - file.stamps[i - 1].epochMs);
        QVERIFY2(longestGapMs >= 1500, qPrintable(QStringLiteral("longest gap %1 ms").arg(longestGapMs)));
    }

    // Someone else may write to the recordings folder and plant links at the names the next
    // recording and snapshot will take: neither follows them, neither touches their targets, and each
    // gets a file of its own under the next free name.
    void plantedLinksAreNotFollowed() {
        VideoTestSupport::Simulator sim;
        QVERIFY2(sim.start(), qPrintable(sim.errorOutput()));
        Recording recording;
        QVERIFY(recording.play(sim.url()));
        QTemporaryDir elsewhere;
        const QString target = elsewhere.filePath(QStringLiteral("precious.txt"));
        {
            QFile file(target);
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write("keep me") == 7);
        }
        // The names of the next seconds, with and without the suffix of a second file.
        const QDateTime now = QDateTime::currentDateTime();
        for (int second = 0; second < 30; ++second) {
            const QString stem = recording.folder.filePath(
                QStringLiteral("skyvane_") + now.addSecs(second).toString(QStringLiteral("yyyyMMdd_HHmmss")));
            for (const QString& suffix : {QStringLiteral(".mkv"), QStringLiteral(".png")})
                QVERIFY(QFile::link(target, stem + suffix));
        }
        const int links = QDir(recording.folder.path()).entryList(QDir::System | QDir::Files).size();

        QVERIFY(recording.capture()->startRecording());
        QTRY_VERIFY_WITH_TIMEOUT(recording.sawEvent(QStringLiteral("recordingStarted")), kStreamTimeoutMs);
        QTRY_VERIFY_WITH_TIMEOUT(recording.capture()->recordingBytes() > 50000, kStreamTimeoutMs);
        recording.capture()->stopRecording();
        QVERIFY(recording.finished());
        const QString snapshot = recording.capture()->saveSnapshot();
        QVERIFY(!snapshot.isEmpty());
        QTRY_VERIFY_WITH_TIMEOUT(recording.sawEvent(QStringLiteral("snapshotSaved")), kStreamTimeoutMs);

        QCOMPARE(TestSupport::readFile(target), QByteArray("keep me"));
        QStringList made;
        for (const QFileInfo& entry : QDir(recording.folder.path()).entryInfoList(QDir::System | QDir::Files)) {
            if (!entry.isSymLink())
                made << entry.fileName();
        }
        QCOMPARE(made.size(), 2);
        QCOMPARE(QDir(recording.folder.path()).entryList(QDir::System | QDir::Files).size(), links + 2);
        for (const QString& name : made) {
            const QString path = recording.folder.filePath(name);
            QVERIFY2(name.contains(QLatin1String("_2.")) && QFileInfo(path).size() > 0, qPrintable(name));
            QCOMPARE(QFile(path).permissions() &
                         ~(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser),
                     QFile::Permissions());
        }
        QCOMPARE(QImage(snapshot).size(), QSize(1280, 720));
        const QStringList recordings = made.filter(QStringLiteral(".mkv"));
        QCOMPARE(recordings.size(), 1);
        QVERIFY(readRecording(recording.folder.filePath(recordings.first())).packets > 0);
    }

    void unwritableFolderStopsRecordingAndPlaybackGoesOn() {
        VideoTestSupport::Simulator sim;
        QVERIFY2(sim.start(), qPrintable(sim.errorOutput()));
        Recording recording;
        // A folder below a plain file cannot be made, whoever runs the test.
        QFile blocker(recording.folder.filePath(QStringLiteral("not-a-folder")));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        QVERIFY(recording.play(sim.url()));
        QVERIFY(TestSupport::writeConfig("[Video]\nBackend=ffmpeg\nRecordingDir=" + blocker.fileName().toUtf8() +
                                         "/recordings\n"));
        QVERIFY(!recording.capture()->startRecording());
        QVERIFY(!recording.capture()->recording());
        QVERIFY(recording.sawEvent(QStringLiteral("recordingFailed")));
        const qint64 decoded = recording.item.frameCounts().decoded;
        QTRY_VERIFY_WITH_TIMEOUT(recording.item.frameCounts().decoded > decoded + 10, kStreamTimeoutMs);
    }

    // A file that may not grow beyond a limit fails like a full disk: the recording stops with the
    // system's reason, what was written stays readable and playback goes on.
    void fullDiskStopsRecordingAndPlaybackGoesOn() {
        VideoTestSupport::Simulator sim;
        QVERIFY2(sim.start(), qPrintable(sim.errorOutput()));
        Recording recording;
        QVERIFY(recording.play(sim.url()));
        constexpr rlim_t kLimit = 300 * 1024;
        rlimit saved{};
        getrlimit(RLIMIT_FSIZE, &saved);
        const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limited = saved;
        limited.rlim_cur = kLimit;
        QVERIFY(setrlimit(RLIMIT_FSIZE, &limited) == 0);
        QVERIFY(recording.capture()->startRecording());
        const bool failed =
            QTest::qWaitFor([&] { return recording.sawEvent(QStringLiteral("recordingFailed")); }, kStreamTimeoutMs);
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, previousHandler);
        QVERIFY(failed);
        QVERIFY(!recording.capture()->recording());
        // Tried again on a disk with no room left at all: the file that could not even take its header
        // is not left behind empty.
        recording.events.clear();
        limited.rlim_cur = 0;
        QVERIFY(setrlimit(RLIMIT_FSIZE, &limited) == 0);
        std::signal(SIGXFSZ, SIG_IGN);
        QVERIFY(recording.capture()->startRecording());
        const bool failedAgain =
            QTest::qWaitFor([&] { return recording.sawEvent(QStringLiteral("recordingFailed")); }, kStreamTimeoutMs);
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, previousHandler);
        QVERIFY(failedAgain);
        const QStringList files = recordingsIn(recording.folder.path());
        QCOMPARE(files.size(), 1);
        const RecordingContents file = readRecording(files.first());
        QVERIFY2(file.opened && !file.stamps.isEmpty(), "what fitted on the disk plays");
        QVERIFY2(counterFault(file.stamps).isEmpty(), qPrintable(counterFault(file.stamps)));
        const qint64 decoded = recording.item.frameCounts().decoded;
        QTRY_VERIFY_WITH_TIMEOUT(recording.item.frameCounts().decoded > decoded + 10, kStreamTimeoutMs);
    }
};

QTEST_MAIN(LocalRecordingTest)
#include "tst_local_recording.moc"
