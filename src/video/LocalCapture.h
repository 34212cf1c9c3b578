#pragma once

#include <QElapsedTimer>
#include <QImage>
#include <QObject>
#include <QTimer>
#include <functional>

#include "StreamRecorder.h"

// The operator's own copy of the stream on this computer: a recording of the received packets and
// snapshots of the decoded picture, both into the folder Video/RecordingDir (default: the
// recordings folder of DataLocations). What the operator should be told goes out as captureEvent; the session
// log gets its lines here and in StreamRecorder.
class LocalCapture : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool recording READ recording NOTIFY recordingChanged)
    Q_PROPERTY(int recordingSeconds READ recordingSeconds NOTIFY progressChanged)
    Q_PROPERTY(double recordingBytes READ recordingBytes NOTIFY progressChanged)

public:
    using PictureSource = std::function<QImage()>;

    // currentPicture gives the decoded picture at the stream's full size (null when there is none).
    explicit LocalCapture(PictureSource currentPicture, QObject* parent = nullptr);
    ~LocalCapture() override;

    // The decode thread feeds it.
    StreamRecorder* recorder() const { return m_recorder; }
    // Video/RecordingDir as an absolute path, or the layout's recordings folder when it is not set.
    static QString folder();
    // Video/RecordingFormat: ts (default) or mkv; another value records as ts, with a warning.
    static StreamRecorder::Format recordingFormat();

    bool recording() const { return m_recording; }
    int recordingSeconds() const;
    double recordingBytes() const;

    Q_INVOKABLE bool startRecording();
    Q_INVOKABLE void stopRecording();
    Q_INVOKABLE void toggleRecording();
    // The snapshot's path, or "" when nothing will be saved. The picture is written on a worker
    // thread (a full-size PNG takes a tenth of a second and more); captureEvent tells when it is.
    Q_INVOKABLE QString saveSnapshot();

signals:
    void recordingChanged();
    void progressChanged();
    // kind: "recordingStarted", "recordingNewFile", "recordingStopped", "recordingFailed" (path is the
    // file or the folder), "sidecarFailed" (the subtitle file; the recording goes on),
    // "snapshotSaved", "snapshotFailed", "snapshotNoPicture"; detail: a size or the system's reason.
    void captureEvent(const QString& kind, const QString& path, const QString& detail);

private slots:
    void onFileStarted(const QString& path, bool newStream);
    void onFileFinished(const QString& path, qint64 bytes);
    void onFailed(const QString& path, const QString& reason);

private:
    void setRecording(bool recording);
    bool prepareFolder(const QString& folder, const char* what);
    void onSnapshotWritten(const QString& path, const QSize& size, bool written);

    PictureSource m_currentPicture;
    StreamRecorder* m_recorder = nullptr;
    bool m_recording = false;
    QElapsedTimer m_elapsed;
    QTimer m_progressTimer;
};

// "12.3 MB", "850 KB": the size of a file for the message log.
QString fileSizeText(qint64 bytes);
