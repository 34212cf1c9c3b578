import QtQuick 2.9
import QtQuick.Controls 2.2
import "."

// The interface's ordinary push button: flat face, thin border, accent tint when hovered. With
// `danger` it is the danger style for destructive or risky actions: red text on a red-tinted face.
Button {
    id: control

    property real uiScale: 1
    property bool danger: false

    // Tall enough for the text's line height in either language (CJK lines are taller).
    implicitHeight: Math.max(Theme.controlHeight * uiScale, contentItem.implicitHeight + topPadding + bottomPadding)
    leftPadding: 12 * uiScale
    rightPadding: 12 * uiScale
    topPadding: 4 * uiScale
    bottomPadding: 4 * uiScale
    font.pixelSize: Theme.fontNormal * uiScale
    opacity: enabled ? 1 : 0.5

    contentItem: Text {
        text: control.text
        font: control.font
        color: control.danger ? Theme.dangerText : Theme.textPrimary
        horizontalAlignment: Text.AlignHCenter
        verticalAlignment: Text.AlignVCenter
    }

    background: Rectangle {
        implicitWidth: 64 * control.uiScale
        radius: Theme.radiusSmall * control.uiScale
        color: control.danger ? (control.pressed ? Theme.dangerPressed
                                                 : (control.hovered ? Theme.dangerHovered : Theme.dangerFace))
                              : (control.pressed ? Theme.buttonPressed
                                                 : (control.checked ? Theme.accentSoft
                                                                    : (control.hovered ? Theme.buttonHovered
                                                                                       : Theme.buttonIdle)))
        border.color: control.danger ? Theme.dangerBorder
                                     : (control.hovered || control.checked ? Theme.accent : Theme.buttonBorder)
        border.width: 1
    }
}
