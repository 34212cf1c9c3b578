#pragma once

#include <QImage>
#include <QRect>
#include <QString>
#include <QVector>

// What the simulated camera shows: a snapshot of the device state, copied to the video thread.
struct VideoState {
    enum class Output { Visible, Infrared, Split };
    struct Detection {
        QRect box;  // 1920 x 1080 device coordinates
        QString label;
    };

    QString product;
    Output output = Output::Visible;
    double zoom = 1.0;
    double irZoom = 1.0;
    double pitch = 0.0;
    double yaw = 0.0;
    double roll = 0.0;
    bool recording = false;
    int recordingSeconds = 0;
    bool tracking = false;
    QRect trackingBox;  // 1920 x 1088 device coordinates
    QVector<Detection> detections;
    int paletteCode = 1;  // infrared false-colour palette, as the device numbers them

    // Thermometry, 1920 x 1080 device coordinates; shown on the infrared picture while on.
    struct Thermometry {
        bool on = false;
        QRect area;
        QPoint hottest, coldest, spot;
        double maxC = 0, minC = 0, spotC = 0;
    } thermometry;
};

// Draws one frame of the simulated camera: a horizon and bearing posts that follow the attitude
// and zoom, the state as text, the tracking and detection boxes, and the frame stamp.
class VideoScene {
public:
    static QImage render(const VideoState& state, QSize size, qint64 epochMs, quint32 frameCounter);
};
