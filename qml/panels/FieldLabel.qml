import QtQuick 2.9
import QtQuick.Layouts 1.3
import "."

// The label in front of a control in the panels' forms. With `columnWidth` it takes the width of
// the tab's label column, so that the controls of every row start at one edge.
Text {
    property real uiScale: 1
    property real columnWidth: 0

    width: columnWidth > 0 ? columnWidth : implicitWidth
    Layout.preferredWidth: columnWidth > 0 ? columnWidth : -1
    font.pixelSize: Theme.fontNormal * uiScale
    color: Theme.textSecondary
    verticalAlignment: Text.AlignVCenter
}
