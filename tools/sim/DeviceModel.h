#pragma once

#include <QByteArray>
#include <QHash>
#include <QRect>
#include <QVector>

#include <functional>

#include "DeviceProfile.h"
#include "VideoScene.h"

struct ParsedFrame;

// One frame the device sends: the transport adds the header, sequence number and checksum.
struct DeviceFrame {
    quint8 sender = 4;
    quint8 receiver = 1;
    quint32 messageId = 0;
    QByteArray payload;
    bool isReply = false;  // an answer to a command (faults like refusal and delay apply)
};
using DeviceFrames = QVector<DeviceFrame>;

// The simulated gimbal and camera: state, the answer to each command and the periodic status
// reports. Plain class without sockets or timers: time comes in as milliseconds, frames go out
// as values, so it can be driven byte for byte from tests.
class DeviceModel {
public:
    explicit DeviceModel(const QString& product);

    // Answers one received frame (commands only; other classes and receivers are ignored).
    DeviceFrames handleFrame(const ParsedFrame& frame, qint64 nowMs);
    // Refuses a received command with the given result code without carrying it out (an injected
    // fault); a refused recording command is followed by the recording state, as after any other.
    DeviceFrames refuse(const ParsedFrame& frame, quint16 code, qint64 nowMs);
    // Moves the gimbal, zoom and targets on to nowMs and returns the reports that are due.
    DeviceFrames tick(qint64 nowMs);

    VideoState videoState() const;
    const DeviceProfile& profile() const { return m_profile; }

    // Operator-side events of the simulated world (from the console or tests).
    void loseTrackedTarget() { m_trackLostPending = m_tracking; }
    void setSdStatus(quint8 code) { m_sdStatus = code; }
    // Keeps the hot and cold spots in place, so that a picture can be compared with the reports.
    void setStillThermalField(bool still) { m_stillThermalField = still; }

    // State, readable by tests.
    struct Gimbal {
        double pitch = 0, yaw = 0, roll = 0;
        double pitchSpeed = 0, yawSpeed = 0;  // degrees per second while a direction is held
        bool hasTarget = false;
        double targetPitch = 0, targetYaw = 0;
        qint64 lastMoveMs = 0;
    };
    const Gimbal& gimbal() const { return m_gimbal; }
    double zoom() const { return m_zoom; }
    bool zooming() const { return m_zoomTarget > 0 || m_zoomDirection != 0; }
    bool recording() const { return m_recording; }
    bool thermometryOn() const { return m_thermometryOn; }
    bool detecting() const { return m_detecting; }
    bool tracking() const { return m_tracking; }
    int paletteCode() const { return m_paletteCode; }
    quint8 outputMode() const { return m_outputMode; }
    // The camera clock set by the time-sync command, as an offset from the simulator's clock.
    qint64 clockOffsetMs() const { return m_clockOffsetMs; }

private:
    // One received command: its number, payload and the time it arrived.
    struct Request {
        quint16 number;
        const quint8* p;
        int n;
        qint64 nowMs;
    };
    using Handler = DeviceFrames (DeviceModel::*)(const Request& r);
    struct Command {
        Handler handler;
        int minLength;
    };
    static const QHash<quint16, Command>& commandTable();

    DeviceFrame reply(quint16 number, const QByteArray& extra = {}, quint16 result = 0) const;
    static bool isCommandFor(const ParsedFrame& frame);
    static void address(DeviceFrames& answers, const ParsedFrame& frame);
    DeviceFrame report(quint32 messageId, const QByteArray& payload) const;
    void advance(qint64 nowMs);

    // Gimbal (DeviceGimbal.cpp)
    DeviceFrames onGimbalControl(const Request& r);
    DeviceFrames onSetAngle(const Request& r);
    DeviceFrames onGimbalVersion(const Request& r);
    void advanceGimbal(double seconds, qint64 nowMs);
    DeviceFrame attitudeReport() const;
    // Camera (DeviceCamera.cpp)
    DeviceFrames onReadVisibleSettings(const Request& r);
    DeviceFrames onRecordResolution(const Request& r);
    DeviceFrames onPhotoResolution(const Request& r);
    DeviceFrames onPhotoVideoMode(const Request& r);
    DeviceFrames onTakePhoto(const Request& r);
    DeviceFrames onRecord(const Request& r);
    DeviceFrames onZoomToRatio(const Request& r);
    DeviceFrames onContinuousZoom(const Request& r);
    DeviceFrames onBitrate(const Request& r);
    DeviceFrames onStreamResolution(const Request& r);
    DeviceFrames onEncoding(const Request& r);
    DeviceFrames onImageMode(const Request& r);
    DeviceFrames onSetTime(const Request& r);
    DeviceFrames onCameraShutdown(const Request& r);
    DeviceFrames onCameraVersion(const Request& r);
    void advanceZoom(double seconds);
    DeviceFrame cameraStatusReport() const;
    DeviceFrame zoomReport() const;
    DeviceFrame recordingReport(qint64 nowMs) const;
    // Infrared (DeviceInfrared.cpp)
    DeviceFrames onReadIrSettings(const Request& r);
    DeviceFrames onIrZoom(const Request& r);
    DeviceFrames onPalette(const Request& r);
    DeviceFrames onIrAdjustment(const Request& r);  // brightness, contrast, denoise, enhance, super-resolution
    DeviceFrames onThermometrySwitch(const Request& r);
    DeviceFrames onSpotThermometry(const Request& r);
    DeviceFrames onRegionThermometry(const Request& r);
    struct Measurement {
        QRect area;
        QPoint hottest, coldest, centre;
        double maxC, minC, centreC, spotC, averageC;
    };
    Measurement measure(qint64 nowMs) const;
    DeviceFrame thermometryReport(qint64 nowMs) const;
    // Detection, tracking, channels, IP, laser (DeviceTargets.cpp)
    DeviceFrames onAiDetection(const Request& r);
    DeviceFrames onAiCategories(const Request& r);
    DeviceFrames onBoxTracking(const Request& r);
    DeviceFrames onLaserSingle(const Request& r);
    DeviceFrames onLaserPeriodic(const Request& r);
    DeviceFrames onChannelRange(const Request& r);
    DeviceFrames onChannelConfig(const Request& r);
    DeviceFrames onReadChannels(const Request& r);
    DeviceFrames onSetCameraIp(const Request& r);
    DeviceFrames onGetCameraIp(const Request& r);
    QVector<VideoState::Detection> detections(qint64 nowMs) const;
    DeviceFrame detectionReport(qint64 nowMs) const;
    DeviceFrame trackingReport(quint8 status) const;
    DeviceFrame laserReport() const;
    quint16 laserRangeTenths() const;

    DeviceProfile m_profile;
    qint64 m_lastAdvanceMs = -1;
    Gimbal m_gimbal;
    quint8 m_lastGimbalReceiver = 3;

    // Camera
    quint8 m_photoVideoMode = 0;
    quint8 m_photoResolution = 0x15;
    quint8 m_recordResolution = 0x08;
    quint8 m_streamResolution = 1;  // command code: 1 = 1080p30, 2 = 720p30
    quint8 m_encoding = 0;
    quint8 m_bitrate = 4;
    quint8 m_outputMode = 5;  // 0 infrared, 5 visible, 7 split
    quint8 m_sdStatus = 0;
    int m_photosTaken = 0;
    bool m_recording = false;
    qint64 m_recordStartMs = 0;
    double m_zoom = 1.0;
    double m_zoomTarget = 0;  // > 0 while moving to a ratio
    int m_zoomDirection = 0;  // +1 in, -1 out while continuous zoom runs
    qint64 m_clockOffsetMs = 0;

    // Infrared
    int m_paletteCode = 1;
    int m_irZoom = 1;
    quint8 m_brightness = 50, m_contrast = 50, m_denoiseOn = 0, m_denoiseLevel = 0, m_enhance = 0, m_superRes = 0;
    bool m_thermometryOn = false;
    bool m_stillThermalField = false;
    QPoint m_spot{960, 540};
    QRect m_region;  // empty: the whole measurable area

    // Detection and tracking
    bool m_detecting = false;
    QByteArray m_categoryBitmap = QByteArray(16, 0);
    bool m_tracking = false;
    bool m_trackLostPending = false;
    QRect m_trackBox;

    // Laser, channels, IP
    bool m_laserPeriodic = false;
    std::array<quint8, 8> m_channels{{1, 2, 3, 4, 5, 6, 7, 8}};
    quint16 m_channelMax = 1800, m_channelMin = 200;
    std::array<quint8, 13> m_ip{{0, 192, 168, 144, 25, 255, 255, 255, 0, 192, 168, 144, 1}};

    // When each periodic report was last sent.
    qint64 m_lastAttitudeMs = 0, m_lastCameraStatusMs = 0, m_lastZoomMs = 0, m_lastThermometryMs = 0,
           m_lastRecordingMs = 0, m_lastDetectionMs = 0, m_lastTrackingMs = 0, m_lastLaserMs = 0;
};

// Little-endian helpers shared by the model's files.
namespace DeviceBytes {
inline quint16 u16(const quint8* p) {
    return quint16(p[0] | (p[1] << 8));
}
inline void put16(QByteArray& out, int value) {
    out.append(char(value & 0xFF));
    out.append(char((value >> 8) & 0xFF));
}
inline QByteArray bytes(std::initializer_list<int> values) {
    QByteArray out;
    for (int v : values)
        out.append(char(v));
    return out;
}
}  // namespace DeviceBytes
