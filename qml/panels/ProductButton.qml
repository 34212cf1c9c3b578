import QtQuick 2.9
import QtQuick.Controls 2.2
import "."

// A product model button of the selection page: it lifts while hovered (with a shadow) and sinks
// while pressed.
AbstractButton {
    id: button

    property real uiScale: 1

    implicitWidth: 180 * uiScale
    implicitHeight: 54 * uiScale
    hoverEnabled: true
    font.pixelSize: Theme.fontProductButton * uiScale

    contentItem: Item {}

    background: Item {
        Rectangle {
            id: shadow

            x: 0
            y: 4 * button.uiScale
            width: parent.width
            height: parent.height
            radius: Theme.radiusLarge * button.uiScale
            color: Theme.productShadow
            visible: button.hovered && !button.pressed
        }
        Rectangle {
            id: face

            y: button.pressed ? 1 : (button.hovered ? -2 : 0)
            width: parent.width
            height: parent.height
            radius: Theme.radiusLarge * button.uiScale
            color: button.pressed ? Theme.productPressed : (button.hovered ? Theme.productHovered : Theme.productIdle)
            border.color: button.hovered ? Theme.productBorderHovered : Theme.productBorderIdle
            border.width: 1

            Text {
                anchors.centerIn: parent
                text: button.text
                font: button.font
                color: Theme.textPrimary
            }
        }
    }
}
