import QtQuick 2.9
import "."

// The stream's health over the bottom-left corner of the picture, from the video backend's figures.
Rectangle {
    id: overlay

    property real uiScale: 1
    property string language: "zh"
    // The backend's streamStats map.
    property var stats: ({})

    function zhText(cn, en) {
        return language === "zh" ? cn : en
    }
    function number(key, digits) {
        var value = stats[key]
        return value === undefined ? "–" : Number(value).toFixed(digits)
    }
    function lines() {
        var latency = stats.latencyMs === undefined || stats.latencyMs < 0 ? "–" : number("latencyMs", 0) + " ms"
        return [
            (stats.width || 0) + "×" + (stats.height || 0) + "  " + String(stats.codec || "–").toUpperCase(),
            zhText("帧率 接收/显示: ", "FPS received/shown: ") + number("receivedFps", 1) + " / " + number("shownFps", 1),
            zhText("码率: ", "Bitrate: ") + number("bitrateKbps", 0) + " kbps",
            zhText("延迟: ", "Latency: ") + latency,
            zhText("丢帧: ", "Dropped: ") + (stats.dropped || 0) + zhText("  重连: ", "  Reconnects: ")
                    + (stats.reconnects || 0)
        ]
    }

    width: label.implicitWidth + 12 * uiScale
    height: label.implicitHeight + 8 * uiScale
    radius: Theme.radiusSmall * uiScale
    // The HUD's backing: readable over the busiest picture.
    color: Theme.hudBacking

    Text {
        id: label

        objectName: "streamStatsText"
        anchors.centerIn: parent
        color: Theme.textOnAccent
        font.pixelSize: Theme.fontNormal * overlay.uiScale
        text: overlay.lines().join("\n")
    }
}
