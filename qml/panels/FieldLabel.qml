import QtQuick 2.9
import "."

// The label in front of a control in the panels' forms.
Text {
    property real uiScale: 1

    font.pixelSize: Theme.fontNormal * uiScale
    color: Theme.textSecondary
    verticalAlignment: Text.AlignVCenter
}
