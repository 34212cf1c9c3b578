import QtQuick 2.9
import "."

// Over the video while a local recording runs: how long it has run and how big the file is.
Rectangle {
    id: badge

    property real uiScale: 1
    property int seconds: 0
    property real bytes: 0

    function twoDigits(n) {
        return (n < 10 ? "0" : "") + n
    }
    function elapsedText() {
        var h = Math.floor(seconds / 3600)
        var m = Math.floor(seconds / 60) % 60
        return (h > 0 ? h + ":" : "") + twoDigits(m) + ":" + twoDigits(seconds % 60)
    }
    function sizeText() {
        return (bytes / (1024 * 1024)).toFixed(1) + " MB"
    }

    width: label.implicitWidth + 16 * uiScale
    height: label.implicitHeight + 6 * uiScale
    radius: Theme.radiusSmall * uiScale
    color: Theme.videoInfoBackground

    Text {
        id: label

        objectName: "recordingBadgeText"
        anchors.centerIn: parent
        color: Theme.textOnAccent
        font.pixelSize: Theme.fontSmall * badge.uiScale
        textFormat: Text.StyledText
        text: "<font color='" + Theme.recordRed + "'>●</font> REC " + badge.elapsedText() + "  " + badge.sizeText()
    }
}
