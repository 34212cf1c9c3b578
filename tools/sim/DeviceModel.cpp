#include "DeviceModel.h"

#include <cmath>

#include "protocol/FrameCodec.h"
#include "protocol/MessageCatalogue.h"

using namespace DeviceBytes;

namespace {
constexpr qint64 kAttitudePeriodMs = 100;
constexpr qint64 kCameraStatusPeriodMs = 1000;
constexpr qint64 kZoomAtRestPeriodMs = 1000;
constexpr qint64 kZoomMovingPeriodMs = 100;
constexpr qint64 kThermometryOnPeriodMs = 200;
constexpr qint64 kThermometryOffPeriodMs = 1000;
constexpr qint64 kRecordingPeriodMs = 1000;
constexpr qint64 kDetectionPeriodMs = 500;
constexpr qint64 kTrackingPeriodMs = 200;
constexpr qint64 kLaserPeriodMs = 500;
constexpr quint16 kResultLengthMismatch = 7;

bool due(qint64& last, qint64 now, qint64 period) {
    if (now - last < period)
        return false;
    last = now;
    return true;
}
}  // namespace

DeviceModel::DeviceModel(const QString& product) : m_profile(deviceProfile(product)) {}

const QHash<quint16, DeviceModel::Command>& DeviceModel::commandTable() {
    static const QHash<quint16, Command> table = {
        {messageNumber(MessageId::GimbalControl), {&DeviceModel::onGimbalControl, 4}},
        {messageNumber(MessageId::GimbalSetAngle), {&DeviceModel::onSetAngle, 7}},
        {messageNumber(MessageId::GimbalVersion), {&DeviceModel::onGimbalVersion, 0}},
        {messageNumber(MessageId::InfraredReadSettings), {&DeviceModel::onReadIrSettings, 0}},
        {messageNumber(MessageId::InfraredDigitalZoom), {&DeviceModel::onIrZoom, 1}},
        {messageNumber(MessageId::InfraredPalette), {&DeviceModel::onPalette, 1}},
        {messageNumber(MessageId::InfraredThermometrySwitch), {&DeviceModel::onThermometrySwitch, 1}},
        {messageNumber(MessageId::InfraredBrightness), {&DeviceModel::onIrAdjustment, 1}},
        {messageNumber(MessageId::InfraredContrast), {&DeviceModel::onIrAdjustment, 1}},
        {messageNumber(MessageId::InfraredDenoise), {&DeviceModel::onIrAdjustment, 2}},
        {messageNumber(MessageId::InfraredEnhance), {&DeviceModel::onIrAdjustment, 1}},
        {messageNumber(MessageId::InfraredSuperResolution), {&DeviceModel::onIrAdjustment, 1}},
        {messageNumber(MessageId::InfraredSpotThermometry), {&DeviceModel::onSpotThermometry, 4}},
        {messageNumber(MessageId::InfraredRegionThermometry), {&DeviceModel::onRegionThermometry, 8}},
        {messageNumber(MessageId::VisibleReadSettings), {&DeviceModel::onReadVisibleSettings, 0}},
        {messageNumber(MessageId::VisibleRecordResolution), {&DeviceModel::onRecordResolution, 2}},
        {messageNumber(MessageId::VisiblePhotoResolution), {&DeviceModel::onPhotoResolution, 2}},
        {messageNumber(MessageId::PhotoVideoMode), {&DeviceModel::onPhotoVideoMode, 1}},
        {messageNumber(MessageId::TakePhoto), {&DeviceModel::onTakePhoto, 0}},
        {messageNumber(MessageId::Record), {&DeviceModel::onRecord, 2}},
        {messageNumber(MessageId::ZoomToRatio), {&DeviceModel::onZoomToRatio, 3}},
        {messageNumber(MessageId::ContinuousZoom), {&DeviceModel::onContinuousZoom, 1}},
        {messageNumber(MessageId::VideoBitrate), {&DeviceModel::onBitrate, 1}},
        {messageNumber(MessageId::VideoOutputResolution), {&DeviceModel::onStreamResolution, 1}},
        {messageNumber(MessageId::VideoEncoding), {&DeviceModel::onEncoding, 1}},
        {messageNumber(MessageId::CameraSetTime), {&DeviceModel::onSetTime, 8}},
        {messageNumber(MessageId::SetCameraIp), {&DeviceModel::onSetCameraIp, 13}},
        {messageNumber(MessageId::GetCameraIp), {&DeviceModel::onGetCameraIp, 0}},
        {messageNumber(MessageId::CameraShutdown), {&DeviceModel::onCameraShutdown, 0}},
        {messageNumber(MessageId::CameraVersion), {&DeviceModel::onCameraVersion, 0}},
        {messageNumber(MessageId::ImageMode), {&DeviceModel::onImageMode, 1}},
        {messageNumber(MessageId::AiDetection), {&DeviceModel::onAiDetection, 18}},
        {messageNumber(MessageId::BoxTracking), {&DeviceModel::onBoxTracking, 9}},
        {messageNumber(MessageId::AiDetectionCategories), {&DeviceModel::onAiCategories, 0}},
        {messageNumber(MessageId::LaserRanging), {&DeviceModel::onLaserSingle, 0}},
        {messageNumber(MessageId::LaserPeriodicRanging), {&DeviceModel::onLaserPeriodic, 1}},
        {messageNumber(MessageId::SbusChannelRange), {&DeviceModel::onChannelRange, 4}},
        {messageNumber(MessageId::SbusChannelConfig), {&DeviceModel::onChannelConfig, 8}},
        {messageNumber(MessageId::SbusReadConfig), {&DeviceModel::onReadChannels, 0}},
    };
    return table;
}

DeviceFrame DeviceModel::reply(quint16 number, const QByteArray& extra, quint16 result) const {
    DeviceFrame frame;
    frame.messageId = makeMessageId(MessageClass::Reply, number);
    put16(frame.payload, result);
    frame.payload.append(extra);
    frame.isReply = true;
    return frame;
}

DeviceFrame DeviceModel::report(quint32 messageId, const QByteArray& payload) const {
    DeviceFrame frame;
    frame.sender = m_profile.reportSender;
    frame.messageId = messageId;
    frame.payload = payload;
    return frame;
}

bool DeviceModel::isCommandFor(const ParsedFrame& frame) {
    const bool forUs = frame.receiverId == DeviceId::Gimbal || frame.receiverId == DeviceId::Camera;
    return forUs && messageClass(frame.messageId) == MessageClass::Command;
}

// Answers come from the device the command was addressed to.
void DeviceModel::address(DeviceFrames& answers, const ParsedFrame& frame) {
    for (DeviceFrame& answer : answers) {
        answer.receiver = frame.senderId;
        if (answer.isReply)
            answer.sender = frame.receiverId;
    }
}

DeviceFrames DeviceModel::handleFrame(const ParsedFrame& frame, qint64 nowMs) {
    if (!isCommandFor(frame))
        return {};
    advance(nowMs);
    const quint16 number = messageNumber(frame.messageId);
    DeviceFrames out;
    const auto command = commandTable().constFind(number);
    if (command == commandTable().constEnd()) {
        out.append(reply(number, {}, 1));  // a command this device does not know
    } else if (frame.payloadLength < command->minLength) {
        out.append(reply(number, {}, kResultLengthMismatch));
    } else {
        out = (this->*(command->handler))(Request{number, frame.payload, frame.payloadLength, nowMs});
    }
    address(out, frame);
    return out;
}

DeviceFrames DeviceModel::refuse(const ParsedFrame& frame, quint16 code, qint64 nowMs) {
    if (!isCommandFor(frame))
        return {};
    advance(nowMs);
    const quint16 number = messageNumber(frame.messageId);
    DeviceFrames out{reply(number, {}, code)};
    if (frame.messageId == MessageId::InfraredReadSettings)
        out[0].messageId = MessageId::InfraredReadSettings;
    if (frame.messageId == MessageId::Record)
        out.append(recordingReport(nowMs));
    address(out, frame);
    return out;
}

void DeviceModel::advance(qint64 nowMs) {
    if (m_lastAdvanceMs < 0)
        m_lastAdvanceMs = nowMs;
    const double seconds = qBound(0.0, (nowMs - m_lastAdvanceMs) / 1000.0, 1.0);
    m_lastAdvanceMs = nowMs;
    advanceGimbal(seconds, nowMs);
    advanceZoom(seconds);
}

DeviceFrames DeviceModel::tick(qint64 nowMs) {
    const bool wasZooming = zooming();
    advance(nowMs);
    DeviceFrames out;
    if (due(m_lastAttitudeMs, nowMs, kAttitudePeriodMs))
        out.append(attitudeReport());
    if (due(m_lastCameraStatusMs, nowMs, kCameraStatusPeriodMs))
        out.append(cameraStatusReport());
    // A zoom that has just come to rest is reported at once.
    if (wasZooming && !zooming())
        m_lastZoomMs = 0;
    if (due(m_lastZoomMs, nowMs, zooming() ? kZoomMovingPeriodMs : kZoomAtRestPeriodMs))
        out.append(zoomReport());
    if (due(m_lastThermometryMs, nowMs, m_thermometryOn ? kThermometryOnPeriodMs : kThermometryOffPeriodMs))
        out.append(thermometryReport(nowMs));
    if (m_recording && due(m_lastRecordingMs, nowMs, kRecordingPeriodMs))
        out.append(recordingReport(nowMs));
    if (m_detecting && due(m_lastDetectionMs, nowMs, kDetectionPeriodMs))
        out.append(detectionReport(nowMs));
    if (m_tracking && due(m_lastTrackingMs, nowMs, kTrackingPeriodMs)) {
        out.append(trackingReport(m_trackLostPending ? 2 : 1));
        if (m_trackLostPending)
            m_tracking = m_trackLostPending = false;
    }
    if (m_laserPeriodic && due(m_lastLaserMs, nowMs, kLaserPeriodMs))
        out.append(laserReport());
    for (DeviceFrame& frame : out)
        frame.receiver = DeviceId::Application;
    return out;
}

VideoState DeviceModel::videoState() const {
    VideoState state;
    state.product = m_profile.name;
    state.output = m_outputMode == 0   ? VideoState::Output::Infrared
                   : m_outputMode == 7 ? VideoState::Output::Split
                                       : VideoState::Output::Visible;
    state.zoom = m_zoom;
    state.irZoom = m_irZoom;
    state.pitch = m_gimbal.pitch;
    state.yaw = m_gimbal.yaw;
    state.roll = m_gimbal.roll;
    state.recording = m_recording;
    state.recordingSeconds = m_recording ? int((m_lastAdvanceMs - m_recordStartMs) / 1000) : 0;
    state.tracking = m_tracking;
    state.trackingBox = m_trackBox;
    if (m_detecting)
        state.detections = detections(m_lastAdvanceMs);
    state.paletteCode = m_paletteCode;
    if (m_thermometryOn) {
        const Measurement m = measure(m_lastAdvanceMs);
        state.thermometry = {true, m.area, m.hottest, m.coldest, m_spot, m.maxC, m.minC, m.spotC};
    }
    return state;
}
