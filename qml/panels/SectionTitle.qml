import QtQuick 2.9
import "."

// The heading of a group of controls inside a tab.
Text {
    property real uiScale: 1

    font.pixelSize: Theme.fontNormal * uiScale
    font.bold: true
    color: Theme.textPrimary
    verticalAlignment: Text.AlignVCenter
}
