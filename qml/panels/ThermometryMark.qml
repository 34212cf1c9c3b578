import QtQuick 2.9
import "."

// A measured spot on the picture: a small cross centred on (markX, markY) and its reading beside it.
Item {
    id: mark

    property real uiScale: 1
    property real markX: 0
    property real markY: 0
    property color color: "white"
    property alias text: reading.text
    readonly property real crossSize: 12 * uiScale

    x: markX - crossSize / 2
    y: markY - crossSize / 2
    width: crossSize
    height: crossSize

    Rectangle {
        anchors.centerIn: parent
        width: parent.width
        height: 2
        color: mark.color
    }
    Rectangle {
        anchors.centerIn: parent
        width: 2
        height: parent.height
        color: mark.color
    }
    Rectangle {
        x: mark.crossSize + 2 * mark.uiScale
        anchors.verticalCenter: parent.verticalCenter
        width: reading.implicitWidth + 8 * mark.uiScale
        height: reading.implicitHeight + 4 * mark.uiScale
        radius: Theme.radiusSmall * mark.uiScale
        color: Theme.videoReadoutBackground

        Text {
            id: reading

            anchors.centerIn: parent
            color: mark.color
            font.pixelSize: Theme.fontSmall * mark.uiScale
            font.bold: true
        }
    }
}
