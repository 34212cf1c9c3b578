import QtQuick 2.9
import "."

// An on/off switch that scales with the interface. A click flips it and reports the new state;
// setting `checked` from outside (a binding to the controller) reports nothing.
Item {
    id: toggle

    property bool checked: false
    property real uiScale: 1

    signal toggled(bool checked)

    implicitWidth: 42 * uiScale
    implicitHeight: 24 * uiScale
    width: implicitWidth
    height: implicitHeight
    opacity: enabled ? 1 : 0.5

    Rectangle {
        id: track

        anchors.fill: parent
        radius: height / 2
        color: toggle.checked ? Theme.accent : Theme.controlOff

        Behavior on color {
            ColorAnimation { duration: 120 }
        }
    }

    Rectangle {
        id: knob

        width: toggle.height - 4 * toggle.uiScale
        height: width
        radius: width / 2
        anchors.verticalCenter: parent.verticalCenter
        x: toggle.checked ? track.width - knob.width - 2 * toggle.uiScale : 2 * toggle.uiScale
        color: Theme.knob

        Behavior on x {
            NumberAnimation { duration: 160; easing.type: Easing.OutCubic }
        }
    }

    MouseArea {
        anchors.fill: parent
        enabled: toggle.enabled
        cursorShape: Qt.PointingHandCursor
        onClicked: {
            toggle.checked = !toggle.checked
            toggle.toggled(toggle.checked)
        }
    }
}
