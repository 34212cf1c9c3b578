// Replies to the link-up requests: versions and the visible camera's resolution settings.
#include <QDebug>

#include "AppBridge.h"
#include "AppBridgePayloads.h"
#include "protocol/FrameCodec.h"

namespace {

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
