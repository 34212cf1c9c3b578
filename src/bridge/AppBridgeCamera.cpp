// Camera commands: zoom, photo and recording, soft restart and the stream and resolution settings.
#include <QDebug>
#include <QTimer>

#include "AppBridge.h"
#include "CommandPayloads.h"
#include "app/AppUrls.h"
#include "protocol/MessageCatalogue.h"

namespace {

constexpr uint8_t kCamera = DeviceId::Camera;
constexpr int kZoomStoppedFlagMs = 500;
constexpr int kIrSettingsAfterZoomMs = 150;

}  // namespace

void AppBridge::cameraZoom(int action) {
    const std::array<uint8_t, 2> payload = {CommandPayloads::zoomDirectionCode(action), 0};
    if (!sendCommand(kCamera, MessageId::ContinuousZoom, payload.data(), payload.size())) {
        appendMessage(
            tr2(QStringLiteral("连续变倍指令发送失败"), QStringLiteral("Continuous zoom command send failed")));
        return;
    }
    m_lastZoomPayload = payload;
    m_zoomAckPending = true;
    m_zoomRetried = false;
    setAndNotify(m_isZooming, action != 0, &AppBridge::isZoomingChanged);
    if (action != 0)
        return;
    m_continuousZoomJustStopped = true;
    emit continuousZoomJustStoppedChanged();
    QTimer::singleShot(kZoomStoppedFlagMs, this, [this] {
        m_continuousZoomJustStopped = false;
        emit continuousZoomJustStoppedChanged();
    });
}

// Zooms the picture the device is streaming: the infrared camera while it reports its infrared
// output, the visible camera otherwise (also before the first status report). The local state
// follows only a frame that really went out, so that a failed send is never later announced as a
// completed zoom.
void AppBridge::setVisibleZoom(double zoomRatio) {
    const double ratio = CommandPayloads::clampZoomRatio(
        zoomRatio, CommandPayloads::zoomLimit(m_currentProduct, m_cameraStreamModeIndex));
    if (m_cameraStreamModeIndex == 0) {
        const int level = CommandPayloads::infraredZoomLevel(ratio);
        qDebug().noquote() << QStringLiteral("[变倍指令] 设置红外变倍:%1x (0x000105)").arg(level);
        const uint8_t payload[2] = {static_cast<uint8_t>(level), 0};
        if (!sendCommand(kCamera, MessageId::InfraredDigitalZoom, payload, sizeof payload))
            return;
        setAndNotify(m_currentIrZoom, double(level), &AppBridge::currentIrZoomChanged);
        QTimer::singleShot(kIrSettingsAfterZoomMs, this, &AppBridge::requestIrSettings);
        return;
    }
    const auto payload = CommandPayloads::encodeVisibleZoom(ratio);
    qDebug().noquote() << QStringLiteral("[变倍指令] 设置可见光变倍:%1x (0x000304)").arg(ratio);
    if (!sendCommand(kCamera, MessageId::ZoomToRatio, payload.data(), payload.size()))
        return;
    if (!m_visibleZoomAckPending)
        m_visibleZoomRetried = false;
    m_lastVisibleZoomPayload = payload;
    m_lastVisibleZoomDestination = kCamera;
    m_visibleZoomAckPending = true;
    m_visibleZoomSettlePending = true;
}

void AppBridge::restartCamera() {
    const uint8_t payload[2] = {0x02, 0x00};
    if (!sendCommand(kCamera, MessageId::CameraShutdown, payload, sizeof payload)) {
        appendMessage(
            tr2(QStringLiteral("相机软重启指令发送失败"), QStringLiteral("Failed to send camera soft reboot command")));
        return;
    }
    // The Tern's infrared camera comes back on its default palette: send ours again once it answers.
    if (m_currentProduct == QLatin1String("Tern")) {
        m_irColorSchemeReapplyPending = true;
        m_currentIrColorSchemeCode = 1;
        emitLater({&AppBridge::currentIrColorSchemeChanged});
    }
}

void AppBridge::setCameraMode(bool videoMode) {
    const uint8_t payload[2] = {static_cast<uint8_t>(videoMode ? 1 : 0), 0};
    sendCommand(kCamera, MessageId::PhotoVideoMode, payload, sizeof payload);
}

void AppBridge::takePhoto() {
    setCameraMode(false);
    const auto payload = CommandPayloads::encodeShutter(0);
    if (!sendCommand(kCamera, MessageId::TakePhoto, payload.data(), payload.size()))
        appendMessage(tr2(QStringLiteral("拍照指令发送失败"), QStringLiteral("Failed to send photo command")));
}

void AppBridge::toggleRecord() {
    const bool start = !m_recording;
    if (start)
        setCameraMode(true);
    m_pendingRecordAction = start ? CommandPayloads::kRecordStart : CommandPayloads::kRecordStop;
    const auto payload = CommandPayloads::encodeShutter(m_pendingRecordAction);
    if (!sendCommand(kCamera, MessageId::Record, payload.data(), payload.size())) {
        appendMessage(
            start ? tr2(QStringLiteral("开始录像指令发送失败"), QStringLiteral("Failed to send start record command"))
                  : tr2(QStringLiteral("停止录像指令发送失败"), QStringLiteral("Failed to send stop record command")));
        return;
    }
    m_recording = start;
    emitLater({&AppBridge::recordingChanged});
}

void AppBridge::setPhotoResolution(const QString& res) {
    const auto choice = CommandPayloads::photoResolution(res);
    if (!choice)
        return;
    const uint8_t payload[2] = {0, choice->code};
    if (!sendCommand(kCamera, MessageId::VisiblePhotoResolution, payload, sizeof payload)) {
        appendMessage(
            tr2(QStringLiteral("拍照分辨率请求下发失败"), QStringLiteral("Failed to send photo resolution request")));
        return;
    }
    // The combo follows only when the device confirms (reply 0x010202).
    m_pendingPhotoResolutionIndex = choice->comboIndex;
    qDebug().noquote()
        << QStringLiteral("[拍照分辨率] 已下发，等待 ACK: comboIndex=%1 (%2)").arg(choice->comboIndex).arg(res);
}

void AppBridge::setRecordResolution(const QString& res) {
    const auto choice = CommandPayloads::recordResolution(res);
    if (!choice)
        return;
    const uint8_t payload[2] = {0, choice->code};
    if (!sendCommand(kCamera, MessageId::VisibleRecordResolution, payload, sizeof payload)) {
        appendMessage(tr2(QStringLiteral("录像分辨率设置失败"), QStringLiteral("Failed to set record resolution")));
        return;
    }
    m_cameraRecordResolutionIndex = choice->comboIndex;
    qDebug().noquote()
        << QStringLiteral("[录像分辨率] 已下发并更新本地: comboIndex=%1 (%2)").arg(choice->comboIndex).arg(res);
    emitLater({&AppBridge::cameraStatusChanged});
}

void AppBridge::setRtspResolution(const QString& res) {
    const auto code = CommandPayloads::rtspResolutionCode(res);
    if (!code)
        return;
    const uint8_t payload[2] = {*code, 0};
    if (!sendCommand(kCamera, MessageId::VideoOutputResolution, payload, sizeof payload))
        appendMessage(tr2(QStringLiteral("RTSP分辨率设置失败"), QStringLiteral("Failed to set RTSP resolution")));
}

void AppBridge::setVideoBitrate(const QString& bitrateStr) {
    const auto code = CommandPayloads::videoBitrateCode(bitrateStr);
    if (!code)
        return;
    const uint8_t payload[2] = {*code, 0};
    if (!sendCommand(kCamera, MessageId::VideoBitrate, payload, sizeof payload))
        appendMessage(tr2(QStringLiteral("视频码率设置失败"), QStringLiteral("Failed to set video bitrate")));
}

void AppBridge::setVideoEncoding(const QString& enc) {
    const auto code = CommandPayloads::videoEncodingCode(enc);
    if (!code)
        return;
    const uint8_t payload[2] = {*code, 0};
    if (!sendCommand(kCamera, MessageId::VideoEncoding, payload, sizeof payload))
        appendMessage(tr2(QStringLiteral("视频编码设置失败"), QStringLiteral("Failed to set video encoding")));
}

void AppBridge::setVideoOutputMode(const QString& mode) {
    const auto code = CommandPayloads::videoOutputCode(mode);
    if (!code)
        return;
    const uint8_t payload[2] = {*code, 0};
    if (!sendCommand(kCamera, MessageId::ImageMode, payload, sizeof payload)) {
        appendMessage(tr2(QStringLiteral("视频输出切换请求发送失败"),
                          QStringLiteral("Failed to send video output switch request")));
        return;
    }
    if (*code == CommandPayloads::kVideoOutputInfrared)
        requestIrSettings();
}

void AppBridge::requestCameraSettingsState() {
    if (!linkOpen())
        return;
    requestVisibleSettings();
    QTimer::singleShot(80, this, &AppBridge::requestIrSettings);
    QTimer::singleShot(160, this, [this] { requestVersions(false); });
    QTimer::singleShot(240, this, &AppBridge::getAiDetectCategories);
}

QString AppBridge::maskedUrl(const QString& url) const {
    return AppUrls::masked(url);
}
