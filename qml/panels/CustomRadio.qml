import QtQuick 2.9
import "."

// A round radio drawn on a canvas. A click on an unchecked radio checks it and reports the click;
// a checked radio ignores clicks, so the owner keeps a group exclusive by unchecking the others.
Item {
    id: radio

    property bool checked: false
    property real uiScale: 1
    property bool exclusive: true

    signal toggled(bool checked)
    signal clicked()

    implicitWidth: 18 * uiScale
    implicitHeight: 18 * uiScale
    width: implicitWidth
    height: implicitHeight
    opacity: enabled ? 1 : 0.5

    onCheckedChanged: canvas.requestPaint()

    Canvas {
        id: canvas

        anchors.fill: parent
        antialiasing: true
        onPaint: {
            var ctx = getContext("2d")
            ctx.reset()
            var outer = Math.floor(Math.min(width, height) / 2) - 1
            var colour = radio.checked ? Theme.accent : Theme.controlOff
            ctx.lineWidth = 2
            ctx.strokeStyle = colour
            ctx.beginPath()
            ctx.arc(width / 2, height / 2, outer, 0, 2 * Math.PI)
            ctx.stroke()
            if (radio.checked) {
                ctx.fillStyle = colour
                ctx.beginPath()
                ctx.arc(width / 2, height / 2, Math.max(2, Math.floor(outer * 0.5)), 0, 2 * Math.PI)
                ctx.fill()
            }
        }
    }

    MouseArea {
        anchors.fill: parent
        enabled: radio.enabled
        cursorShape: Qt.PointingHandCursor
        onClicked: {
            if (radio.checked)
                return
            radio.checked = true
            radio.clicked()
        }
    }
}
