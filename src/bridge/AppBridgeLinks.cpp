// Link manager: UDP socket and serial port, at most one of them up, and what happens to the
// controller's state and timers when a link comes up or goes down.
#include "AppBridge.h"

#include <QHostAddress>
#include <QTimer>

#include "app/AppConfig.h"
#include "app/elog.h"

namespace {

// Enough for a few hundred status frames, so that a busy GUI thread does not lose telemetry.
constexpr int kUdpReceiveBufferBytes = 4 * 1024 * 1024;

}  // namespace

void AppBridge::connectUdp(const QString& ip, int port) {
    const QHostAddress address(ip);
    if (address.isNull() || port < 1 || port > 65535) {
        appendMessage(tr2(QStringLiteral("UDP参数无效"), QStringLiteral("Invalid UDP params")));
        return;
    }
    if (m_serialOpened)
        closeSerialForUdp();
    resetCameraStateForNewLink();
    resetSilenceWatch();

    if (m_udpSocket.state() == QAbstractSocket::UnconnectedState && !bindUdpSocket()) {
        appendMessage(tr2(QStringLiteral("UDP绑定失败"), QStringLiteral("UDP bind failed")));
        if (m_udpConnected) {
            m_udpConnected = false;
            emit udpConnectedChanged();
        }
        emit linkStatusChanged();
        announceLinkStatus();
        stopLinkTimers();
        return;
    }

    const bool wasUp = m_udpConnected;
    if (!wasUp) {
        m_udpConnected = true;
        startStatsAfterLinkUp();
    }
    m_udpTargetAddress = address;
    m_udpTargetPort = static_cast<quint16>(port);
    m_acceptOnlyDevice = readAcceptOnlyDevice();
    m_foreignSenders.clear();

    emit linkStatusChanged();
    if (!wasUp)
        emit udpConnectedChanged();
    announceLinkStatus();
    appendMessage(tr2(QStringLiteral("UDP已连接: "), QStringLiteral("UDP connected: ")) + ip + QLatin1Char(':') +
                  QString::number(port));
    resetTrackingAndRecording();
    scheduleUdpLinkUpRequests();
    m_irSettingsPollTimer.start();
}

// Link/AcceptFrom: "any" (frames from any sender, the default) or "device" (only from the address
// the link was opened to; the setting to use on a shared network).
bool AppBridge::readAcceptOnlyDevice() {
    const QString value = AppConfig::stringValue(QStringLiteral("Link/AcceptFrom"), QStringLiteral("any")).trimmed();
    if (value.compare(QLatin1String("device"), Qt::CaseInsensitive) == 0)
        return true;
    if (value.compare(QLatin1String("any"), Qt::CaseInsensitive) != 0)
        elog_w("app", "Link/AcceptFrom=%s is neither any nor device: frames are accepted from any sender",
               value.toUtf8().constData());
    return false;
}

bool AppBridge::bindUdpSocket() {
    if (!m_udpSocket.bind(QHostAddress(QHostAddress::AnyIPv4), 0,
                          QAbstractSocket::ShareAddress | QAbstractSocket::ReuseAddressHint)) {
        return false;
    }
    m_udpSocket.setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, kUdpReceiveBufferBytes);
    return true;
}

void AppBridge::disconnectUdp() {
    if (!m_udpConnected && m_udpSocket.state() == QAbstractSocket::UnconnectedState)
        return;
    m_udpConnected = false;
    emit udpConnectedChanged();
    if (!m_serialOpened)
        m_irSettingsPollTimer.stop();
    releaseUdpSocket();
    applyLinkLossReset();
    emit linkStatusChanged();
    announceLinkStatus();
    appendMessage(tr2(QStringLiteral("UDP已断开"), QStringLiteral("UDP disconnected")));
    emitLater({&AppBridge::cameraStatusChanged});
    if (!m_serialOpened)
        m_statsTimer.stop();
}

// A user outside the dialout group sees no port at all; tell why and what to do.
QString AppBridge::serialPermissionHint(const QString& ports) const {
    return tr2(QStringLiteral("无权限打开串口 %1：请将当前用户加入 dialout 组（sudo usermod -aG dialout $USER），"
                              "然后注销并重新登录"),
               QStringLiteral("No permission to open serial port %1: add your user to the dialout group "
                              "(sudo usermod -aG dialout $USER), then log out and in again"))
        .arg(ports);
}

void AppBridge::refreshSerialPorts() {
    QStringList deniedPorts;
    const QStringList names = m_uart.availablePortNames(&deniedPorts);
    if (names != m_serialPorts) {
        m_serialPorts = names;
        emit serialPortsChanged();
    }
    if (m_serialPorts.isEmpty()) {
        appendMessage(tr2(QStringLiteral("未检测到可用串口"), QStringLiteral("No serial ports found")));
    } else {
        appendMessage(tr2(QStringLiteral("串口已刷新: "), QStringLiteral("Serial ports refreshed: ")) +
                      m_serialPorts.join(QStringLiteral(", ")));
    }
    if (!deniedPorts.isEmpty())
        appendMessage(serialPermissionHint(deniedPorts.join(QStringLiteral(", "))));
}

bool AppBridge::openSerial(const QString& portName, int baudRate) {
    if (portName.trimmed().isEmpty() || baudRate <= 0) {
        appendMessage(tr2(QStringLiteral("串口参数无效"), QStringLiteral("Invalid serial params")));
        return false;
    }
    if (m_serialOpened) {
        releaseSerialPort();
        applyLinkLossReset();
        emit serialOpenedChanged();
        emit linkStatusChanged();
        announceLinkStatus();
        emitLater({&AppBridge::cameraStatusChanged});
    }
    resetCameraStateForNewLink();
    resetSilenceWatch();
    if (m_udpConnected)
        closeUdpSocketForSerial();

    if (!m_uart.open(portName, baudRate, m_uart.dataBits(), m_uart.parity(), m_uart.stopBits(), m_uart.flowControl())) {
        appendMessage(tr2(QStringLiteral("串口打开失败: "), QStringLiteral("Failed to open serial port: ")) + portName);
        if (m_uart.lastOpenDeniedPermission())
            appendMessage(serialPermissionHint(portName));
        emit linkStatusChanged();
        announceLinkStatus();
        stopLinkTimers();
        return false;
    }
    m_serialOpened = true;
    m_serialPortName = portName;
    emit serialOpenedChanged();
    emit linkStatusChanged();
    announceLinkStatus();
    appendMessage(tr2(QStringLiteral("串口已打开: "), QStringLiteral("Serial port opened: ")) + portName +
                  QStringLiteral(" @ ") + QString::number(baudRate));
    resetTrackingAndRecording();
    runSerialLinkUpSequence();
    m_irSettingsPollTimer.start();
    return true;
}

void AppBridge::closeSerial() {
    if (!m_serialOpened)
        return;
    shutSerialLink(tr2(QStringLiteral("串口已关闭"), QStringLiteral("Serial port closed")));
}

// The port went away under the open link (adapter pulled out, cable or far end gone): the link is
// closed as the operator would close it, so that the switch and the status stop claiming a link.
void AppBridge::onSerialPortLost() {
    if (!m_serialOpened)
        return;
    shutSerialLink(tr2(QStringLiteral("串口已断开: %1"), QStringLiteral("Serial port lost: %1")).arg(m_serialPortName));
}

void AppBridge::shutSerialLink(const QString& message) {
    releaseSerialPort();
    if (!m_udpConnected)
        m_irSettingsPollTimer.stop();
    applyLinkLossReset();
    emit serialOpenedChanged();
    emit linkStatusChanged();
    announceLinkStatus();
    appendMessage(message);
    emitLater({&AppBridge::cameraStatusChanged});
    if (!m_udpConnected)
        m_statsTimer.stop();
}

void AppBridge::releaseSerialPort() {
    m_uart.close();
    // Bytes of the closed port must not be glued to those of a later one.
    m_serialRxBuffer.clear();
    m_serialOpened = false;
}

void AppBridge::releaseUdpSocket() {
    m_udpSocket.close();
    m_udpTargetAddress = QHostAddress(QHostAddress::AnyIPv4);
    m_udpTargetPort = 0;
}

void AppBridge::closeSerialForUdp() {
    releaseSerialPort();
    applyLinkLossReset();
    emit serialOpenedChanged();
    appendMessage(tr2(QStringLiteral("已自动关闭UART"), QStringLiteral("UART was closed automatically")));
    emitLater({&AppBridge::cameraStatusChanged});
}

void AppBridge::closeUdpSocketForSerial() {
    releaseUdpSocket();
    m_udpConnected = false;
    emit udpConnectedChanged();
    appendMessage(tr2(QStringLiteral("已自动断开UDP"), QStringLiteral("UDP was disconnected automatically")));
    clearCameraSettingsAfterUdpDrop();
}

// Camera state that a new link must learn afresh; the panels pick it up with the next report.
void AppBridge::resetCameraStateForNewLink() {
    m_cameraStreamModeIndex = -1;
    m_cameraStatusAvailable = false;
    m_currentVisibleZoom = 1.0;
    m_isZooming = false;
    m_continuousZoomJustStopped = false;
    forgetGimbalAttitude();
}

// The stream settings are read over UDP only; a serial link must not show those of the last one.
void AppBridge::clearCameraSettingsAfterUdpDrop() {
    applyLinkLossReset();
    m_cameraVideoBitrateIndex = -1;
    m_cameraRtspResolutionIndex = -1;
    m_cameraVideoEncodingIndex = -1;
    emitLater({&AppBridge::cameraStatusChanged});
}

// What a link takes with it when it goes, however it goes: the operator's switch, a switch to the
// other link, a re-open of the port or a port that disappeared. Answers still on their way from
// the old device must find nothing pending.
void AppBridge::applyLinkLossReset() {
    resetSilenceWatch();
    forgetGimbalAttitude();
    m_cameraStatusAvailable = false;
    m_recordingTimeSeconds = 0;
    emitLater({&AppBridge::recordingTimeSecondsChanged});

    m_cameraStreamModeIndex = -1;
    m_cameraPhotoResolutionIndex = -1;
    m_cameraRecordResolutionIndex = -1;
    m_pendingPhotoResolutionIndex = -1;
    m_visibleZoomAckPending = false;
    m_visibleZoomRetried = false;
    m_visibleZoomSettlePending = false;
    // No gimbal answer can come on a closed link, and no copy may be resent into it.
    m_motionAckPending = false;
    m_angleAckPending = false;

    const bool thermometryActive = m_irTempMeasureOn || m_thermo.valid || m_thermo.pointSelected ||
                                   m_thermo.rectWidth > 0 || m_thermo.rectHeight > 0;
    if (thermometryActive) {
        m_irTempMeasureOn = false;
        m_thermo.valid = false;
        m_thermo.pointSelected = false;
        m_thermo.rectCenterX = 0;
        m_thermo.rectCenterY = 0;
        m_thermo.rectWidth = 0;
        m_thermo.rectHeight = 0;
        m_thermo.pointX = 0;
        m_thermo.pointY = 0;
        m_thermo.pointTemp = 0.0;
        emitLater({&AppBridge::irTempMeasureOnChanged, &AppBridge::irThermometryChanged});
    }
}

void AppBridge::resetTrackingAndRecording() {
    setTracking(false, 0, 0, 0, 0, false, false);
    emit trackingResetRequested();
    if (m_recording) {
        m_recording = false;
        emitLater({&AppBridge::recordingChanged});
    }
}

void AppBridge::stopLinkTimers() {
    m_irSettingsPollTimer.stop();
    m_statsTimer.stop();
}

void AppBridge::startStatsAfterLinkUp() {
    m_counters = ProtocolCounters();
    writeProtocolStats();
    if (!m_statsTimer.isActive())
        m_statsTimer.start();
}
