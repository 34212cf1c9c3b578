#include "LocalCapture.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QThreadPool>

#include <unistd.h>

#include "CaptureFile.h"
#include "StreamRecorder.h"
#include "Telemetry.h"
#include "app/AppConfig.h"
#include "app/DataLocations.h"
#include "app/elog.h"

namespace {

constexpr int kProgressIntervalMs = 500;

}  // namespace

LocalCapture::LocalCapture(PictureSource currentPicture, QObject* parent)
    : QObject(parent), m_currentPicture(std::move(currentPicture)), m_recorder(new StreamRecorder(this)) {
    m_progressTimer.setInterval(kProgressIntervalMs);
    connect(&m_progressTimer, &QTimer::timeout, this, &LocalCapture::progressChanged);
    connect(m_recorder, &StreamRecorder::fileStarted, this, &LocalCapture::onFileStarted);
    connect(m_recorder, &StreamRecorder::fileFinished, this, &LocalCapture::onFileFinished);
    connect(m_recorder, &StreamRecorder::failed, this, &LocalCapture::onFailed);
    connect(m_recorder, &StreamRecorder::sidecarFailed, this, [this](const QString& path, const QString& reason) {
        emit captureEvent(QStringLiteral("sidecarFailed"), path, reason);
    });
}

LocalCapture::~LocalCapture() {
    // The last file is finished by the recorder; nobody listens any more.
    disconnect(m_recorder, nullptr, this, nullptr);
}

QString LocalCapture::folder() {
    return DataLocations::recordingsFolder(DataLocations::current(),
                                           AppConfig::stringValue(QStringLiteral("Video/RecordingDir"), QString()));
}

StreamRecorder::Format LocalCapture::recordingFormat() {
    const QString name = AppConfig::stringValue(QStringLiteral("Video/RecordingFormat"), QStringLiteral("ts"));
    bool known = false;
    const StreamRecorder::Format format = StreamRecorder::formatFromName(name, &known);
    if (!known)
        elog_w("video", "Video/RecordingFormat=%s is not ts or mkv: recording as ts", name.toUtf8().constData());
    return format;
}

int LocalCapture::recordingSeconds() const {
    return m_recording ? int(m_elapsed.elapsed() / 1000) : 0;
}

double LocalCapture::recordingBytes() const {
    return m_recording ? double(m_recorder->bytesWritten()) : 0;
}

void LocalCapture::setRecording(bool recording) {
    if (recording == m_recording)
        return;
    m_recording = recording;
    if (recording) {
        m_elapsed.start();
        m_progressTimer.start();
    } else {
        m_progressTimer.stop();
    }
    emit recordingChanged();
    emit progressChanged();
}

bool LocalCapture::prepareFolder(const QString& folder, const char* what) {
    const QFileInfo info(folder);
    if (QDir().mkpath(folder) && info.isDir() && info.isWritable())
        return true;
    elog_e("video", "%s not possible: folder %s cannot be created or written", what, folder.toUtf8().constData());
    return false;
}

bool LocalCapture::startRecording() {
    if (m_recording)
        return true;
    const QString dir = folder();
    if (!prepareFolder(dir, "Recording")) {
        emit captureEvent(QStringLiteral("recordingFailed"), dir, QString());
        return false;
    }
    elog_i("video", "Recording requested into %s", dir.toUtf8().constData());
    m_recorder->start(dir, recordingFormat());
    setRecording(true);
    return true;
}

void LocalCapture::stopRecording() {
    if (!m_recording)
        return;
    m_recorder->stop();
    setRecording(false);
}

void LocalCapture::toggleRecording() {
    if (m_recording)
        stopRecording();
    else
        startRecording();
}

QString LocalCapture::saveSnapshot() {
    QImage picture = m_currentPicture();
    const QString dir = folder();
    if (picture.isNull()) {
        emit captureEvent(QStringLiteral("snapshotNoPicture"), QString(), QString());
        return QString();
    }
    if (!prepareFolder(dir, "Snapshot")) {
        emit captureEvent(QStringLiteral("snapshotFailed"), dir, QString());
        return QString();
    }
    // The file is created here (the name is taken at once, so a second snapshot in the same second
    // gets another) and written through its descriptor, never opened by name again.
    const CaptureFile::Created created = CaptureFile::create(dir, QStringLiteral("skyvane_"), QStringLiteral(".png"));
    if (created.fd < 0) {
        elog_e("video", "Snapshot not possible in %s: %s", created.path.toUtf8().constData(),
               created.error.toUtf8().constData());
        emit captureEvent(QStringLiteral("snapshotFailed"), created.path, created.error);
        return QString();
    }
    // The telemetry of this moment goes into the file as text chunks.
    const qint64 nowMs = QDateTime::currentMSecsSinceEpoch();
    for (const auto& text : TelemetryFeed::latest().freshAt(nowMs).pngText(nowMs))
        picture.setText(text.first, text.second);
    QPointer<LocalCapture> self(this);
    const QString path = created.path;
    const int fd = created.fd;
    QThreadPool::globalInstance()->start([self, picture, path, fd] {
        QFile file;
        bool written = file.open(fd, QIODevice::WriteOnly, QFileDevice::DontCloseHandle) && picture.save(&file, "PNG");
        written = file.flush() && written;
        file.close();
        if (!written)
            CaptureFile::removeIfSame(fd, path);
        ::close(fd);
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [self, path, size = picture.size(), written] {
                if (self)
                    self->onSnapshotWritten(path, size, written);
            },
            Qt::QueuedConnection);
    });
    return path;
}

void LocalCapture::onSnapshotWritten(const QString& path, const QSize& size, bool written) {
    if (!written) {
        elog_e("video", "Snapshot could not be written to %s", path.toUtf8().constData());
        emit captureEvent(QStringLiteral("snapshotFailed"), path, QString());
        return;
    }
    elog_i("video", "Snapshot saved %s (%dx%d)", path.toUtf8().constData(), size.width(), size.height());
    emit captureEvent(QStringLiteral("snapshotSaved"), path, QString());
}

void LocalCapture::onFileStarted(const QString& path, bool newStream) {
    emit captureEvent(newStream ? QStringLiteral("recordingNewFile") : QStringLiteral("recordingStarted"), path,
                      QString());
    emit progressChanged();
}

void LocalCapture::onFileFinished(const QString& path, qint64 bytes) {
    // A file finished while recording goes on was followed by a new one (its own message says so).
    if (!m_recording)
        emit captureEvent(QStringLiteral("recordingStopped"), path, fileSizeText(bytes));
}

void LocalCapture::onFailed(const QString& path, const QString& reason) {
    setRecording(false);
    emit captureEvent(QStringLiteral("recordingFailed"), path, reason);
}

QString fileSizeText(qint64 bytes) {
    if (bytes >= 1024 * 1024)
        return QStringLiteral("%1 MB").arg(bytes / (1024.0 * 1024.0), 0, 'f', 1);
    return QStringLiteral("%1 KB").arg((bytes + 1023) / 1024);
}
