import QtQuick 2.9
import QtQuick.Controls 2.2
import QtQuick.Layouts 1.3
import "."

// An integer field with "−" and "+" beside it, kept within [minimum, maximum]. Editing or stepping
// only changes the text; the owner decides when the value is sent.
RowLayout {
    id: stepField

    property real uiScale: 1
    property int minimum: 0
    property int maximum: 2047
    property string fieldName: ""
    property alias text: field.text

    // The text as a value in range; text that is no number counts as the lower bound's zero.
    function value() {
        var parsed = parseInt(field.text, 10)
        if (isNaN(parsed))
            parsed = 0
        return Math.max(minimum, Math.min(maximum, parsed))
    }

    function normalize() {
        field.text = String(value())
    }

    function step(delta) {
        field.text = String(Math.max(minimum, Math.min(maximum, value() + delta)))
    }

    spacing: 4 * uiScale

    PanelButton {
        objectName: stepField.fieldName + "Minus"
        Layout.preferredWidth: Theme.controlHeight * stepField.uiScale
        leftPadding: 0
        rightPadding: 0
        uiScale: stepField.uiScale
        text: "−"
        onClicked: stepField.step(-1)
    }
    TextField {
        id: field

        objectName: stepField.fieldName
        Layout.fillWidth: true
        Layout.minimumWidth: 60 * stepField.uiScale
        implicitHeight: Theme.controlHeight * stepField.uiScale
        font.pixelSize: Theme.fontNormal * stepField.uiScale
        horizontalAlignment: TextInput.AlignHCenter
        inputMethodHints: Qt.ImhDigitsOnly
        selectByMouse: true
        onEditingFinished: stepField.normalize()
        onActiveFocusChanged: {
            if (!activeFocus)
                stepField.normalize()
        }
    }
    PanelButton {
        objectName: stepField.fieldName + "Plus"
        Layout.preferredWidth: Theme.controlHeight * stepField.uiScale
        leftPadding: 0
        rightPadding: 0
        uiScale: stepField.uiScale
        text: "+"
        onClicked: stepField.step(1)
    }
}
