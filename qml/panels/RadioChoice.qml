import QtQuick 2.9
import "."

// A radio with its text; a click on either checks it. Like CustomRadio, a checked choice ignores
// clicks and the owner keeps the group exclusive.
Row {
    id: choice

    property real uiScale: 1
    property alias checked: radio.checked
    property string text: ""

    signal clicked()

    spacing: 4 * uiScale

    CustomRadio {
        id: radio

        objectName: choice.objectName + "Radio"
        anchors.verticalCenter: parent.verticalCenter
        uiScale: choice.uiScale
        onClicked: choice.clicked()
    }
    Text {
        anchors.verticalCenter: parent.verticalCenter
        text: choice.text
        font.pixelSize: Theme.fontNormal * choice.uiScale
        color: choice.enabled ? Theme.textPrimary : Theme.textHint

        MouseArea {
            anchors.fill: parent
            onClicked: {
                if (radio.checked)
                    return
                radio.checked = true
                choice.clicked()
            }
        }
    }
}
