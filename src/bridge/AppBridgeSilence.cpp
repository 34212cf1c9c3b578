// Silence watch: a device that stops sending (powered off, rebooting, out of range) leaves a link
// that looks healthy while every reading goes stale. Once the open link has carried a valid frame,
// a gap of Link/SilenceTimeoutSec seconds without one is told to the operator, and so is the end
// of the gap. Corrupt frames and stray bytes are no sign of a working device and do not count.
#include <algorithm>

#include "AppBridge.h"
#include "app/AppConfig.h"

namespace {

constexpr int kDefaultSilenceTimeoutSec = 3;
constexpr int kMaxSilenceTimeoutSec = 3600;

}  // namespace

void AppBridge::setUpSilenceWatch() {
    const int configured = AppConfig::intValue(QStringLiteral("Link/SilenceTimeoutSec"), kDefaultSilenceTimeoutSec);
    m_silenceTimeoutSec = std::clamp(configured, 0, kMaxSilenceTimeoutSec);
    m_silenceTimer.setSingleShot(true);
    connect(&m_silenceTimer, &QTimer::timeout, this, &AppBridge::checkDeviceSilence);
    m_silentAgeTimer.setInterval(1000);
    connect(&m_silentAgeTimer, &QTimer::timeout, this, &AppBridge::updateDeviceSilentAge);
}

// The age the screen shows beside stale values; 0 whenever the device is not silent.
void AppBridge::updateDeviceSilentAge() {
    const int seconds = m_deviceSilent ? int(m_lastDeviceFrame.elapsed() / 1000) : 0;
    if (m_deviceSilent)
        m_silentAgeTimer.start();
    else
        m_silentAgeTimer.stop();
    setAndNotify(m_deviceSilentSeconds, seconds, &AppBridge::deviceSilentSecondsChanged);
}

// Called for every valid frame: only a clock restart, so that a busy link costs no timer work.
void AppBridge::noteDeviceFrame() {
    if (m_silenceTimeoutSec == 0)
        return;
    m_lastDeviceFrame.restart();
    if (m_deviceSilent) {
        setAndNotify(m_deviceSilent, false, &AppBridge::deviceSilentChanged);
        updateDeviceSilentAge();
        appendMessage(tr2(QStringLiteral("设备已恢复"), QStringLiteral("Device data resumed")));
    }
    if (!m_silenceTimer.isActive())
        m_silenceTimer.start(m_silenceTimeoutSec * 1000);
}

// The timer was armed at some frame; later frames only moved the clock, so it is re-armed for
// what is left of the gap until the gap is whole.
void AppBridge::checkDeviceSilence() {
    if (!linkOpen() || !m_lastDeviceFrame.isValid() || m_deviceSilent)
        return;
    const qint64 timeoutMs = qint64(m_silenceTimeoutSec) * 1000;
    const qint64 quietMs = m_lastDeviceFrame.elapsed();
    if (quietMs < timeoutMs) {
        m_silenceTimer.start(int(timeoutMs - quietMs));
        return;
    }
    setAndNotify(m_deviceSilent, true, &AppBridge::deviceSilentChanged);
    updateDeviceSilentAge();
    appendMessage(tr2(QStringLiteral("设备无响应（%1 秒无数据）"), QStringLiteral("No data from device for %1 s"))
                      .arg(m_silenceTimeoutSec));
}

// A link that opens, closes or changes its target starts over: no frame seen, nothing to tell.
void AppBridge::resetSilenceWatch() {
    m_silenceTimer.stop();
    m_lastDeviceFrame.invalidate();
    setAndNotify(m_deviceSilent, false, &AppBridge::deviceSilentChanged);
    updateDeviceSilentAge();
}
