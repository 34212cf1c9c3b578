// Local recording on the FFmpeg backend against the simulator's stream on loopback, each file read
// back with libavformat and libavcodec: codec, size, duration and every picture's stamp; a recorder
// killed mid-file; a stream outage in the middle of a recording.
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
        // The file's time line is the pictures' own (the simulator stamps each with the time it drew
        // it), and it covers the time recorded. It may begin up to a group of pictures earlier (the
        // lead-in), and a decode thread that lags on a loaded machine catches up while recording.
        QVERIFY(file.stamps.size() >= 2);
        const double stampedS = (file.stamps.last().epochMs - file.stamps.first().epochMs) / 1000.0 + 1.0 / 30;
        QVERIFY2(
            qAbs(file.durationS - stampedS) <= 0.1 * stampedS,
            qPrintable(QStringLiteral("%1 s in the file, %2 s between its stamps").arg(file.durationS).arg(stampedS)));
        QVERIFY2(file.durationS >= 0.9 * recordedS,
                 qPrintable(QStringLiteral("%1 s in the file, %2 s recorded").arg(file.durationS).arg(recordedS)));
        // Every packet the recorder took became a picture in the file, in order; the simulator's own
        // encoder may skip a frame on a loaded machine, which shows as a gap the recorder did not make.
        QCOMPARE(recording.recorder()->droppedPackets(), 0);
        QCOMPARE(file.pictures, recording.recorder()->acceptedPackets());
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
        QByteArray out;
        QVERIFY(QTest::qWaitFor(
            [&] {
                recorder.waitForReadyRead(100);
                out += recorder.readAllStandardOutput();
                return out.contains('\n') || recorder.state() != QProcess::Running;
            },
            kStreamTimeoutMs));
        QVERIFY2(out.startsWith("RECORDING "), out + recorder.readAllStandardError());
        const QString path = QString::fromUtf8(out.mid(10).trimmed());
        QTest::qWait(3000);
        const qint64 killedAtMs = QDateTime::currentMSecsSinceEpoch();
        ::kill(pid_t(recorder.processId()), SIGKILL);
        QVERIFY(recorder.waitForFinished(5000));

        const RecordingContents file = readRecording(path);
        QVERIFY2(file.opened, qPrintable(path));
        QVERIFY2(!file.stamps.isEmpty(), "pictures written before the kill decode");
        QVERIFY2(counterFault(file.stamps).isEmpty(), qPrintable(counterFault(file.stamps)));
        // Clusters are closed every second; allow the stream's own latency on top.
        const qint64 lostMs = killedAtMs - file.stamps.last().epochMs;
        QVERIFY2(lostMs <= StreamRecorder::kClusterMs + 800,
                 qPrintable(QStringLiteral("the file ends %1 ms before the kill").arg(lostMs)));
    }

    void recordingGoesOnAcrossStreamOutage() {
        VideoTestSupport::Simulator sim;
        QVERIFY2(sim.start({QStringLiteral("--rtsp-outage"), QStringLiteral("6:2")}), qPrintable(sim.errorOutput()));
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
        QCOMPARE(recording.recorder()->droppedPackets(), 0);
        QCOMPARE(file.pictures, recording.recorder()->acceptedPackets());
        QCOMPARE(file.stamps.size(), file.pictures);
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
