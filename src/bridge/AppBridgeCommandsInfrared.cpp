// Infrared camera commands.
#include "AppBridge.h"

namespace {

constexpr uint8_t kCamera = 4;
constexpr uint32_t kIrSettingsReadId = 0x000100;

}  // namespace

void AppBridge::requestIrSettings() {
    const uint8_t payload[2] = {0x01, 0x00};
    if (!sendCommand(kCamera, kIrSettingsReadId, payload, sizeof payload)) {
        appendMessage(
            tr2(QStringLiteral("红外参数读取请求下发失败"), QStringLiteral("Failed to send IR settings request")));
    }
}
