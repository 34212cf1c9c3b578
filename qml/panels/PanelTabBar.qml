import QtQuick 2.9
import QtQuick.Controls 2.2
import "."

// A tab bar whose selected tab is underlined in the accent colour. Its tabs are PanelTabButtons.
TabBar {
    id: bar

    property real uiScale: 1

    spacing: 0

    background: Rectangle {
        color: "transparent"

        Rectangle {
            anchors.left: parent.left
            anchors.right: parent.right
            anchors.bottom: parent.bottom
            height: 1
            color: Theme.divider
        }
    }
}
