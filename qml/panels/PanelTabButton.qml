import QtQuick 2.9
import QtQuick.Controls 2.2
import "."

// One tab of a PanelTabBar; the selected tab is drawn in the accent colour with an underline.
TabButton {
    id: tab

    property real uiScale: 1

    implicitHeight: 34 * uiScale
    font.pixelSize: Theme.fontNormal * uiScale
    leftPadding: 10 * uiScale
    rightPadding: 10 * uiScale

    contentItem: Text {
        text: tab.text
        font: tab.font
        color: tab.checked ? Theme.accentText : Theme.textSecondary
        horizontalAlignment: Text.AlignHCenter
        verticalAlignment: Text.AlignVCenter
    }

    background: Rectangle {
        color: tab.hovered && !tab.checked ? Theme.accentSoft : "transparent"

        Rectangle {
            anchors.left: parent.left
            anchors.right: parent.right
            anchors.bottom: parent.bottom
            height: 2 * tab.uiScale
            color: Theme.accent
            visible: tab.checked
        }
    }
}
