// Box tracking and the AI category request.
#include <QDateTime>
#include <QTimer>

#include "AppBridge.h"
#include "AppBridgePayloads.h"
#include "protocol/MessageCatalogue.h"

namespace {

constexpr uint8_t kCamera = DeviceId::Camera;
constexpr qint64 kTrackingQuietMs = 1000;
constexpr int kStopRepeatDelayMs = 150;

void tellTrackingNeedsLink(AppBridge& bridge) {
    bridge.appendMessage(bridge.tr2(QStringLiteral("框选跟踪：请先连接UDP或UART"),
                                    QStringLiteral("Box tracking: please connect UDP or UART first")));
}

}  // namespace

void AppBridge::getAiDetectCategories() {
    if (!linkOpen()) {
        appendMessage(tr2(QStringLiteral("获取识别类别：请先连接UDP或UART"),
                          QStringLiteral("Get AI categories: connect UDP or UART first")));
        return;
    }
    const uint8_t payload[2] = {0x01, 0x00};
    if (sendCommand(kCamera, MessageId::AiDetectionCategories, payload, sizeof payload)) {
        appendMessage(tr2(QStringLiteral("已请求获取智能识别类别"), QStringLiteral("Get AI categories request sent")));
    } else {
        appendMessage(tr2(QStringLiteral("获取识别类别请求失败"), QStringLiteral("Failed to send get AI categories")));
    }
}

bool AppBridge::armBoxTracking() {
    if (!linkOpen()) {
        tellTrackingNeedsLink(*this);
        return false;
    }
    return gimbalStop();
}

void AppBridge::setTracking(bool enable, int x, int y, int w, int h, bool silentRetry, bool silentMessage) {
    if (!linkOpen()) {
        if (!silentRetry && !silentMessage)
            tellTrackingNeedsLink(*this);
        return;
    }
    const LinkPayloads::TrackingBox box =
        enable ? LinkPayloads::clipTrackingBox(x, y, w, h) : LinkPayloads::TrackingBox();
    const auto payload = LinkPayloads::encodeTrackingBox(enable, box);
    const bool sent =
        sendCommand(kCamera, MessageId::BoxTracking, payload.data(), static_cast<uint8_t>(payload.size()));
    m_lastTrackingRequestOn = enable;

    if (silentMessage) {
        m_trackingAckQuietUntilMs = QDateTime::currentMSecsSinceEpoch() + kTrackingQuietMs;
    } else if (!silentRetry) {
        if (enable && sent) {
            appendMessage(tr2(QStringLiteral("已发送框选跟踪: 区域 (%1,%2) %3×%4"),
                              QStringLiteral("Box tracking started: region (%1,%2) %3x%4"))
                              .arg(box.x)
                              .arg(box.y)
                              .arg(box.width)
                              .arg(box.height));
        } else if (enable) {
            appendMessage(tr2(QStringLiteral("框选跟踪发送失败"), QStringLiteral("Failed to start box tracking")));
        } else if (sent) {
            appendMessage(tr2(QStringLiteral("已关闭框选跟踪"), QStringLiteral("Box tracking stopped")));
        } else {
            appendMessage(tr2(QStringLiteral("关闭框选跟踪发送失败"), QStringLiteral("Failed to stop box tracking")));
        }
    }

    // A stop is repeated once, silently, in case the first one was lost.
    if (!enable && !silentRetry) {
        QTimer::singleShot(kStopRepeatDelayMs, this,
                           [this, silentMessage] { setTracking(false, 0, 0, 1, 1, true, silentMessage); });
    }
}
