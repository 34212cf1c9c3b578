// Status reports of the visible camera: settings and SD card, zoom, recording and detection.
#include <QDebug>
#include <iterator>

#include "AppBridge.h"
#include "ReportDecoders.h"
#include "protocol/FrameCodec.h"

namespace {

// English names of the SD card states, in the order of DeviceReports::sdStatusName's Chinese ones.
const char* const kSdStatusNamesEn[] = {"Normal", "Card error", "Slow card", "Not inserted", "Full", "Format error"};

}  // namespace

// The serial variant of the report does not carry a usable photo/video mode byte.
void AppBridge::handleCameraStatusReport(const ParsedFrame& frame, FrameLink link) {
    const DeviceReports::CameraStatus status = DeviceReports::decodeCameraStatus(frame.payload);
    if (link == FrameLink::Udp)
        m_cameraPhotoVideoMode = status.photoVideoMode;
    m_cameraRtspResolutionIndex = status.rtspResolutionIndex;
    m_cameraVideoEncodingIndex = status.videoEncodingIndex;
    m_cameraStreamModeIndex = status.streamModeIndex;
    m_cameraVideoBitrateIndex = status.videoBitrateIndex;
    m_sdStatus = status.sdStatus;
    announceSdStatus(status.sdStatus);
    m_cameraStatusAvailable = true;
    emitLater({&AppBridge::cameraStatusChanged});
}

// One message per change of the SD card's state; a healthy card is never announced.
void AppBridge::announceSdStatus(int code) {
    if (code == 0) {
        m_lastSdStatusCode = 0;
        return;
    }
    if (code == m_lastSdStatusCode)
        return;
    m_lastSdStatusCode = code;
    appendMessage(
        tr2(QStringLiteral("SD卡状态: %1"), QStringLiteral("SD card: %1")).arg(sdStatusName(code, m_language)));
}

QString AppBridge::sdStatusName(int code, const QString& language) const {
    if (language == QLatin1String("zh"))
        return DeviceReports::sdStatusName(code);
    if (code >= 0 && code < int(std::size(kSdStatusNamesEn)))
        return QString::fromLatin1(kSdStatusNamesEn[code]);
    return QStringLiteral("Unknown");
}

void AppBridge::handleVisibleZoomReport(const ParsedFrame& frame, FrameLink link) {
    const DeviceReports::VisibleZoomStatus status = DeviceReports::decodeVisibleZoom(frame.payload);
    setAndNotify(m_isZooming, status.zooming, &AppBridge::isZoomingChanged);
    m_currentVisibleZoom = status.ratio;
    emit currentVisibleZoomChanged();
    emit visibleZoomFeedbackReceived(status.ratio);
    if (!status.zooming && m_visibleZoomSettlePending) {
        m_visibleZoomSettlePending = false;
        appendMessage(tr2(QStringLiteral("混合变倍成功"), QStringLiteral("Mixed zoom completed")));
    }
    const QString type = DeviceReports::zoomTypeFor(status.ratio);
    if (type != m_visibleZoomType) {
        m_visibleZoomType = type;
        emitLater({&AppBridge::visibleZoomTypeChanged});
    }
    if (link == FrameLink::Udp)
        qDebug().noquote() << DeviceReports::visibleZoomDebugLine(status);
}

void AppBridge::handleRecordingReport(const ParsedFrame& frame, FrameLink) {
    const uint8_t state = frame.payload[1];
    const bool recording = state >= 1 && state <= 3;
    if (recording != m_recording) {
        m_recording = recording;
        emitLater({&AppBridge::recordingChanged});
    }
    if (frame.payloadLength < 4)
        return;
    const int seconds = frame.payload[2] | (frame.payload[3] << 8);
    if (seconds != m_recordingTimeSeconds) {
        m_recordingTimeSeconds = seconds;
        emitLater({&AppBridge::recordingTimeSecondsChanged});
    }
}

// Updates the detection state only; nothing goes to the message log.
void AppBridge::handleDetectionReport(const ParsedFrame& frame, FrameLink link) {
    const DeviceReports::Detection detection = DeviceReports::decodeDetection(frame.payload, frame.payloadLength);
    const QString categories = DeviceReports::categoryText(detection.categories, m_language != QLatin1String("zh"));
    if (detection.count != m_aiDetectedCount) {
        m_aiDetectedCount = detection.count;
        emitLater({&AppBridge::aiDetectedCountChanged});
    }
    QString text;
    bool running = true;
    if (detection.status == 0 && categories.isEmpty()) {
        text = tr2(QStringLiteral("检测成功 - %1个目标"), QStringLiteral("Detected - %1 targets")).arg(detection.count);
    } else if (detection.status == 0) {
        text = tr2(QStringLiteral("检测成功 - %1个目标（%2）"), QStringLiteral("Detected - %1 targets (%2)"))
                   .arg(detection.count)
                   .arg(categories);
    } else if (detection.status == 2) {
        text = tr2(QStringLiteral("未检测到目标"), QStringLiteral("No targets detected"));
    } else {
        text = tr2(QStringLiteral("未知状态"), QStringLiteral("Unknown status"));
        running = false;
    }
    if (text != m_aiDetectStatus) {
        m_aiDetectStatus = text;
        emitLater({&AppBridge::aiDetectStatusChanged});
    }
    if (running != m_aiDetecting) {
        m_aiDetecting = running;
        emitLater({&AppBridge::aiDetectingChanged});
    }
    if (link == FrameLink::Udp) {
        const QString word = detection.status == 0   ? QStringLiteral("成功")
                             : detection.status == 2 ? QStringLiteral("无目标")
                                                     : QStringLiteral("未知");
        qDebug().noquote() << QStringLiteral("[智能识别0x020319] 状态:%1 检测数量:%2 目标数据长度:%3")
                                  .arg(word)
                                  .arg(detection.count)
                                  .arg(frame.payloadLength - 2);
    }
}
