// Replies to the link-up requests (versions, camera settings) and to tracking requests.
#include <QDateTime>
#include <QDebug>

#include "AppBridge.h"
#include "AppBridgePayloads.h"
#include "protocol/FrameCodec.h"

namespace {

constexpr qint64 kTrackingAckMessageGapMs = 800;
constexpr int kFullSettingsPayload = 22;

}  // namespace

void AppBridge::handleGimbalVersionReply(const ParsedFrame& frame, FrameLink) {
    const QString hw = LinkPayloads::versionText(frame.payload + 2);
    const QString sw = LinkPayloads::versionText(frame.payload + 5);
    if (hw == m_gimbalHwVersion && sw == m_gimbalSwVersion)
        return;
    m_gimbalHwVersion = hw;
    m_gimbalSwVersion = sw;
    emit gimbalVersionChanged();
}

void AppBridge::handleCameraVersionReply(const ParsedFrame& frame, FrameLink) {
    setAndNotify(m_cameraVersion, LinkPayloads::versionText(frame.payload + 2), &AppBridge::cameraVersionChanged);
}

void AppBridge::handleVisibleSettingsReply(const ParsedFrame& frame, FrameLink) {
    const uint8_t photoCode = frame.payload[2];
    const uint8_t recordCode = frame.payload[3];
    QString received = QStringLiteral(
                           "[可见光设置] 收到 0x010200 response_code=0x%1 photo_resolution=0x%2 "
                           "video_resolution=0x%3 payload_len=%4")
                           .arg(LinkPayloads::readU16(frame.payload), 0, 16)
                           .arg(photoCode, 0, 16)
                           .arg(recordCode, 0, 16)
                           .arg(frame.payloadLength);
    if (frame.payloadLength < kFullSettingsPayload)
        received += QStringLiteral(" (设备 payload 短于 22 字节)");
    qDebug().noquote() << received;

    const int photo = LinkPayloads::photoResolutionIndex(photoCode);
    const int record = LinkPayloads::recordResolutionIndex(recordCode);
    qDebug().noquote() << QStringLiteral("[可见光设置] 解析: 拍照下拉索引=%1 录像下拉索引=%2").arg(photo).arg(record);
    if (!setCameraResolutionIndexes(photo, record)) {
        qDebug().noquote() << QStringLiteral("[可见光设置] 与当前一致，未刷新 UI");
        return;
    }
    qDebug().noquote() << QStringLiteral(
                              "[可见光设置] 已更新 UI: cameraPhotoResolutionIndex=%1 cameraRecordResolutionIndex=%2")
                              .arg(photo)
                              .arg(record);
}

// Acknowledgements of silent requests say nothing, and the others at most one line per 800 ms.
// Either way only this frame is skipped: the rest of the receive pass goes on.
void AppBridge::handleTrackingAck(const ParsedFrame& frame, FrameLink) {
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    if (now < m_trackingAckQuietUntilMs)
        return;
    if (now - m_lastTrackingAckMessageMs < kTrackingAckMessageGapMs)
        return;
    m_lastTrackingAckMessageMs = now;
    if (LinkPayloads::readU16(frame.payload) != 0) {
        appendMessage(tr2(QStringLiteral("框选跟踪失败"), QStringLiteral("Box tracking failed")));
    } else if (m_lastTrackingRequestOn) {
        appendMessage(tr2(QStringLiteral("框选跟踪成功"), QStringLiteral("Box tracking confirmed by device")));
    } else {
        appendMessage(tr2(QStringLiteral("已停止框选跟踪"), QStringLiteral("Box tracking stopped by device")));
    }
}
