// Remote-control channel configuration commands.
#include "AppBridge.h"

namespace {

constexpr uint8_t kCamera = 4;
constexpr uint32_t kChannelConfigReadId = 0x000502;

}  // namespace

void AppBridge::readChannelConfig() {
    if (!hasOpenLink()) {
        appendMessage(tr2(QStringLiteral("通道读取：请先连接UDP或UART"),
                          QStringLiteral("Channel read: connect UDP or UART first")));
        return;
    }
    const uint8_t payload[2] = {0x01, 0x00};
    if (!sendCommand(kCamera, kChannelConfigReadId, payload, sizeof payload)) {
        appendMessage(
            tr2(QStringLiteral("通道配置读取发送失败"), QStringLiteral("Failed to send channel config read")));
    }
}
