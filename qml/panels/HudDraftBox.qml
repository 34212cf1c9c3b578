import QtQuick 2.9
import "."

// The dashed outline of a box the operator drew and has not confirmed yet: white dashes on a dark
// line, visible on bright and dark pictures alike, and unlike the solid box of a running track.
Item {
    id: box

    property real uiScale: 1
    readonly property real dash: 8 * uiScale
    readonly property real period: 14 * uiScale

    Rectangle {
        anchors.fill: parent
        color: "transparent"
        border.color: Theme.draftBoxUnder
        border.width: 3
        opacity: 0.6
    }
    Repeater {
        model: Math.max(0, Math.ceil(box.width / box.period))

        Item {
            x: index * box.period
            width: Math.min(box.dash, box.width - x)
            height: box.height

            Rectangle {
                width: parent.width
                height: 2
                y: 0.5
                color: Theme.draftBoxDash
            }
            Rectangle {
                width: parent.width
                height: 2
                y: parent.height - 2.5
                color: Theme.draftBoxDash
            }
        }
    }
    Repeater {
        model: Math.max(0, Math.ceil(box.height / box.period))

        Item {
            y: index * box.period
            width: box.width
            height: Math.min(box.dash, box.height - y)

            Rectangle {
                width: 2
                height: parent.height
                x: 0.5
                color: Theme.draftBoxDash
            }
            Rectangle {
                width: 2
                height: parent.height
                x: parent.width - 2.5
                color: Theme.draftBoxDash
            }
        }
    }
}
