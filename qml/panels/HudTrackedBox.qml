import QtQuick 2.9
import "."

// The box the device tracks, where the tracking frame (1920 x 1088) puts it on the picture: a solid
// reticle with its state and size beside it. Green while tracking, amber for a while once the
// device reports the target lost; grey with its age while the device is silent.
Item {
    id: reticle

    property real uiScale: 1
    property string language: "zh"
    property rect picture: Qt.rect(0, 0, 0, 0)
    property int boxX: 0
    property int boxY: 0
    property int boxW: 0
    property int boxH: 0
    property bool lost: false
    property bool stale: false
    property int ageSeconds: 0
    readonly property color tone: stale ? Theme.hudStale : (lost ? Theme.trackedBoxLost : Theme.trackingBox)

    x: picture.x + boxX / 1920 * picture.width
    y: picture.y + boxY / 1088 * picture.height
    width: boxW / 1920 * picture.width
    height: boxH / 1088 * picture.height

    Rectangle {
        anchors.fill: parent
        anchors.margins: -2
        color: "transparent"
        border.color: Theme.hudOutline
        border.width: 1
    }
    Rectangle {
        anchors.fill: parent
        anchors.margins: -1
        color: "transparent"
        border.color: reticle.tone
        border.width: 3
    }
    // The centre mark.
    Rectangle {
        anchors.centerIn: parent
        width: Math.min(14 * reticle.uiScale, parent.width / 2)
        height: 2
        color: reticle.tone
    }
    Rectangle {
        anchors.centerIn: parent
        width: 2
        height: Math.min(14 * reticle.uiScale, parent.height / 2)
        color: reticle.tone
    }
    // Above the box, or below it when the box touches the picture's top; kept inside the picture.
    HudChip {
        id: label

        readonly property bool above: reticle.y - height - 4 * reticle.uiScale >= reticle.picture.y

        objectName: "trackedBoxLabel"
        uiScale: reticle.uiScale
        language: reticle.language
        x: Math.max(reticle.picture.x - reticle.x,
                    Math.min(0, reticle.picture.x + reticle.picture.width - reticle.x - width))
        y: above ? -height - 4 * reticle.uiScale : reticle.height + 4 * reticle.uiScale
        textColor: reticle.tone
        stale: reticle.stale
        ageSeconds: reticle.ageSeconds
        text: (reticle.lost ? (reticle.language === "zh" ? "丢失" : "Lost")
                            : (reticle.language === "zh" ? "跟踪中" : "Tracking")) + "  " + reticle.boxW + "×"
              + reticle.boxH
    }
    // The box as sent to the device, on the box's other side (below it when there is room).
    HudChip {
        objectName: "trackingReadout"
        visible: !reticle.lost
        uiScale: reticle.uiScale
        language: reticle.language
        x: Math.max(reticle.picture.x - reticle.x,
                    Math.min(0, reticle.picture.x + reticle.picture.width - reticle.x - width))
        y: label.above && reticle.y + reticle.height + height + 4 * reticle.uiScale
                          <= reticle.picture.y + reticle.picture.height
           ? reticle.height + 4 * reticle.uiScale
           : (label.above ? label.y - height - 2 * reticle.uiScale : label.y + label.height + 2 * reticle.uiScale)
        stale: reticle.stale
        ageSeconds: reticle.ageSeconds
        text: "x:" + reticle.boxX + " y:" + reticle.boxY + " w:" + reticle.boxW + " h:" + reticle.boxH
    }
}
