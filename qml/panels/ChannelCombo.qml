import QtQuick 2.9
import QtQuick.Controls 2.2
import "."

// A combo box listing the remote-control channels, with a list of fixed row height that shows at
// most `maxVisibleItems` rows before it scrolls.
ComboBox {
    id: combo

    property real uiScale: 1
    property real itemHeight: 34
    property int maxVisibleItems: 6

    // A click leaves the keyboard focus where it was: arrow keys steer the gimbal, not this control.
    focusPolicy: Qt.NoFocus
    implicitHeight: Theme.controlHeight * uiScale
    font.pixelSize: Theme.fontNormal * uiScale

    delegate: ItemDelegate {
        width: combo.width
        height: combo.itemHeight
        font: combo.font
        text: modelData
        highlighted: combo.highlightedIndex === index
    }

    Component.onCompleted: {
        popup.height = Qt.binding(function() {
            return Math.min(combo.count, combo.maxVisibleItems) * combo.itemHeight + popup.topPadding
                    + popup.bottomPadding
        })
    }
}
