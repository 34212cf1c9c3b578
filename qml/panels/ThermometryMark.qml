import QtQuick 2.9
import "."

// A measured spot on the picture: a crosshair centred on (markX, markY) and its reading on a dark
// chip beside it. The chip takes the first free side (below right, below left, above left, above
// right: the camera writes its own readings above right of its marks) that keeps it inside `bounds`
// and off the rectangles in `avoid` (the other marks' chips); when none is free it stays inside.
Item {
    id: mark

    property real uiScale: 1
    property real markX: 0
    property real markY: 0
    property color color: "white"
    property color textColor: "white"
    property alias text: reading.text
    property rect bounds: Qt.rect(0, 0, 0, 0)
    property var avoid: []
    property bool stale: false
    property int ageSeconds: 0
    property string language: "zh"
    readonly property real crossSize: 16 * uiScale
    readonly property real gap: 3 * uiScale
    readonly property real chipWidth: reading.implicitWidth + 10 * uiScale
    readonly property real chipHeight: reading.implicitHeight + 6 * uiScale
    readonly property point chipAt: placeChip()
    // The chip in the parent's coordinates, for the marks that must keep clear of it.
    readonly property rect chipRect: visible ? Qt.rect(chipAt.x, chipAt.y, chipWidth, chipHeight) : Qt.rect(0, 0, 0, 0)

    function inside(x, y) {
        return x >= bounds.x && y >= bounds.y && x + chipWidth <= bounds.x + bounds.width
                && y + chipHeight <= bounds.y + bounds.height
    }
    function free(x, y) {
        for (var i = 0; i < avoid.length; ++i) {
            var r = avoid[i]
            if (r.width > 0 && x < r.x + r.width && r.x < x + chipWidth && y < r.y + r.height && r.y < y + chipHeight)
                return false
        }
        return true
    }
    function placeChip() {
        var reach = crossSize / 2 + gap
        var sides = [Qt.point(markX + reach, markY + reach), Qt.point(markX - reach - chipWidth, markY + reach),
                     Qt.point(markX - reach - chipWidth, markY - reach - chipHeight),
                     Qt.point(markX + reach, markY - reach - chipHeight)]
        var i
        for (i = 0; i < sides.length; ++i)
            if (inside(sides[i].x, sides[i].y) && free(sides[i].x, sides[i].y))
                return sides[i]
        for (i = 0; i < sides.length; ++i)
            if (inside(sides[i].x, sides[i].y))
                return sides[i]
        var x = Math.max(bounds.x, Math.min(bounds.x + bounds.width - chipWidth, sides[0].x))
        var y = Math.max(bounds.y, Math.min(bounds.y + bounds.height - chipHeight, sides[0].y))
        return Qt.point(x, y)
    }

    x: markX - crossSize / 2
    y: markY - crossSize / 2
    width: crossSize
    height: crossSize

    // The crosshair: a dark bar under each coloured one, visible on a bright picture too.
    Rectangle {
        anchors.centerIn: parent
        width: parent.width + 2
        height: 4
        color: Theme.hudOutline
    }
    Rectangle {
        anchors.centerIn: parent
        width: 4
        height: parent.height + 2
        color: Theme.hudOutline
    }
    Rectangle {
        anchors.centerIn: parent
        width: parent.width
        height: 2
        color: mark.stale ? Theme.hudStale : mark.color
    }
    Rectangle {
        anchors.centerIn: parent
        width: 2
        height: parent.height
        color: mark.stale ? Theme.hudStale : mark.color
    }
    Rectangle {
        objectName: mark.objectName + "Chip"
        x: mark.chipAt.x - mark.x
        y: mark.chipAt.y - mark.y
        width: mark.chipWidth
        height: mark.chipHeight
        radius: Theme.radiusSmall * mark.uiScale
        color: Theme.hudBacking

        Text {
            id: reading

            objectName: mark.objectName + "Text"
            anchors.centerIn: parent
            color: mark.stale ? Theme.hudStale : mark.textColor
            font.pixelSize: Theme.fontNormal * mark.uiScale
            font.bold: true
        }
    }
}
