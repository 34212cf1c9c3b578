// Local recording on the FFmpeg backend against the simulator's stream on loopback, each file read
// back with libavformat and libavcodec: codec, size, duration and every picture's stamp; a recorder
// killed mid-file; a stream outage in the middle of a recording.
#include <sys/resource.h>
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

    void recordingGoesOnAcrossStreamOutage() {
        VideoTestSupport::Simulator sim;
        QVERIFY2(sim.start(VideoTestSupport::repeatingOutage(6, 2, 12)), qPrintable(sim.errorOutput()));
        Recording recording;
        QVERIFY(recording.play(sim.url()));
        QVERIFY(recording.capture()->startRecording());
        QTRY_VERIFY_WITH_TIMEOUT(recording.item.thread()->reopenCount() >= 1, kStreamTimeoutMs);
        const qint64 bytesAtReopen = recording.capture()->recordingBytes();
        QTRY_VERIFY_WITH_TIMEOUT(recording.capture()->recordingBytes() > bytesAtReopen + 100000, kStreamTimeoutMs);
        QVERIFY(recording.capture()->recording());
        recording.capture()->stopRecording();
        QVERIFY(recording.finished());

        const QStringList files = recordingsIn(recording.folder.path());
        QCOMPARE(files.size(), 1);  // the same stream came back: the same file goes on
        const RecordingContents file = readRecording(files.first());
        QVERIFY2(file.opened, qPrintable(files.first()));
        // Every packet taken is in the file; the picture the outage cut short may not decode.
        QCOMPARE(recording.recorder()->droppedPackets(), 0);
        QCOMPARE(file.packets, recording.recorder()->acceptedPackets());
        QVERIFY2(file.stamps.size() >= file.packets - 1,
                 qPrintable(QStringLiteral("%1 of %2 pictures decode").arg(file.stamps.size()).arg(file.packets)));
        QVERIFY2(counterFault(file.stamps).isEmpty(), qPrintable(counterFault(file.stamps)));
        // Pictures from both sides of the outage, the gap between them being the outage.
        qint64 longestGapMs = 0;
        for (int i = 1; i < file.stamps.size(); ++i)
            longestGapMs = qMax(longestGapMs, file.stamps[i].epochMs - file.stamps[i - 1].epochMs);
        QVERIFY2(longestGapMs >= 1500, qPrintable(QStringLiteral("longest gap %1 ms").arg(longestGapMs)));
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
