// The video panel's own tools: messages about the recordings and snapshots made on this computer
// (the video item makes them), about a stream the video item refuses, and the stream health
// overlay's and the head-up display's switches.
#include <QDir>
#include <QHash>

#include "AppBridge.h"

namespace {

struct CaptureText {
    const char* cn;
    const char* en;
};

// %1: the file or folder; %2: a size or the system's reason, when there is one.
const QHash<QString, CaptureText>& captureTexts() {
    static const QHash<QString, CaptureText> texts{
        {QStringLiteral("recordingStarted"), {"本地录像开始: %1", "Local recording started: %1"}},
        {QStringLiteral("recordingNewFile"),
         {"视频流参数已变化, 本地录像继续写入新文件: %1", "Stream parameters changed, local recording goes on in %1"}},
        {QStringLiteral("recordingStopped"), {"本地录像已保存: %1 (%2)", "Local recording saved: %1 (%2)"}},
        {QStringLiteral("recordingFailed"),
         {"本地录像已停止, 无法写入 %1 %2", "Local recording stopped: cannot write to %1 %2"}},
        {QStringLiteral("sidecarFailed"),
         {"无法写入字幕文件 %1 %2, 本地录像继续", "Cannot write the subtitle file %1 %2, local recording goes on"}},
        {QStringLiteral("snapshotSaved"), {"截图已保存: %1", "Snapshot saved: %1"}},
        {QStringLiteral("snapshotNoPicture"), {"截图失败: 还没有画面", "Snapshot failed: no picture yet"}},
        {QStringLiteral("snapshotFailed"), {"截图失败, 无法保存到 %1 %2", "Snapshot failed: cannot save to %1 %2"}},
        // The video item's streamProblem kinds (detail: its "detail").
        {QStringLiteral("pictureTooLarge"),
         {"视频流画面过大, 已拒绝播放 %2 (设置: Video/MaxPictureSize)",
          "Video stream refused: picture too large %2 (setting: Video/MaxPictureSize)"}},
    };
    return texts;
}

}  // namespace

void AppBridge::reportLocalCapture(const QString& kind, const QString& path, const QString& detail) {
    const auto found = captureTexts().constFind(kind);
    if (found == captureTexts().constEnd())
        return;
    const QString reason =
        detail.isEmpty() || kind == QLatin1String("recordingStopped") ? detail : QStringLiteral("(%1)").arg(detail);
    QString text = tr2(QString::fromUtf8(found->cn), QString::fromUtf8(found->en));
    // Not arg(): a text may leave out either part, and a path may itself contain "%2".
    text.replace(QLatin1String("%2"), reason).replace(QLatin1String("%1"), QDir::toNativeSeparators(path));
    appendMessage(text.trimmed());
}

void AppBridge::setShowStreamStats(bool show) {
    setRememberedAndNotify(m_showStreamStats, show, QStringLiteral("Video/ShowStats"),
                           &AppBridge::showStreamStatsChanged);
}

void AppBridge::setShowHud(bool show) {
    setRememberedAndNotify(m_showHud, show, QStringLiteral("Video/ShowHud"), &AppBridge::showHudChanged);
}
