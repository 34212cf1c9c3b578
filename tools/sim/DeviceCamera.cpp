// The visible camera: settings, photo, recording, zoom and the camera and zoom reports.
#include <cmath>

#include "DeviceModel.h"
#include "protocol/MessageCatalogue.h"

using namespace DeviceBytes;

namespace {
constexpr double kZoomRatePerS = 1.5;  // natural-log units: 1x to 40x in about 2.5 s
constexpr quint8 kSdNotInserted = 3;
constexpr quint8 kSdFull = 4;

bool oneOf(quint8 value, std::initializer_list<quint8> allowed) {
    for (quint8 a : allowed)
        if (a == value)
            return true;
    return false;
}
}  // namespace

DeviceFrames DeviceModel::onReadVisibleSettings(const Request& r) {
    QByteArray extra =
        bytes({m_photoResolution, m_recordResolution, m_streamResolution, m_encoding, m_bitrate, m_outputMode});
    extra.append(QByteArray(20 - extra.size(), 0));  // 22-byte answer
    return {reply(r.number, extra)};
}

DeviceFrames DeviceModel::onRecordResolution(const Request& r) {
    if (!oneOf(r.p[1], {0x08, 0x26, 0x36}))
        return {reply(r.number, {}, 1)};
    m_recordResolution = r.p[1];
    return {reply(r.number)};
}

DeviceFrames DeviceModel::onPhotoResolution(const Request& r) {
    if (!oneOf(r.p[1], {0x14, 0x15, 0x16, 0x17}))
        return {reply(r.number, {}, 1)};
    m_photoResolution = r.p[1];
    return {reply(r.number)};
}

DeviceFrames DeviceModel::onPhotoVideoMode(const Request& r) {
    if (r.p[0] > 1)
        return {reply(r.number, {}, 1)};
    if (m_recording && r.p[0] == 0)
        return {reply(r.number, {}, ResultCode::Recording)};
    m_photoVideoMode = r.p[0];
    return {reply(r.number)};
}

DeviceFrames DeviceModel::onTakePhoto(const Request& r) {
    if (m_sdStatus == kSdNotInserted)
        return {reply(r.number, {}, ResultCode::NoSdCard)};
    if (m_sdStatus == kSdFull)
        return {reply(r.number, {}, 6)};
    ++m_photosTaken;
    return {reply(r.number)};
}

DeviceFrames DeviceModel::onRecord(const Request& r) {
    const quint8 action = r.p[1];
    if (action == 1) {
        // A refused start is followed by the state the camera is really in.
        if (m_sdStatus == kSdNotInserted)
            return {reply(r.number, {}, ResultCode::NoSdCard), recordingReport(r.nowMs)};
        if (m_recording)
            return {reply(r.number, {}, ResultCode::Recording), recordingReport(r.nowMs)};
        m_recording = true;
        m_recordStartMs = r.nowMs;
        m_photoVideoMode = 1;
    } else if (action == 2) {
        m_recording = false;
    } else {
        return {reply(r.number, {}, 1)};
    }
    m_lastRecordingMs = r.nowMs;
    return {reply(r.number), recordingReport(r.nowMs)};
}

DeviceFrames DeviceModel::onZoomToRatio(const Request& r) {
    const double ratio = qBound(1.0, u16(r.p + 1) / 10.0, m_profile.maxZoom);
    m_zoomDirection = 0;
    m_zoomTarget = std::abs(ratio - m_zoom) < 0.05 ? 0 : ratio;
    m_lastZoomMs = 0;  // report the new movement at once
    return {reply(r.number)};
}

DeviceFrames DeviceModel::onContinuousZoom(const Request& r) {
    if (r.p[0] > 2)
        return {reply(r.number, {}, 1)};
    m_zoomTarget = 0;
    m_zoomDirection = r.p[0] == 0 ? 1 : r.p[0] == 1 ? -1 : 0;
    m_lastZoomMs = 0;
    return {reply(r.number)};
}

DeviceFrames DeviceModel::onBitrate(const Request& r) {
    if (r.p[0] < 1 || r.p[0] > 6)
        return {reply(r.number, {}, 1)};
    m_bitrate = r.p[0];
    return {reply(r.number)};
}

DeviceFrames DeviceModel::onStreamResolution(const Request& r) {
    if (r.p[0] != 1 && r.p[0] != 2)
        return {reply(r.number, {}, 1)};
    m_streamResolution = r.p[0];
    return {reply(r.number)};
}

DeviceFrames DeviceModel::onEncoding(const Request& r) {
    if (r.p[0] > 1)
        return {reply(r.number, {}, 1)};
    m_encoding = r.p[0];
    return {reply(r.number)};
}

DeviceFrames DeviceModel::onImageMode(const Request& r) {
    if (!oneOf(r.p[0], {0, 5, 6, 7}))
        return {reply(r.number, {}, 1)};
    m_outputMode = r.p[0];
    m_lastCameraStatusMs = 0;  // the new mode shows in the next camera status at once
    return {reply(r.number)};
}

DeviceFrames DeviceModel::onSetTime(const Request& r) {
    qint64 deviceMs = 0;
    for (int i = 7; i >= 0; --i)
        deviceMs = (deviceMs << 8) | r.p[i];
    m_clockOffsetMs = deviceMs - r.nowMs;
    return {reply(r.number)};
}

// A soft restart: recording ends and the infrared palette falls back to its default.
DeviceFrames DeviceModel::onCameraShutdown(const Request& r) {
    m_recording = false;
    m_paletteCode = 1;
    m_zoomTarget = 0;
    m_zoomDirection = 0;
    return {reply(r.number)};
}

DeviceFrames DeviceModel::onCameraVersion(const Request& r) {
    QByteArray extra;
    for (quint8 b : m_profile.cameraVersion)
        extra.append(char(b));
    return {reply(r.number, extra)};
}

void DeviceModel::advanceZoom(double seconds) {
    const double step = kZoomRatePerS * seconds;
    if (m_zoomTarget > 0) {
        const double from = std::log(m_zoom);
        const double to = std::log(m_zoomTarget);
        const double next = std::abs(to - from) <= step ? to : from + (to > from ? step : -step);
        m_zoom = std::exp(next);
        if (next == to) {
            m_zoom = m_zoomTarget;
            m_zoomTarget = 0;
        }
    } else if (m_zoomDirection != 0) {
        m_zoom = qBound(1.0, m_zoom * std::exp(m_zoomDirection * step), m_profile.maxZoom);
        if (m_zoom == 1.0 || m_zoom == m_profile.maxZoom)
            m_zoomDirection = 0;  // end stop
    }
}

// 16 bytes: mode, stream resolution (0 1080p, 1 720p), encoding, output, bitrate, 3 reserved,
// SD card status, reserved.
DeviceFrame DeviceModel::cameraStatusReport() const {
    QByteArray payload =
        bytes({m_photoVideoMode, m_streamResolution - 1, m_encoding, m_outputMode, m_bitrate, 0, 0, 0, m_sdStatus});
    payload.append(QByteArray(16 - payload.size(), 0));
    return report(reportIdOf(MessageId::CameraSystemStatus), payload);
}

// 15 bytes: zooming, focal length (0.01 mm), ratio x 10, EV, ISO, shutter, AE lock, focus,
// re-shot focal length, reserved.
DeviceFrame DeviceModel::zoomReport() const {
    QByteArray payload;
    payload.append(char(zooming() ? 1 : 0));
    put16(payload, int(std::lround(m_zoom * 480)));
    put16(payload, int(std::lround(m_zoom * 10)));
    payload.append(char(0x10));
    put16(payload, 0x0064);
    put16(payload, 0x0020);
    payload.append(char(2));
    payload.append(char(zooming() ? 1 : 0));
    put16(payload, 0);
    payload.append(char(0));
    return report(reportIdOf(MessageId::VisibleCameraStatus), payload);
}

// 4 bytes: reserved, recording (1) or not (0), elapsed seconds.
DeviceFrame DeviceModel::recordingReport(qint64 nowMs) const {
    QByteArray payload = bytes({0, m_recording ? 1 : 0});
    put16(payload, m_recording ? int(qMin<qint64>((nowMs - m_recordStartMs) / 1000, 0xFFFF)) : 0);
    return report(reportIdOf(MessageId::Record), payload);
}
