// The KLV local set encoder against the published example values, and local recording on the FFmpeg
// backend against the simulator's stream, each file read back picture by picture with its telemetry
// and subtitles: a simulated device followed through a recording, a recorder killed mid-file,
// stream outages, links planted at the names the next files take, a full disk.
#include <sys/resource.h>
#include <QDateTime>
#include <QDir>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>

#include "../sim/SimProcess.h"
#include "RecordingReader.h"
#include "TestSupport.h"
#include "VideoTestSupport.h"
#include "bridge/AppBridge.h"
#include "video/FFmpegItem.h"
#include "video/FFmpegThread.h"
#include "video/Klv0601.h"
#include "video/LocalCapture.h"
#include "video/StreamRecorder.h"
#include "video/Telemetry.h"

namespace {

constexpr int kStreamTimeoutMs = 30000;

QStringList recordingsIn(const QString& folder) {
    QStringList files;
    for (const QString& name :
         QDir(folder).entryList({QStringLiteral("*.mkv"), QStringLiteral("*.ts")}, QDir::Files, QDir::Name))
        files << folder + QLatin1Char('/') + name;
    return files;
}

// An FFmpeg item playing the simulator's stream with Video/RecordingDir set to a folder of its own.
struct Recording {
    QTemporaryDir folder;
    FFmpegItem item;
    QSignalSpy events{item.localCapture(), &LocalCapture::captureEvent};

    // config: more of skyvane.cfg, after the [Video] lines.
    bool play(const QString& url, const QByteArray& config = QByteArray()) {
        if (!TestSupport::writeConfig("[Video]\nBackend=ffmpeg\nRecordingDir=" + folder.path().toUtf8() + "\n" +
                                      config))
            return false;
        item.setUrl(url);
        item.open();
        return QTest::qWaitFor([&] { return item.streamStatus() == QLatin1String("playing"); }, kStreamTimeoutMs);
    }
    LocalCapture* capture() { return item.localCapture(); }
    StreamRecorder* recorder() { return capture()->recorder(); }
    bool sawEvent(const QString& kind) const {
        return std::any_of(events.begin(), events.end(), [&](const QList<QVariant>& e) { return e.at(0) == kind; });
    }
    // The subtitle file beside a recording.
    static QString sidecarOf(const QString& path) { return path.left(path.lastIndexOf(QLatin1Char('.'))) + ".srt"; }
    // Waits until the file of a stopped recording is finished.
    bool finished() {
        return QTest::qWaitFor([&] { return sawEvent(QStringLiteral("recordingStopped")); }, kStreamTimeoutMs);
    }
};

// Every local set well formed, stamped with rising ground times and presented within the pictures'
// time line; "" when so.
QString localSetFault(const RecordingContents& file) {
    for (int i = 0; i < file.localSets.size(); ++i) {
        const LocalSet& set = file.localSets[i];
        if (!set.fault.isEmpty())
            return QStringLiteral("set %1: %2 (%3)").arg(i).arg(set.fault, QString::fromLatin1(set.bytes.toHex(' ')));
        if (!set.has(2) || !set.has(65) || set.unsignedValue(65) != Klv0601::kLsVersion)
            return QStringLiteral("set %1 without time stamp or version").arg(i);
        if (i > 0 && set.unsignedValue(2) <= file.localSets[i - 1].unsignedValue(2))
            return QStringLiteral("set %1: time %2 after %3")
                .arg(i)
                .arg(set.unsignedValue(2))
                .arg(file.localSets[i - 1].unsignedValue(2));
        if (i > 0 && !(set.ptsS > file.localSets[i - 1].ptsS))
            return QStringLiteral("set %1: pts %2 after %3").arg(i).arg(set.ptsS).arg(file.localSets[i - 1].ptsS);
    }
    return QString();
}

}  // namespace

class LocalRecordingTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        QVERIFY(AppLog::start());
        QVERIFY2(m_sim.startRtsp(), qPrintable(m_sim.errorOutput()));
    }
    void cleanupTestCase() { TestSupport::removeConfig(); }

    void itemsMapAsPublished_data() {
        QTest::addColumn<int>("tag");
        QTest::addColumn<double>("value");
        QTest::addColumn<QByteArray>("item");
        QTest::newRow("azimuth-example") << 18 << 160.719211474396 << QByteArray::fromHex("12 04 72 4A 0A 20");
        QTest::newRow("elevation-example") << 19 << -168.792324833941 << QByteArray::fromHex("13 04 87 F8 4B 86");
        QTest::newRow("roll-example") << 20 << 176.865437690572 << QByteArray::fromHex("14 04 7D C5 5E CE");
        QTest::newRow("slant-range-example") << 21 << 68590.983298744770 << QByteArray::fromHex("15 04 03 83 09 26");
        // The gimbal reports angles of -180..180: azimuth and roll are written as 0..360.
        QTest::newRow("azimuth-negative-wraps") << 18 << -90.0 << QByteArray::fromHex("12 04 BF FF FF FF");
        QTest::newRow("roll-negative-wraps") << 20 << -90.0 << QByteArray::fromHex("14 04 BF FF FF FF");
        QTest::newRow("elevation-top") << 19 << 180.0 << QByteArray::fromHex("13 04 7F FF FF FF");
        QTest::newRow("elevation-bottom") << 19 << -180.0 << QByteArray::fromHex("13 04 80 00 00 01");
        // Beyond its range the signed item carries the value the standard keeps for "out of range".
        QTest::newRow("elevation-out-of-range") << 19 << 181.0 << QByteArray::fromHex("13 04 80 00 00 00");
        QTest::newRow("elevation-not-a-number") << 19 << std::nan("") << QByteArray::fromHex("13 04 80 00 00 00");
        QTest::newRow("slant-range-clamped") << 21 << 6e6 << QByteArray::fromHex("15 04 FF FF FF FF");
        QTest::newRow("azimuth-not-a-number-left-out") << 18 << std::nan("") << QByteArray();
    }
    void itemsMapAsPublished() {
        QFETCH(int, tag);
        QFETCH(double, value);
        QFETCH(QByteArray, item);
        QCOMPARE(Klv0601::encodeItem(Klv0601::Tag(tag), value).toHex(' '), item.toHex(' '));
    }

    void timeStampAndChecksumAsPublished() {
        // 2009-01-12 22:08:22 UTC.
        QCOMPARE(Klv0601::encodeTimeStamp(1231798102000000ull).toHex(' '),
                 QByteArray::fromHex("02 08 00 04 60 50 58 4E 01 80").toHex(' '));
        const QByteArray example = QByteArray::fromHex(
            "06 0E 2B 34 02 0B 01 01 0E 01 03 01 01 00 00 00 61 02 08 00 04 60 50 58 4E 01 80 05 02 71 C2 06"
            "02 FD 3D 07 02 08 B8 0D 04 55 95 B6 6D 0E 04 5B 53 60 C4 0F 02 C2 21 10 02 CD 9C 11 02 D9 17 12"
            "04 72 4A 0A 20 13 04 87 F8 4B 86 14 04 00 00 00 00 15 04 03 83 09 26 16 02 12 81 17 04 F1 01 A2"
            "29 18 04 14 BC 08 2B 19 02 34 F3 41 01 02 01 02 C8 4C");
        QCOMPARE(Klv0601::checksum(reinterpret_cast<const uint8_t*>(example.constData()), example.size() - 2), 0xC84C);
    }

    // A whole packet: key, length, the items known and nothing else, checksum last and right.
    void localSetCarriesWhatIsKnown_data() {
        QTest::addColumn<bool>("attitude");
        QTest::addColumn<bool>("range");
        QTest::addColumn<QList<int>>("tags");
        QTest::newRow("everything") << true << true << QList<int>{1, 2, 10, 11, 18, 19, 20, 21, 65};
        QTest::newRow("no-laser") << true << false << QList<int>{1, 2, 10, 11, 18, 19, 20, 65};
        QTest::newRow("nothing-reported") << false << false << QList<int>{1, 2, 10, 11, 65};
    }
    void localSetCarriesWhatIsKnown() {
        QFETCH(bool, attitude);
        QFETCH(bool, range);
        QFETCH(QList<int>, tags);
        Klv0601::Values values;
        values.timeUs = 1765000000123456ull;
        values.platform = "WrenT-R2";
        values.sensor = "EO/IR";
        values.hasAttitude = attitude;
        values.azimuthDeg = 12.5;
        values.elevationDeg = -30;
        values.rollDeg = 0.25;
        values.hasSlantRange = range;
        values.slantRangeM = 240;
        const LocalSet set = decodeLocalSet(Klv0601::encodeLocalSet(values), 0);
        QVERIFY2(set.fault.isEmpty(), qPrintable(set.fault + ": " + set.bytes.toHex(' ')));
        QCOMPARE(set.items.keys(), tags);
        QCOMPARE(quint8(set.bytes.at(17)), quint8(2));  // the time stamp first
        QCOMPARE(set.unsignedValue(2), values.timeUs);
        QCOMPARE(set.text(10), QStringLiteral("WrenT-R2"));
        QCOMPARE(set.text(11), QStringLiteral("EO/IR"));
        QCOMPARE(set.unsignedValue(65), quint64(Klv0601::kLsVersion));
        if (attitude) {
            QVERIFY(qAbs(set.degrees0To360(18) - 12.5) < 1e-6);
            QVERIFY(qAbs(set.degreesSigned(19) + 30) < 1e-6);
            QVERIFY(qAbs(set.degrees0To360(20) - 0.25) < 1e-6);
        }
        if (range)
            QVERIFY(qAbs(set.metres(21) - 240) < 0.002);
    }

    // Readings age by their own time; a silent device leaves nothing of its own.
    void telemetryAgesAndSilenceEmpties() {
        Telemetry t;
        t.product = QStringLiteral("Tern");
        t.sensor = QStringLiteral("IR");
        t.staleAfterMs = 1000;
        t.hasAttitude = true;
        t.yawDeg = -45;
        t.attitudeMs = 10000;
        t.hasSlantRange = true;
        t.slantRangeM = 850;
        t.slantRangeMs = 9000;
        t.hasZoom = true;
        t.zoom = 4;
        const Telemetry fresh = t.freshAt(10500);
        QVERIFY(fresh.hasAttitude);
        QVERIFY(!fresh.hasSlantRange);
        QCOMPARE(fresh.subtitleText(0),
                 QStringLiteral("1970-01-01T00:00:00.000Z\nYaw -45.0° Pitch 0.0° Roll 0.0°  Zoom 4.0×"));
        QVERIFY(!t.freshAt(11001).hasAttitude);
        t.deviceSilent = true;
        const Telemetry silent = t.freshAt(10000);
        QVERIFY(!silent.hasDeviceValues());
        QCOMPARE(silent.subtitleText(0).section(QLatin1Char('\n'), 1), QStringLiteral("no data"));
        t.chinese = true;
        QCOMPARE(t.freshAt(10000).subtitleText(0).section(QLatin1Char('\n'), 1), QStringLiteral("无数据"));
    }

    // No device talks to this program: the local sets carry only their time, and the subtitle says so.
    void recordsStreamWithoutLosingPictures_data() {
        QTest::addColumn<QString>("codec");
        QTest::addColumn<QString>("format");
        QTest::newRow("h264-ts") << QStringLiteral("h264") << QStringLiteral("ts");
        QTest::newRow("h265-ts") << QStringLiteral("h265") << QStringLiteral("ts");
        QTest::newRow("h264-mkv") << QStringLiteral("h264") << QStringLiteral("mkv");
        // An unknown format records as the default, with a warning.
        QTest::newRow("h264-unknown-format") << QStringLiteral("h264") << QStringLiteral("avi");
    }

    void recordsStreamWithoutLosingPictures() {
        QFETCH(QString, codec);
        QFETCH(QString, format);
        SimProcess own;
        const bool plain = codec == QLatin1String("h264");
        QVERIFY2(plain || own.startRtsp({QStringLiteral("--codec"), codec}), qPrintable(own.errorOutput()));
        Recording recording;
        QVERIFY(recording.play((plain ? m_sim : own).url(), "RecordingFormat=" + format.toUtf8() + "\n"));
        const bool ts = format != QLatin1String("mkv");
        const int logFrom = VideoTestSupport::sessionLog().size();

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
        QVERIFY2(files.first().endsWith(ts ? QLatin1String(".ts") : QLatin1String(".mkv")), qPrintable(files.first()));
        QVERIFY2(recording.sawEvent(QStringLiteral("recordingStarted")), "the file is named to the operator");
        QCOMPARE(VideoTestSupport::sessionLogLines(QStringLiteral("is not ts or mkv: recording as ts"), logFrom).size(),
                 format == QLatin1String("avi") ? 1 : 0);
        const RecordingContents file = readRecording(files.first());
        QVERIFY2(file.opened, qPrintable(files.first()));
        QCOMPARE(file.codec, codec == QLatin1String("h265") ? AV_CODEC_ID_HEVC : AV_CODEC_ID_H264);
        QCOMPARE(QSize(file.width, file.height), QSize(1280, 720));
        QCOMPARE(file.picturesOfOtherSize, 0);
        // Recordings are the operator's alone.
        QCOMPARE(TestSupport::modeOf(files.first()), QStringLiteral("600"));
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

        // One local set per picture; without a device nothing but the time and the version.
        QCOMPARE(file.dataStreams, ts ? 1 : 0);
        QCOMPARE(file.localSets.size(), ts ? file.packets : 0);
        QVERIFY2(localSetFault(file).isEmpty(), qPrintable(localSetFault(file)));
        for (const LocalSet& set : file.localSets)
            QCOMPARE(set.items.keys(), (QList<int>{1, 2, 65}));
        QString fault;
        const QVector<SubtitleCue> cues = readSubtitles(Recording::sidecarOf(files.first()), file.durationS, &fault);
        QVERIFY2(fault.isEmpty(), qPrintable(fault));
        QVERIFY2(cues.first().text.endsWith(QLatin1String("\nno data")), qPrintable(cues.first().text));
        QCOMPARE(TestSupport::modeOf(Recording::sidecarOf(files.first())), QStringLiteral("600"));
    }

    // A simulated device on its own link (so that it can fall silent while the picture goes on): its
    // attitude held, then changed by a set-angle command, then silent, then back; the laser ranging
    // all along. Every local set holds what the controller held when its picture arrived, the subtitle
    // and a snapshot show the same.
    void recordingCarriesTelemetry() {
        SimProcess device;
        const quint16 port = device.startOnFreeUdpPort({"--product", "WrenT-R2", "--rtsp-port", "0"}, {"UDP ready"});
        QVERIFY2(port != 0, qPrintable(device.errorOutput()));
        Recording recording;
        QVERIFY(recording.play(m_sim.url(),
                               "[General]\nlanguage=en\ncurrentProduct=WrenT-R2\n"
                               "[Link]\nSilenceTimeoutSec=1\n"));
        AppBridge bridge;
        struct Report {
            qint64 ms;
            double yaw, pitch, roll;
        };
        QVector<Report> reports;
        connect(&bridge, &AppBridge::gimbalAttitudeChanged, this, [&] {
            reports.append(
                {QDateTime::currentMSecsSinceEpoch(), bridge.gimbalYaw(), bridge.gimbalPitch(), bridge.gimbalRoll()});
        });
        qint64 silentFromMs = 0;
        qint64 backFromMs = 0;
        connect(&bridge, &AppBridge::deviceSilentChanged, this,
                [&] { (bridge.deviceSilent() ? silentFromMs : backFromMs) = QDateTime::currentMSecsSinceEpoch(); });
        bridge.connectUdp(QStringLiteral("127.0.0.1"), port);
        bridge.gimbalSetAngle(-30, 20);
        bridge.laserPeriodicOn();
        const auto holds = [&](double pitch, double yaw) {
            return QTest::qWaitFor(
                [&] { return bridge.gimbalPitch() == pitch && bridge.gimbalYaw() == yaw && bridge.laserRangeValid(); },
                kStreamTimeoutMs);
        };
        // Ground 120 m below, seen 30 degrees down.
        QVERIFY(holds(-30, 20));
        QTRY_COMPARE_WITH_TIMEOUT(bridge.laserRangeDistance(), 240.0, kStreamTimeoutMs);
        QTRY_COMPARE_WITH_TIMEOUT(bridge.cameraStreamModeIndex(), 1, kStreamTimeoutMs);  // the visible camera
        const qint64 heldFromMs = QDateTime::currentMSecsSinceEpoch();
        const auto framesGoOn = [&](int frames) {
            const int until = recording.recorder()->acceptedPackets() + frames;
            return QTest::qWaitFor([&] { return recording.recorder()->acceptedPackets() >= until; }, kStreamTimeoutMs);
        };
        QVERIFY(recording.capture()->startRecording());
        QVERIFY(framesGoOn(60));
        const qint64 heldUntilMs = QDateTime::currentMSecsSinceEpoch();
        const QString snapshot = recording.capture()->saveSnapshot();
        QVERIFY(!snapshot.isEmpty());
        bridge.gimbalSetAngle(-10, 45);
        QVERIFY(holds(-10, 45));
        QVERIFY(framesGoOn(30));
        const qint64 pausedMs = QDateTime::currentMSecsSinceEpoch();
        QVERIFY(device.pause());
        QTRY_VERIFY_WITH_TIMEOUT(bridge.deviceSilent(), kStreamTimeoutMs);
        QVERIFY(framesGoOn(60));
        QVERIFY(device.resume());
        QTRY_VERIFY_WITH_TIMEOUT(!bridge.deviceSilent(), kStreamTimeoutMs);
        const int reportsBeforeResume = reports.size();
        QTRY_VERIFY_WITH_TIMEOUT(reports.size() > reportsBeforeResume, kStreamTimeoutMs);
        const qint64 attitudeBackMs = reports.last().ms;
        QVERIFY(framesGoOn(30));
        recording.capture()->stopRecording();
        QVERIFY(recording.finished());

        const QStringList files = recordingsIn(recording.folder.path());
        QCOMPARE(files.size(), 1);
        const RecordingContents file = readRecording(files.first());
        QVERIFY2(file.opened && file.dataStreams == 1, qPrintable(files.first()));
        QCOMPARE(file.localSets.size(), file.packets);
        QVERIFY2(localSetFault(file).isEmpty(), qPrintable(localSetFault(file)));
        // Each set holds the attitude last reported when its picture arrived (give or take the report
        // that came within the same moment), and nothing of the device's while it was silent.
        const auto latestReportAt = [&](qint64 t) {
            int k = -1;
            while (k + 1 < reports.size() && reports[k + 1].ms <= t)
                ++k;
            return k;
        };
        const auto holdsReport = [&](const LocalSet& set, const Report& report) {
            return qAbs(set.degrees0To360(18) - std::fmod(report.yaw + 360, 360)) < 1e-6 &&
                   qAbs(set.degreesSigned(19) - report.pitch) < 1e-6 &&
                   qAbs(set.degrees0To360(20) - std::fmod(report.roll + 360, 360)) < 1e-6;
        };
        int held = 0;
        int silent = 0;
        int back = 0;
        for (const LocalSet& set : file.localSets) {
            const qint64 t = set.timeMs();
            const QString where = QStringLiteral("set at %1: %2").arg(t).arg(QString::fromLatin1(set.bytes.toHex(' ')));
            QCOMPARE(set.text(10), QStringLiteral("WrenT-R2"));
            if (t > silentFromMs + 20 && t < backFromMs) {
                QVERIFY2(set.items.keys() == (QList<int>{1, 2, 10, 65}), qPrintable(where));
                ++silent;
                continue;
            }
            // From the freeze to the first report after it the last attitude may still count.
            if (t >= pausedMs && t <= attitudeBackMs + 20)
                continue;
            // The lead-in's pictures came while the device was still telling its state.
            if (t < heldFromMs && !set.has(18))
                continue;
            QVERIFY2(set.has(18) && set.has(19) && set.has(20), qPrintable(where));
            QVERIFY2(t < heldFromMs || set.text(11) == QLatin1String("EO"), qPrintable(where));
            const int k = latestReportAt(t);
            QVERIFY2(k >= 0, qPrintable(where));
            const bool matched =
                holdsReport(set, reports[k]) || (k > 0 && reports[k].ms >= t - 1 && holdsReport(set, reports[k - 1])) ||
                (k + 1 < reports.size() && reports[k + 1].ms <= t + 20 && holdsReport(set, reports[k + 1]));
            QVERIFY2(matched, qPrintable(QStringLiteral("%1; report then: %2 %3 %4")
                                             .arg(where)
                                             .arg(reports[k].yaw)
                                             .arg(reports[k].pitch)
                                             .arg(reports[k].roll)));
            if (t > heldFromMs && t < heldUntilMs) {
                QVERIFY2(qAbs(set.degrees0To360(18) - 20) < 1e-6 && qAbs(set.degreesSigned(19) + 30) < 1e-6,
                         qPrintable(where));
                QVERIFY2(set.has(21) && qAbs(set.metres(21) - 240) < 0.002, qPrintable(where));
                ++held;
            }
            back += t > attitudeBackMs;
        }
        QVERIFY2(held >= 30 && silent >= 30 && back >= 15,
                 qPrintable(QStringLiteral("%1 held, %2 silent, %3 after").arg(held).arg(silent).arg(back)));

        QString fault;
        const QVector<SubtitleCue> cues = readSubtitles(Recording::sidecarOf(files.first()), file.durationS, &fault);
        QVERIFY2(fault.isEmpty(), qPrintable(fault));
        const auto anyCue = [&cues](const QString& text) {
            return std::any_of(cues.begin(), cues.end(),
                               [&text](const SubtitleCue& cue) { return cue.text.contains(text); });
        };
        QVERIFY(anyCue(QStringLiteral("Yaw 20.0° Pitch -30.0° Roll 0.0°  Zoom 1.0×  Range 240.0 m")));
        QVERIFY(anyCue(QStringLiteral("\nno data")));
        QVERIFY(anyCue(QStringLiteral("Yaw 45.0° Pitch -10.0° Roll 0.0°")));

        QTRY_VERIFY_WITH_TIMEOUT(recording.sawEvent(QStringLiteral("snapshotSaved")), kStreamTimeoutMs);
        const QImage picture(snapshot);
        QStringList texts;
        for (const char* key : {"Yaw", "Pitch", "Roll", "Slant Range", "Zoom", "Product", "Sensor"})
            texts << picture.text(QStringLiteral("Skyvane ") + key);
        QCOMPARE(texts.join(QLatin1Char(' ')), QStringLiteral("20.00 -30.00 0.00 240.0 1.0 WrenT-R2 EO"));
        const QDateTime taken = QDateTime::fromString(picture.text(QStringLiteral("Creation Time")), Qt::ISODateWithMs);
        QVERIFY2(qAbs(taken.toMSecsSinceEpoch() - heldUntilMs) < 2000, qPrintable(picture.text("Creation Time")));
    }

    void killedRecorderLeavesPlayableFile_data() {
        QTest::addColumn<QString>("format");
        QTest::newRow("ts") << QStringLiteral("ts");
        QTest::newRow("mkv") << QStringLiteral("mkv");
    }

    void killedRecorderLeavesPlayableFile() {
        QFETCH(QString, format);
        QTemporaryDir folder;
        QProcess recorder;
        recorder.start(QStringLiteral(RECORD_UNTIL_KILLED_PATH), {m_sim.url(), folder.path(), format});
        QVERIFY(recorder.waitForStarted(5000));
        // Five seconds of pictures taken (counted by the recorder, however slow the machine), then
        // the kill.
        QString path;
        int accepted = 0;
        const bool recorded = QTest::qWaitFor(
            [&] {
                recorder.waitForReadyRead(100);
                while (recorder.canReadLine()) {
                    const QByteArray line = recorder.readLine().trimmed();
                    if (line.startsWith("RECORDING "))
                        path = QString::fromUtf8(line.mid(10));
                    else if (line.startsWith("ACCEPTED "))
                        accepted = line.mid(9).toInt();
                }
                return accepted >= 150 || recorder.state() != QProcess::Running;
            },
            kStreamTimeoutMs * 2);
        QVERIFY2(recorded && accepted >= 150, recorder.readAllStandardError());
        ::kill(pid_t(recorder.processId()), SIGKILL);
        QVERIFY(recorder.waitForFinished(5000));

        const RecordingContents file = readRecording(path);
        QVERIFY2(file.opened && path.endsWith("." + format), qPrintable(path));
        // Pictures written before the kill decode; the one the kill cut short may not.
        QVERIFY2(!file.stamps.isEmpty() && file.stamps.size() >= file.pictures - 1,
                 qPrintable(QStringLiteral("%1 of %2 pictures decode").arg(file.stamps.size()).arg(file.pictures)));
        QVERIFY2(counterFault(file.stamps).isEmpty(), qPrintable(counterFault(file.stamps)));
        // Clusters are closed every second of pictures, a transport stream is written as it comes: at
        // most about a second of what the recorder had taken is lost (two seconds allowed for the
        // writer's queue and the last report). The telemetry goes with the pictures.
        QVERIFY2(
            file.packets >= accepted - 2 * 30,
            qPrintable(
                QStringLiteral("%1 pictures in the file, %2 taken before the kill").arg(file.packets).arg(accepted)));
        if (format == QLatin1String("ts")) {
            QVERIFY2(file.localSets.size() >= file.packets - 1, qPrintable(QString::number(file.localSets.size())));
            QVERIFY2(localSetFault(file).isEmpty(), qPrintable(localSetFault(file)));
        }
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
        SimProcess sim;
        QVERIFY2(sim.startRtsp(simulatorArgs), qPrintable(sim.errorOutput()));
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
            QVERIFY2(file.pictures > 0 && file.picturesOfOtherSize == 0, qPrintable(path));
            QVERIFY2(counterFault(file.stamps).isEmpty(), qPrintable(counterFault(file.stamps)));
            // The telemetry goes on across the gap, its times still rising.
            QCOMPARE(file.localSets.size(), file.packets);
            QVERIFY2(localSetFault(file).isEmpty(), qPrintable(localSetFault(file)));
            packets += file.packets;
        }
        // Every packet taken is in a file.
        QCOMPARE(recording.recorder()->droppedPackets(), 0);
        QCOMPARE(packets, recording.recorder()->acceptedPackets());
        if (sizeChanges) {
            // Files named by their start time, in that order.
            QCOMPARE(QSize(contents[0].width, contents[0].height), QSize(1280, 720));
            QCOMPARE(QSize(contents[1].width, contents[1].height), QSize(640, 360));
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
    // gets a file of its own under the next free name. A link at the name of the subtitle file keeps
    // the recording from having one: the operator is told and the recording goes on.
    void plantedLinksAreNotFollowed() {
        Recording recording;
        QVERIFY(recording.play(m_sim.url()));
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
            for (const QString& suffix : {QStringLiteral(".ts"), QStringLiteral(".png"), QStringLiteral("_2.srt")})
                QVERIFY(QFile::link(target, stem + suffix));
        }
        const int links = QDir(recording.folder.path()).entryList(QDir::System | QDir::Files).size();

        QVERIFY(recording.capture()->startRecording());
        QTRY_VERIFY_WITH_TIMEOUT(recording.sawEvent(QStringLiteral("recordingStarted")), kStreamTimeoutMs);
        QTRY_VERIFY_WITH_TIMEOUT(recording.capture()->recordingBytes() > 50000, kStreamTimeoutMs);
        QVERIFY(recording.sawEvent(QStringLiteral("sidecarFailed")));
        QVERIFY(recording.capture()->recording());
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
            QCOMPARE(TestSupport::modeOf(path), QStringLiteral("600"));
        }
        QCOMPARE(QImage(snapshot).size(), QSize(1280, 720));
        const QStringList recordings = made.filter(QStringLiteral(".ts"));
        QCOMPARE(recordings.size(), 1);
        QVERIFY(readRecording(recording.folder.filePath(recordings.first())).packets > 0);
    }

    // A folder that cannot be made, then a file that may not grow beyond a limit (as on a full disk):
    // the recording fails with the system's reason, what was written stays readable and playback goes
    // on.
    void unwritableFolderOrFullDiskStopsRecordingAndPlaybackGoesOn() {
        Recording recording;
        QVERIFY(recording.play(m_sim.url()));
        // A folder below a plain file cannot be made, whoever runs the test.
        QFile blocker(recording.folder.filePath(QStringLiteral("not-a-folder")));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        QVERIFY(TestSupport::writeConfig("[Video]\nBackend=ffmpeg\nRecordingDir=" + blocker.fileName().toUtf8() +
                                         "/recordings\n"));
        QVERIFY(!recording.capture()->startRecording());
        QVERIFY(!recording.capture()->recording());
        QVERIFY(recording.sawEvent(QStringLiteral("recordingFailed")));
        QVERIFY(TestSupport::writeConfig("[Video]\nBackend=ffmpeg\nRecordingDir=" + recording.folder.path().toUtf8()));

        // A recording started with files limited to limit bytes (the signal of a file grown too large
        // ignored), until it fails.
        const auto failsUnderLimit = [&](rlim_t limit) {
            rlimit saved{};
            getrlimit(RLIMIT_FSIZE, &saved);
            rlimit limited = saved;
            limited.rlim_cur = limit;
            const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
            recording.events.clear();
            const bool failed = setrlimit(RLIMIT_FSIZE, &limited) == 0 && recording.capture()->startRecording() &&
                                QTest::qWaitFor([&] { return recording.sawEvent(QStringLiteral("recordingFailed")); },
                                                kStreamTimeoutMs);
            setrlimit(RLIMIT_FSIZE, &saved);
            std::signal(SIGXFSZ, previousHandler);
            return failed;
        };
        QVERIFY(failsUnderLimit(300 * 1024));
        QVERIFY(!recording.capture()->recording());
        // Tried again on a disk with no room left at all: the file that could not even take its header
        // is not left behind empty.
        QVERIFY(failsUnderLimit(0));
        const QStringList files = recordingsIn(recording.folder.path());
        QCOMPARE(files.size(), 1);
        const RecordingContents file = readRecording(files.first());
        QVERIFY2(file.opened && !file.stamps.isEmpty(), "what fitted on the disk plays");
        QVERIFY2(counterFault(file.stamps).isEmpty(), qPrintable(counterFault(file.stamps)));
        const qint64 decoded = recording.item.frameCounts().decoded;
        QTRY_VERIFY_WITH_TIMEOUT(recording.item.frameCounts().decoded > decoded + 10, kStreamTimeoutMs);
    }

private:
    SimProcess m_sim;  // the plain stream, for every test that needs nothing else
};

QTEST_MAIN(LocalRecordingTest)
#include "tst_local_recording.moc"
