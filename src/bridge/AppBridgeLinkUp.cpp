// Requests sent on their own when a link comes up: clock, versions and the settings the panels show.
#include <QDateTime>
#include <QDebug>
#include <QTimer>

#include "AppBridge.h"
#include "AppBridgePayloads.h"

namespace {

constexpr uint8_t kGimbal = 3;
constexpr uint8_t kCamera = 4;
constexpr uint32_t kTimeSyncId = 0x00030E;
constexpr uint32_t kGimbalVersionId = 0x000018;
constexpr uint32_t kCameraVersionId = 0x000317;
constexpr uint32_t kVisibleSettingsId = 0x000200;
const uint8_t kReadRequest[2] = {0x01, 0x00};

}  // namespace

void AppBridge::sendTimeSync() {
    const QDateTime now = QDateTime::currentDateTime();
    const auto payload =
        LinkPayloads::encodeTimeSync(now.toMSecsSinceEpoch(), LinkPayloads::timeSyncZone(m_currentProduct, now));
    if (sendCommand(kCamera, kTimeSyncId, payload.data(), static_cast<uint8_t>(payload.size()))) {
        appendMessage(
            tr2(QStringLiteral("已自动发送授时指令"), QStringLiteral("Time sync command sent automatically")));
    } else {
        appendMessage(tr2(QStringLiteral("授时指令发送失败"), QStringLiteral("Failed to send time sync command")));
    }
}

void AppBridge::requestVersions(bool announce) {
    auto sendGimbalRequest = [this](uint8_t receiver) {
        return sendCommand(receiver, kGimbalVersionId, kReadRequest, sizeof kReadRequest);
    };
    bool gimbalSent = false;
    if (LinkPayloads::isCameraRoutedProduct(m_currentProduct)) {
        gimbalSent = sendGimbalRequest(kCamera);
    } else if (m_currentProduct == QLatin1String("Tern-LITE-A")) {
        gimbalSent = sendGimbalRequest(kGimbal) || sendGimbalRequest(kCamera);
    } else if (m_currentProduct.isEmpty()) {
        // Unknown hardware: ask both possible receivers.
        const bool viaGimbal = sendGimbalRequest(kGimbal);
        const bool viaCamera = sendGimbalRequest(kCamera);
        gimbalSent = viaGimbal || viaCamera;
    } else {
        gimbalSent = sendGimbalRequest(kGimbal);
    }
    const bool cameraSent = sendCommand(kCamera, kCameraVersionId, kReadRequest, sizeof kReadRequest);
    if (!announce)
        return;
    if (gimbalSent && cameraSent) {
        appendMessage(tr2(QStringLiteral("已自动请求版本信息"), QStringLiteral("Version requests sent automatically")));
    } else {
        appendMessage(tr2(QStringLiteral("版本请求发送失败"), QStringLiteral("Failed to send version requests")));
    }
}

bool AppBridge::requestVisibleSettings() {
    qDebug().noquote() << QStringLiteral("[可见光设置] 发送请求 0x000200 获取拍照/录像分辨率等");
    return sendCommand(kCamera, kVisibleSettingsId, kReadRequest, sizeof kReadRequest);
}

void AppBridge::scheduleUdpLinkUpRequests() {
    QTimer::singleShot(0, this, [this] {
        sendTimeSync();
        requestVersions(true);
        readChannelConfig();
        getAiDetectCategories();
    });
    QTimer::singleShot(400, this, [this] { requestIrSettings(); });
    QTimer::singleShot(500, this, [this] { requestVisibleSettings(); });
}

void AppBridge::runSerialLinkUpSequence() {
    QTimer::singleShot(500, this, [this] { requestVisibleSettings(); });
    startStatsAfterLinkUp();
    sendTimeSync();
    // The gimbal behind a serial line may still be booting: ask again, quietly, twice.
    QTimer::singleShot(150, this, [this] { requestVersions(true); });
    QTimer::singleShot(500, this, [this] { requestVersions(false); });
    QTimer::singleShot(950, this, [this] { requestVersions(false); });
    getAiDetectCategories();
    QTimer::singleShot(400, this, [this] { requestIrSettings(); });
    QTimer::singleShot(500, this, [this] { requestVisibleSettings(); });
}
