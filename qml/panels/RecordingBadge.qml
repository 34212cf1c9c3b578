import QtQuick 2.9
import "."

// A running recording, loud: a red badge with a pulsing dot, "REC" and its clock. The camera's
// recording is a device value and turns grey with its age when the device falls silent.
Rectangle {
    id: badge

    property real uiScale: 1
    property string language: "zh"
    property string label: ""
    property bool stale: false
    property int ageSeconds: 0

    // A local recording's clock (m:ss, h:mm:ss past an hour) and size.
    function elapsedText(seconds) {
        var h = Math.floor(seconds / 3600)
        var m = Math.floor(seconds / 60) % 60
        var s = seconds % 60
        return (h > 0 ? h + ":" : "") + (m < 10 ? "0" : "") + m + ":" + (s < 10 ? "0" : "") + s
    }
    function sizeText(bytes) {
        return (bytes / (1024 * 1024)).toFixed(1) + " MB"
    }

    width: row.implicitWidth + 14 * uiScale
    height: row.implicitHeight + 6 * uiScale
    radius: Theme.radiusSmall * uiScale
    color: stale ? Theme.hudBacking : Theme.recordBadgeFill

    Row {
        id: row

        anchors.centerIn: parent
        spacing: 6 * badge.uiScale

        // Two steps a second rather than an animation: the scene is redrawn only when it changes.
        Rectangle {
            id: dot

            anchors.verticalCenter: parent.verticalCenter
            width: 10 * badge.uiScale
            height: width
            radius: width / 2
            color: badge.stale ? Theme.hudStale : Theme.recordBadgeText

            Timer {
                interval: 500
                repeat: true
                running: badge.visible && !badge.stale
                onTriggered: dot.opacity = dot.opacity < 1 ? 1 : 0.3
                onRunningChanged: dot.opacity = 1
            }
        }
        Text {
            objectName: badge.objectName + "Text"
            anchors.verticalCenter: parent.verticalCenter
            color: badge.stale ? Theme.hudStale : Theme.recordBadgeText
            font.pixelSize: Theme.fontNormal * badge.uiScale
            font.bold: true
            text: badge.label + (badge.stale ? "  · " + badge.ageSeconds + (badge.language === "zh" ? " 秒前" : " s ago")
                                             : "")
        }
    }
}
