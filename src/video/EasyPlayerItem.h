#pragma once

#include <QImage>
#include <memory>

#include "VideoFrameItem.h"

class QWidget;
class QtEasyPlayerStreamPuller;

// The player-library backend's QML item: pulls the stream through QtEasyPlayerStreamPuller and shows
// its 24-bit RGB pictures letter-boxed into a rounded black item, like FFmpegItem.
class EasyPlayerItem : public VideoFrameItem {
    Q_OBJECT

public:
    explicit EasyPlayerItem(QQuickItem* parent = nullptr);
    ~EasyPlayerItem() override;

    void open() override;
    void close() override;

    // For tests.
    QtEasyPlayerStreamPuller* puller() const { return m_puller; }

private slots:
    void onFrameBufferReady(int bufferIndex, int width, int height);
    void onStreamStarted(int channelId);
    void onStreamStopped();
    void onStreamStartFailed(int errorCode, const QString& reason);

private:
    std::unique_ptr<QWidget> m_renderWidget;
    QtEasyPlayerStreamPuller* m_puller = nullptr;
};

// Copies a tightly packed 24-bit RGB picture (rows of width * 3 bytes) into an RGB888 image whose rows
// may be padded to 4 bytes. The image must already be width x height.
void copyPackedRgb24(const char* pixels, int width, int height, QImage* image);
