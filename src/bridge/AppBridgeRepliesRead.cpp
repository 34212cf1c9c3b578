// Answers to the read requests: channel configuration, detection categories, the camera's
// network address and a single laser distance.
#include <QTimer>

#include "AppBridge.h"
#include "ReportDecoders.h"
#include "protocol/FrameCodec.h"

void AppBridge::handleChannelConfigReply(const ParsedFrame& frame, FrameLink) {
    const DeviceReports::ChannelConfig config = DeviceReports::decodeChannelConfig(frame.payload);
    m_channels.rangeMax = config.rangeMax;
    m_channels.rangeMin = config.rangeMin;
    m_channels.streamCh = config.streamCh;
    m_channels.zoomCh = config.zoomCh;
    m_channels.captureCh = config.captureCh;
    m_channels.recordCh = config.recordCh;
    m_channels.pitchCh = config.pitchCh;
    m_channels.yawCh = config.yawCh;
    m_channels.homeCh = config.homeCh;
    m_channels.irPaletteCh = config.irPaletteCh;
    emitLater({&AppBridge::channelConfigChanged});
    appendMessage(tr2(QStringLiteral("已接收通道配置"), QStringLiteral("Channel config received")));
}

void AppBridge::handleAiCategoriesReply(const ParsedFrame& frame, FrameLink) {
    const bool enabled = frame.payload[2] == 1;
    const QVariantList ids = DeviceReports::decodeCategoryBitmap(frame.payload, frame.payloadLength);
    QTimer::singleShot(0, this, [this, enabled, ids] { emit aiDetectCategoriesReceived(enabled, ids); });
    appendMessage(tr2(QStringLiteral("已接收智能识别类别: %1, %2 类"),
                      QStringLiteral("AI categories received: %1, %2 categories"))
                      .arg(enabled ? tr2(QStringLiteral("开启"), QStringLiteral("on"))
                                   : tr2(QStringLiteral("关闭"), QStringLiteral("off")))
                      .arg(ids.size()));
}

// The refusal only tells; the address properties keep their values.
void AppBridge::handleCameraIpReply(const ParsedFrame& frame, FrameLink) {
    if (frame.payload[0] != 0 || frame.payload[1] != 0) {
        appendMessage(tr2(QStringLiteral("IP获取失败"), QStringLiteral("IP get failed")));
        return;
    }
    m_cameraIpAddr = DeviceReports::ipv4Text(frame.payload + 2);
    m_cameraSubnetMask = DeviceReports::ipv4Text(frame.payload + 6);
    m_cameraGateway = DeviceReports::ipv4Text(frame.payload + 10);
    emitLater({&AppBridge::cameraIpChanged});
    appendMessage(tr2(QStringLiteral("已接收相机IP"), QStringLiteral("Camera IP received")));
}

void AppBridge::handleSingleRangeReply(const ParsedFrame& frame, FrameLink) {
    const int raw = frame.payload[2] | (frame.payload[3] << 8);
    m_laserRangeDistance = raw / 10.0;
    m_laserRangeValid = raw != 0;
    emitLater({&AppBridge::laserRangeChanged});
    if (raw == 0) {
        appendMessage(
            tr2(QStringLiteral("单次测距结果: 无效(无值)"), QStringLiteral("Single range result: Invalid (no value)")));
    } else {
        appendMessage(tr2(QStringLiteral("单次测距结果: %1 m"), QStringLiteral("Single range result: %1 m"))
                          .arg(QString::number(m_laserRangeDistance, 'f', 2)));
    }
}
