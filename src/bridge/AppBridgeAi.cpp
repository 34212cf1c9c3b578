// Switching the on-board detector on and off, optionally for chosen categories.
#include "AppBridge.h"
#include "CommandPayloads.h"
#include "protocol/MessageCatalogue.h"

void AppBridge::setAiDetect(bool enable) {
    setAiDetectWithCategories(enable, {});
}

// Switching on changes nothing here: `aiDetecting` follows the device's detection reports.
bool AppBridge::setAiDetectWithCategories(bool enable, const QVariantList& categoryIds) {
    if (!linkOpen()) {
        appendMessage(
            tr2(QStringLiteral("智能识别：请先连接UDP或UART"), QStringLiteral("AI detect: connect UDP or UART first")));
        return false;
    }
    const bool wasDetecting = m_aiDetecting;
    if (!enable) {
        m_aiDetecting = false;
        m_aiDetectedCount = 0;
        m_aiDetectStatus = tr2(QStringLiteral("已关闭"), QStringLiteral("Disabled"));
        emit aiDetectingChanged();
        emit aiDetectedCountChanged();
        emit aiDetectStatusChanged();
    }
    const auto payload = CommandPayloads::encodeAiDetect(enable, categoryIds);
    if (!sendCommand(DeviceId::Camera, MessageId::AiDetection, payload.data(), payload.size())) {
        appendMessage(tr2(QStringLiteral("智能识别发送失败"), QStringLiteral("Failed to send AI detect")));
        return false;
    }
    if (wasDetecting != enable) {  // re-sending the current state is silent
        appendMessage(tr2(QStringLiteral("已发送智能识别 %1"), QStringLiteral("AI detect %1 sent"))
                          .arg(enable ? tr2(QStringLiteral("开启"), QStringLiteral("on"))
                                      : tr2(QStringLiteral("关闭"), QStringLiteral("off"))));
    }
    return true;
}
