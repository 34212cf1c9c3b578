import QtQuick 2.9
import QtQuick.Controls 2.2
import "."

// The one combo box of the interface: drawn like a text field (field colour, thin border, accent
// border when hovered or open) so that it never looks disabled next to the fields; only a disabled
// combo is dimmed.
ComboBox {
    id: combo

    property real uiScale: 1
    // How an entry is shown (a unit, "×" for "*"); the entry itself (currentText) is what is sent.
    property var labelOf: null

    function shown(entry) {
        return labelOf ? labelOf(entry) : entry
    }

    // A click leaves the keyboard focus where it was: arrow keys steer the gimbal, not this control.
    focusPolicy: Qt.NoFocus
    implicitHeight: Theme.controlHeight * uiScale
    font.pixelSize: Theme.fontNormal * uiScale
    opacity: enabled ? 1 : 0.5
    displayText: shown(currentText)

    delegate: ItemDelegate {
        width: combo.width
        font: combo.font
        text: combo.shown(modelData)
        highlighted: combo.highlightedIndex === index
    }

    background: Rectangle {
        implicitWidth: 120 * combo.uiScale
        radius: Theme.radiusSmall * combo.uiScale
        color: combo.down ? Theme.buttonPressed : Theme.fieldBackground
        border.width: 1
        border.color: combo.hovered || combo.down || combo.popup.visible ? Theme.fieldBorderFocus : Theme.fieldBorder
    }
}
