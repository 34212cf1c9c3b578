// Dispatch of one valid frame: status reports by sender, replies (class 1) from any sender.
// The three tables are the only routing; a frame whose id has no row is counted and traced only.
// The first row that matches the id and the link wins, so an id whose minimum length differs per
// link gets one row per link, and an id handled on one link only names just that link.
#include <QDebug>

#include <algorithm>

#include "AppBridge.h"
#include "AppBridgePayloads.h"
#include "ReportDecoders.h"
#include "protocol/FrameCodec.h"

namespace {

constexpr uint8_t kGimbalSender = 3;
constexpr uint8_t kCameraSender = 4;
constexpr uint32_t kReplyClass = 1;
constexpr uint32_t kAttitudeReportId = 0x020002;
constexpr int kAckHexBytes = 22;

}  // namespace

// Status reports, accepted from the camera, and from the gimbal on the camera-routed models.
// Camera status and thermometry are checked for length on the serial link only; over UDP a short
// report is taken with its missing bytes read as 0.
const std::vector<AppBridge::FrameRoute>& AppBridge::reportRoutes() {
    static const std::vector<FrameRoute> routes = {
        {0x020003, kSerialOnly, 16, &AppBridge::handleCameraStatusReport},
        {0x020003, kUdpOnly, 0, &AppBridge::handleCameraStatusReport},
        {0x020004, kSerialOnly, 34, &AppBridge::handleThermometryReport},
        {0x020004, kUdpOnly, 0, &AppBridge::handleThermometryReport},
        {0x000005, kBothLinks, 15, &AppBridge::handleVisibleZoomReport},
        {0x020005, kBothLinks, 15, &AppBridge::handleVisibleZoomReport},
        {0x020303, kBothLinks, 2, &AppBridge::handleRecordingReport},
        {0x020319, kBothLinks, 2, &AppBridge::handleDetectionReport},
        {0x000100, kBothLinks, 4, &AppBridge::handleIrSettings},
        {0x020406, kBothLinks, 4, &AppBridge::handleLaserPeriodicReport},
        {0x020324, kBothLinks, 12, &AppBridge::handleTrackingStatusReport},
        {0x020010, kBothLinks, 2, &AppBridge::handleGimbalControlAck},
        {0x020012, kBothLinks, 2, &AppBridge::handleSetAngleAck},
    };
    return routes;
}

// Replies with result 0. Both links handle the same set; 0x010302 and 0x010303 are worded per link.
const std::vector<AppBridge::FrameRoute>& AppBridge::replySuccessRoutes() {
    static const std::vector<FrameRoute> routes = {
        {0x010201, kBothLinks, 2, &AppBridge::handleSettingReply},
        {0x010202, kBothLinks, 2, &AppBridge::handlePhotoResolutionReply},
        {0x010308, kBothLinks, 2, &AppBridge::handleSettingReply},
        {0x01030A, kBothLinks, 2, &AppBridge::handleSettingReply},
        {0x01030B, kBothLinks, 2, &AppBridge::handleSettingReply},
        {0x010318, kBothLinks, 2, &AppBridge::handleSettingReply},
        {0x010324, kBothLinks, 2, &AppBridge::handleTrackingAck},
        {0x010302, kBothLinks, 2, &AppBridge::handlePhotoCommandReply},
        {0x010303, kBothLinks, 2, &AppBridge::handleRecordCommandReply},
        {0x010306, kBothLinks, 2, &AppBridge::handleContinuousZoomReply},
        {0x010304, kBothLinks, 2, &AppBridge::handleZoomRatioReply},
        {0x010200, kBothLinks, 4, &AppBridge::handleVisibleSettingsReply},
        {0x010018, kBothLinks, 9, &AppBridge::handleGimbalVersionReply},
        {0x010317, kBothLinks, 5, &AppBridge::handleCameraVersionReply},
        {0x010502, kBothLinks, 14, &AppBridge::handleChannelConfigReply},
        {0x010336, kBothLinks, 4, &AppBridge::handleAiCategoriesReply},
        {0x010312, kBothLinks, 14, &AppBridge::handleCameraIpReply},
        {0x010400, kBothLinks, 4, &AppBridge::handleSingleRangeReply},
        {0x010100, kBothLinks, 4, &AppBridge::handleIrSettings},
        {0x010106, kBothLinks, 2, nullptr},  // palette confirmed: nothing to do
        {0x010010, kBothLinks, 2, &AppBridge::handleGimbalControlAck},
        {0x010012, kBothLinks, 2, &AppBridge::handleSetAngleAck},
    };
    return routes;
}

// Replies with any other result. Both links handle the same set.
const std::vector<AppBridge::FrameRoute>& AppBridge::replyFailureRoutes() {
    static const std::vector<FrameRoute> routes = {
        {0x010106, kBothLinks, 2, &AppBridge::handleSettingReply},
        {0x010318, kBothLinks, 2, &AppBridge::handleSettingReply},
        {0x010324, kBothLinks, 2, &AppBridge::handleTrackingAck},
        {0x010201, kBothLinks, 2, &AppBridge::handleSettingReply},
        {0x010202, kBothLinks, 2, &AppBridge::handlePhotoResolutionReply},
        {0x010308, kBothLinks, 2, &AppBridge::handleSettingReply},
        {0x01030A, kBothLinks, 2, &AppBridge::handleSettingReply},
        {0x01030B, kBothLinks, 2, &AppBridge::handleSettingReply},
        {0x010312, kBothLinks, 2, &AppBridge::handleCameraIpReply},
        {0x010306, kBothLinks, 2, &AppBridge::handleContinuousZoomReply},
        {0x010304, kBothLinks, 2, &AppBridge::handleZoomRatioReply},
        {0x010302, kBothLinks, 2, &AppBridge::handlePhotoCommandReply},
        {0x010303, kBothLinks, 2, &AppBridge::handleRecordCommandReply},
        {0x010010, kBothLinks, 2, &AppBridge::handleGimbalControlAck},
        {0x010012, kBothLinks, 2, &AppBridge::handleSetAngleAck},
    };
    return routes;
}

const AppBridge::FrameRoute* AppBridge::findRoute(const std::vector<FrameRoute>& table, uint32_t messageId,
                                                  FrameLink link) {
    const auto linkBit = static_cast<uint8_t>(link);
    const auto it = std::find_if(table.begin(), table.end(), [&](const FrameRoute& route) {
        return route.messageId == messageId && (route.links & linkBit) != 0;
    });
    return it == table.end() ? nullptr : &*it;
}

void AppBridge::dispatchFrame(const ParsedFrame& frame, FrameLink link) {
    noteDeviceFrame();
    dispatchReport(frame, link);
    dispatchReply(frame, link);
}

void AppBridge::dispatchReport(const ParsedFrame& frame, FrameLink link) {
    if (link == FrameLink::Serial && !m_serialOpened)
        return;
    // The attitude is the gimbal's own report on every model, sent by the gimbal or, where the
    // gimbal sits behind the camera, passed on by the camera.
    if (frame.messageId == kAttitudeReportId) {
        const bool fromDevice = frame.senderId == kGimbalSender || frame.senderId == kCameraSender;
        if (fromDevice && frame.payloadLength >= DeviceReports::kAttitudeLength)
            handleAttitudeReport(frame, link);
        return;
    }
    const bool trustedSender =
        frame.senderId == kCameraSender ||
        (frame.senderId == kGimbalSender && LinkPayloads::isCameraRoutedProduct(m_currentProduct));
    if (!trustedSender)
        return;
    const FrameRoute* route = findRoute(reportRoutes(), frame.messageId, link);
    if (route && route->handler && frame.payloadLength >= route->minPayload)
        (this->*route->handler)(frame, link);
}

void AppBridge::dispatchReply(const ParsedFrame& frame, FrameLink link) {
    if ((frame.messageId >> 16) != kReplyClass || frame.payloadLength < 2)
        return;
    qDebug().noquote() << QStringLiteral("[协议] 设备 ACK msgid=0x%1 payload_len=%2 payload_hex=%3")
                              .arg(frame.messageId, 0, 16)
                              .arg(frame.payloadLength)
                              .arg(LinkPayloads::hexBytes(frame.payload,
                                                          std::min<int>(frame.payloadLength, kAckHexBytes)));
    const bool success = LinkPayloads::readU16(frame.payload) == 0;
    const FrameRoute* route = findRoute(success ? replySuccessRoutes() : replyFailureRoutes(), frame.messageId, link);
    if (route && route->handler && frame.payloadLength >= route->minPayload)
        (this->*route->handler)(frame, link);
}
