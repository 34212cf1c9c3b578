// Remote-control channel configuration, the camera's network address and laser ranging. Every
// command checks for a link first and names itself in its messages.
#include <algorithm>

#include "AppBridge.h"
#include "CommandPayloads.h"
#include "protocol/MessageCatalogue.h"

namespace {

const uint8_t kReadRequest[2] = {0x01, 0x00};
const uint8_t kSwitchOn[2] = {0x01, 0x00};
const uint8_t kSwitchOff[2] = {0x00, 0x00};

}  // namespace

bool AppBridge::requireLink(const QString& cn, const QString& en) {
    if (linkOpen())
        return true;
    appendMessage(tr2(cn, en));
    return false;
}

void AppBridge::sendOrComplain(uint32_t messageId, const uint8_t* payload, uint8_t length, const QString& cn,
                               const QString& en) {
    if (!sendCommand(DeviceId::Camera, messageId, payload, length))
        appendMessage(tr2(cn, en));
}

void AppBridge::readChannelConfig() {
    if (!requireLink(QStringLiteral("通道读取：请先连接UDP或UART"),
                     QStringLiteral("Channel read: connect UDP or UART first")))
        return;
    sendOrComplain(MessageId::SbusReadConfig, kReadRequest, sizeof kReadRequest, QStringLiteral("通道配置读取发送失败"),
                   QStringLiteral("Failed to send channel config read"));
}

// The channel properties follow the device's answer to a later read, not what was written.
void AppBridge::writeChannelConfig(int streamCh, int zoomCh, int captureCh, int recordCh, int pitchCh, int yawCh,
                                   int homeCh, int irPaletteCh) {
    if (!requireLink(QStringLiteral("通道写入：请先连接UDP或UART"),
                     QStringLiteral("Channel write: connect UDP or UART first")))
        return;
    const auto payload = CommandPayloads::encodeChannelConfig(
        {streamCh, zoomCh, captureCh, recordCh, pitchCh, yawCh, homeCh, irPaletteCh});
    sendOrComplain(MessageId::SbusChannelConfig, payload.data(), payload.size(), QStringLiteral("通道配置写入发送失败"),
                   QStringLiteral("Failed to send channel config write"));
}

void AppBridge::writeChannelRange(int maxVal, int minVal) {
    if (!requireLink(QStringLiteral("范围值设置：请先连接UDP或UART"),
                     QStringLiteral("Range set: connect UDP or UART first")))
        return;
    const int maxValue = std::clamp(maxVal, 0, CommandPayloads::kChannelValueMax);
    const int minValue = std::clamp(minVal, 0, CommandPayloads::kChannelValueMax);
    if (minValue >= maxValue) {
        appendMessage(tr2(QStringLiteral("最小值须小于最大值"), QStringLiteral("Min must be less than max")));
        return;
    }
    const auto payload = CommandPayloads::encodeChannelRange(maxValue, minValue);
    if (!sendCommand(DeviceId::Camera, MessageId::SbusChannelRange, payload.data(), payload.size())) {
        appendMessage(
            tr2(QStringLiteral("通道值范围设置发送失败"), QStringLiteral("Failed to send channel value range")));
        return;
    }
    m_channels.rangeMax = maxValue;
    m_channels.rangeMin = minValue;
    emitLater({&AppBridge::channelConfigChanged});
    appendMessage(tr2(QStringLiteral("通道值范围已下发（最大:%1 最小:%2），修改后需断电重启生效"),
                      QStringLiteral("Channel value range sent (max:%1 min:%2); power cycle required"))
                      .arg(maxValue)
                      .arg(minValue));
}

// The camera's new address shows in the properties only after a later getCameraIp is answered.
void AppBridge::setCameraIp(int ipType, const QString& ip, const QString& subnetMask, const QString& gateway) {
    if (!requireLink(QStringLiteral("IP设置：请先连接UDP或UART"), QStringLiteral("IP set: connect UDP or UART first")))
        return;
    uint8_t address[4] = {};
    uint8_t mask[4] = {};
    uint8_t gate[4] = {};
    if (!CommandPayloads::parseIpv4(ip, address) || !CommandPayloads::parseIpv4(subnetMask, mask) ||
        !CommandPayloads::parseIpv4(gateway, gate)) {
        appendMessage(tr2(QStringLiteral("IP/掩码/网关格式无效"), QStringLiteral("Invalid IP/mask/gateway format")));
        return;
    }
    const auto payload = CommandPayloads::encodeCameraIp(ipType, address, mask, gate);
    sendOrComplain(MessageId::SetCameraIp, payload.data(), payload.size(), QStringLiteral("IP设置发送失败"),
                   QStringLiteral("Failed to send IP set"));
}

void AppBridge::getCameraIp() {
    if (!requireLink(QStringLiteral("IP获取：请先连接UDP或UART"), QStringLiteral("IP get: connect UDP or UART first")))
        return;
    sendOrComplain(MessageId::GetCameraIp, kReadRequest, sizeof kReadRequest, QStringLiteral("IP获取发送失败"),
                   QStringLiteral("Failed to send IP get"));
}

void AppBridge::laserRangeSingle() {
    if (!requireLink(QStringLiteral("单次测距：请先连接UDP或UART"),
                     QStringLiteral("Laser range: connect UDP or UART first")))
        return;
    sendOrComplain(MessageId::LaserRanging, kReadRequest, sizeof kReadRequest, QStringLiteral("单次测距发送失败"),
                   QStringLiteral("Failed to send single range"));
}

// The flags change before the send: the next range report after switching off is announced once
// as the result of the stopped ranging.
void AppBridge::laserPeriodicOn() {
    if (!requireLink(QStringLiteral("连续测距：请先连接UDP或UART"),
                     QStringLiteral("Laser periodic: connect UDP or UART first")))
        return;
    m_laserPeriodicActive = true;
    m_laserResultShown = false;
    sendOrComplain(MessageId::LaserPeriodicRanging, kSwitchOn, sizeof kSwitchOn, QStringLiteral("连续测距发送失败"),
                   QStringLiteral("Failed to send continuous range"));
}

void AppBridge::laserPeriodicOff() {
    if (!requireLink(QStringLiteral("停止连续测距：请先连接UDP或UART"),
                     QStringLiteral("Stop laser: connect UDP or UART first")))
        return;
    m_laserPeriodicActive = false;
    sendOrComplain(MessageId::LaserPeriodicRanging, kSwitchOff, sizeof kSwitchOff,
                   QStringLiteral("停止连续测距发送失败"), QStringLiteral("Failed to send stop range"));
}
