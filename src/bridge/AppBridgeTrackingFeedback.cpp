// What the device says about box tracking: acknowledgements of requests and the tracker's state.
#include <QDateTime>
#include <QTimer>

#include "AppBridge.h"
#include "AppBridgePayloads.h"
#include "protocol/FrameCodec.h"

namespace {

constexpr qint64 kTrackingAckMessageGapMs = 800;
constexpr uint8_t kTrackerTargetLost = 2;

}  // namespace

// Acknowledgements of silent requests say nothing, and the others at most one line per 800 ms.
// Either way only this frame is skipped: the rest of the receive pass goes on.
void AppBridge::handleTrackingAck(const ParsedFrame& frame, FrameLink) {
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    if (now < m_trackingAckQuietUntilMs)
        return;
    if (now - m_lastTrackingAckMessageMs < kTrackingAckMessageGapMs)
        return;
    m_lastTrackingAckMessageMs = now;
    if (LinkPayloads::readU16(frame.payload) != 0) {
        appendMessage(tr2(QStringLiteral("框选跟踪失败"), QStringLiteral("Box tracking failed")));
    } else if (m_lastTrackingRequestOn) {
        appendMessage(tr2(QStringLiteral("框选跟踪成功"), QStringLiteral("Box tracking confirmed by device")));
    } else {
        appendMessage(tr2(QStringLiteral("已停止框选跟踪"), QStringLiteral("Box tracking stopped by device")));
    }
}

// The tracker reports in byte 11 that it lost or ended its target; the panels switch tracking off.
void AppBridge::handleTrackingStatusReport(const ParsedFrame& frame, FrameLink) {
    if (frame.payload[11] != kTrackerTargetLost)
        return;
    QTimer::singleShot(0, this, [this] { emit trackingStateFromDevice(false); });
}
