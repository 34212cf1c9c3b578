import QtQuick 2.9
import "."

// A white card with a thin border that holds one panel. Its size comes from the layout that
// places it, never from its content, so that nested layouts settle in one pass.
Rectangle {
    id: box

    property real uiScale: 1
    property real padding: 8 * uiScale
    property font font
    default property alias content: inner.data

    color: Theme.panelBackground
    border.color: Theme.panelBorder
    border.width: 1
    radius: Theme.radiusMedium * uiScale

    Item {
        id: inner

        anchors.fill: parent
        anchors.margins: box.padding
    }
}
