import QtQuick 2.9
import "."

// A button on the picture beside a drawn box (confirm, cancel): large enough to hit at once, white
// glyph on a dark fill with a white rim that stands out on any picture.
Rectangle {
    id: button

    property real uiScale: 1
    property string glyph: ""
    property color fill: Theme.cancelFill

    signal clicked()

    width: 34 * uiScale
    height: width
    radius: Theme.radiusSmall * uiScale
    color: tap.pressed ? Qt.darker(fill, 1.3) : fill
    border.color: Theme.boxButtonBorder
    border.width: 1

    Text {
        anchors.centerIn: parent
        text: button.glyph
        color: Theme.boxButtonText
        font.pixelSize: Theme.fontLarge * 1.25 * button.uiScale
        font.bold: true
    }
    MouseArea {
        id: tap

        anchors.fill: parent
        onClicked: button.clicked()
    }
}
