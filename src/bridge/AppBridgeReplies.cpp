// Replies to the camera commands: confirmations and refusals of settings, photo and recording,
// and the once-only resend of a refused zoom. Both links run the same handling (only the photo
// and recording confirmations are worded per link).
#include <QDebug>

#include <algorithm>
#include <iterator>

#include "AppBridge.h"
#include "protocol/FrameCodec.h"
#include "protocol/MessageCatalogue.h"

namespace {

struct Bilingual {
    const char* cn;
    const char* en;
};

// Settings whose answer only needs telling: confirmed / refused. A null text says nothing.
struct SettingReply {
    uint32_t id;
    Bilingual confirmed;
    Bilingual refused;
};

const SettingReply kSettingReplies[] = {
    {0x010201,
     {"设备已确认录像分辨率设置成功", "Record resolution confirmed by device"},
     {"录像分辨率设置失败", "Record resolution set failed"}},
    {0x010308,
     {"设备已确认码率设置成功", "Video bitrate confirmed by device"},
     {"码率设置失败", "Video bitrate set failed"}},
    {0x01030A,
     {"设备已确认RTSP分辨率设置成功", "RTSP resolution confirmed by device"},
     {"RTSP分辨率设置失败", "RTSP resolution set failed"}},
    {0x01030B,
     {"设备已确认视频编码设置成功", "Video encoding confirmed by device"},
     {"视频编码设置失败", "Video encoding set failed"}},
    {0x010318,
     {"视频输出切换成功", "Video output switch confirmed by device"},
     {"视频输出切换失败", "Video output switch failed"}},
    {0x010106, {nullptr, nullptr}, {"红外色板设置失败", "IR palette set failed"}},
};

bool succeeded(const ParsedFrame& frame) {
    return frame.payload[0] == 0 && frame.payload[1] == 0;
}

}  // namespace

void AppBridge::handleSettingReply(const ParsedFrame& frame, FrameLink) {
    const auto row = std::find_if(std::begin(kSettingReplies), std::end(kSettingReplies),
                                  [&](const SettingReply& r) { return r.id == frame.messageId; });
    if (row == std::end(kSettingReplies))
        return;
    const Bilingual& text = succeeded(frame) ? row->confirmed : row->refused;
    if (text.cn)
        appendMessage(tr2(QString::fromUtf8(text.cn), QString::fromUtf8(text.en)));
}

void AppBridge::handlePhotoResolutionReply(const ParsedFrame& frame, FrameLink) {
    if (!succeeded(frame)) {
        m_pendingPhotoResolutionIndex = -1;
        appendMessage(tr2(QStringLiteral("拍照分辨率设置失败"), QStringLiteral("Photo resolution set failed")));
        return;
    }
    if (m_pendingPhotoResolutionIndex >= 0) {
        m_cameraPhotoResolutionIndex = m_pendingPhotoResolutionIndex;
        m_pendingPhotoResolutionIndex = -1;
        emitLater({&AppBridge::cameraStatusChanged});
    }
    appendMessage(
        tr2(QStringLiteral("设备已确认拍照分辨率设置成功"), QStringLiteral("Photo resolution confirmed by device")));
}

void AppBridge::handlePhotoCommandReply(const ParsedFrame& frame, FrameLink link) {
    if (!succeeded(frame)) {
        appendMessage(tr2(QStringLiteral("拍照失败"), QStringLiteral("Photo command failed")));
    } else if (link == FrameLink::Serial) {
        appendMessage(tr2(QStringLiteral("设备已确认拍照指令"), QStringLiteral("Photo command confirmed by device")));
    } else {
        appendMessage(tr2(QStringLiteral("拍照成功"), QStringLiteral("Photo captured successfully")));
    }
}

void AppBridge::handleRecordCommandReply(const ParsedFrame& frame, FrameLink link) {
    const bool ok = succeeded(frame);
    if (ok && link == FrameLink::Serial) {
        appendMessage(tr2(QStringLiteral("设备已确认录像指令"), QStringLiteral("Record command confirmed by device")));
    } else if (m_pendingRecordAction == 2) {
        appendMessage(ok ? tr2(QStringLiteral("停止录像成功"), QStringLiteral("Stop recording confirmed"))
                         : tr2(QStringLiteral("停止录像失败"), QStringLiteral("Stop recording failed")));
    } else if (m_pendingRecordAction == 1) {
        appendMessage(ok ? tr2(QStringLiteral("开始录像成功"), QStringLiteral("Start recording confirmed"))
                         : tr2(QStringLiteral("开始录像失败"), QStringLiteral("Start recording failed")));
    } else {
        appendMessage(ok ? tr2(QStringLiteral("录像指令执行成功"), QStringLiteral("Record command succeeded"))
                         : tr2(QStringLiteral("录像指令执行失败"), QStringLiteral("Record command failed")));
    }
}

// A refusal resends the last continuous-zoom frame once. Only a command still waiting for its
// answer is resent: a stray refusal must not start a zoom nobody asked for.
void AppBridge::handleContinuousZoomReply(const ParsedFrame& frame, FrameLink) {
    if (succeeded(frame)) {
        m_zoomAckPending = false;
        appendMessage(
            m_lastZoomPayload[0] == 2
                ? tr2(QStringLiteral("停止混合变倍"), QStringLiteral("Zoom stop confirmed by device"))
                : tr2(QStringLiteral("开始混合变倍"), QStringLiteral("Mixed zoom start confirmed by device")));
        return;
    }
    appendMessage(
        tr2(QStringLiteral("连续变倍失败，重发一次"), QStringLiteral("Continuous zoom failed, resending once")));
    if (!m_zoomAckPending)
        return;
    if (m_zoomRetried) {
        m_zoomAckPending = false;
        return;
    }
    sendCommand(DeviceId::Camera, MessageId::ContinuousZoom, m_lastZoomPayload.data(), m_lastZoomPayload.size());
    m_zoomRetried = true;
}

void AppBridge::handleZoomRatioReply(const ParsedFrame& frame, FrameLink) {
    if (succeeded(frame)) {
        m_visibleZoomAckPending = false;
        qDebug().noquote() << QStringLiteral("[变倍指令] 设备已确认指定混合变倍(0x010304)");
        return;
    }
    appendMessage(tr2(QStringLiteral("指定变倍失败，重发一次"), QStringLiteral("Zoom set failed, resending once")));
    if (!m_visibleZoomAckPending)
        return;
    if (m_visibleZoomRetried) {
        m_visibleZoomAckPending = false;
        m_visibleZoomSettlePending = false;
        return;
    }
    sendCommand(m_lastVisibleZoomDestination, MessageId::ZoomToRatio, m_lastVisibleZoomPayload.data(),
                m_lastVisibleZoomPayload.size());
    m_visibleZoomRetried = true;
}
