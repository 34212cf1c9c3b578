import QtQuick 2.9
import QtQuick.Controls 2.2
import "."

// A combo box listing the remote-control channels, with a list of fixed row height that shows at
// most `maxVisibleItems` rows before it scrolls.
PanelCombo {
    id: combo

    property real itemHeight: 34
    property int maxVisibleItems: 6

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
