import QtQuick 2.9
import "."

// Over the middle of the video whenever no live picture is coming: no stream, connecting to one, or,
// over the last picture, a stream that went away and when it is tried again.
Rectangle {
    id: notice

    property real uiScale: 1
    property string language: "zh"
    // The video item's streamStatus and reconnectInSeconds.
    property string streamStatus: "idle"
    property int reconnectInSeconds: -1
    // The video item's streamProblem: a stream it refuses to play (kind, detail).
    property var streamProblem: ({})
    readonly property bool reconnecting: reconnectInSeconds >= 0
    readonly property bool refused: !!streamProblem && streamProblem.kind === "pictureTooLarge"

    function zhText(cn, en) {
        return language === "zh" ? cn : en
    }
    function message() {
        if (refused)
            return zhText("视频画面过大 (" + streamProblem.detail + "), 已拒绝播放",
                          "Picture too large (" + streamProblem.detail + "), stream refused")
        if (reconnecting) {
            return reconnectInSeconds > 0
                    ? zhText("视频流中断, " + reconnectInSeconds + " 秒后重新连接",
                             "Stream lost, reconnecting in " + reconnectInSeconds + " s")
                    : zhText("正在重新连接视频流…", "Reconnecting to the video stream…")
        }
        return streamStatus === "connecting" ? zhText("正在连接视频流…", "Connecting to the video stream…")
                                             : zhText("无视频流", "No video stream")
    }

    visible: streamStatus !== "playing" || reconnecting
    width: Math.min(parent.width - 2 * Theme.radiusSmall * uiScale, label.implicitWidth + 24 * uiScale)
    height: label.implicitHeight + 12 * uiScale
    radius: Theme.radiusSmall * uiScale
    // Readable over the frozen picture; nothing to read it against without one.
    color: reconnecting ? Theme.hudBacking : "transparent"

    Text {
        id: label

        objectName: "streamStatusText"
        anchors.centerIn: parent
        width: parent.width - 12 * notice.uiScale
        horizontalAlignment: Text.AlignHCenter
        wrapMode: Text.WordWrap
        color: notice.reconnecting ? Theme.textOnAccent : Theme.textMuted
        font.pixelSize: Theme.fontLarge * notice.uiScale
        text: notice.message()
    }
}
