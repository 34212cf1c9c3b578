import QtQuick 2.9
import "."

// One reading of the head-up display on its dark backing. A reading the device stopped sending
// turns grey and says how old it is, so that a frozen number never passes for a live one.
Rectangle {
    id: chip

    property real uiScale: 1
    property string language: "zh"
    property string text: ""
    property color textColor: Theme.hudText
    property bool stale: false
    property int ageSeconds: 0
    // In a row of readings the age is told once, by the row's own age chip (no text of its own).
    property bool showAge: true
    readonly property string ageText: ageSeconds + (language === "zh" ? " 秒前" : " s ago")
    readonly property string shownText: !stale || !showAge ? text : (text === "" ? ageText : text + "  · " + ageText)

    implicitWidth: label.implicitWidth + 12 * uiScale
    implicitHeight: label.implicitHeight + 6 * uiScale
    width: implicitWidth
    height: implicitHeight
    radius: Theme.radiusSmall * uiScale
    color: Theme.hudBacking

    Text {
        id: label

        anchors.centerIn: parent
        color: chip.stale ? Theme.hudStale : chip.textColor
        font.pixelSize: Theme.fontNormal * chip.uiScale
        font.bold: true
        text: chip.shownText
    }
}
