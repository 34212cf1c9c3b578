import QtQuick 2.9
import QtQuick.Controls 2.2
import QtQuick.Layouts 1.3
import "."

// The one numeric stepper of the interface: "−", a number field, "+" and the value's unit, all of
// fixed width so that every stepper of a tab shares its left and right edges. The owner decides
// what a step or an edit does (signals); the stepper only draws and reports.
RowLayout {
    id: stepper

    property real uiScale: 1
    property string unit: ""
    property string fieldName: ""
    property string minusName: fieldName + "Minus"
    property string plusName: fieldName + "Plus"
    property alias field: field
    property alias text: field.text
    property alias validator: field.validator
    property alias minusButton: minus
    property alias plusButton: plus

    // A step button went down or up (dir −1 or +1), or was clicked (pressed and released on it).
    signal stepPressed(int dir)
    signal stepReleased(int dir)
    signal stepCanceled(int dir)
    signal stepClicked(int dir)
    // The text was edited by the operator (typed), and editing ended (Enter or focus lost).
    signal textEdited()
    signal editingFinished()
    signal focusLost()

    spacing: 4 * uiScale

    PanelButton {
        id: minus

        objectName: stepper.minusName
        Layout.preferredWidth: Theme.stepperButtonWidth * stepper.uiScale
        leftPadding: 0
        rightPadding: 0
        uiScale: stepper.uiScale
        text: "−"
        onPressed: stepper.stepPressed(-1)
        onReleased: stepper.stepReleased(-1)
        onCanceled: stepper.stepCanceled(-1)
        onClicked: stepper.stepClicked(-1)
    }
    TextField {
        id: field

        objectName: stepper.fieldName
        Layout.preferredWidth: Theme.stepperFieldWidth * stepper.uiScale
        implicitHeight: Theme.controlHeight * stepper.uiScale
        font.pixelSize: Theme.fontNormal * stepper.uiScale
        horizontalAlignment: TextInput.AlignHCenter
        selectByMouse: true
        onTextEdited: stepper.textEdited()
        onEditingFinished: stepper.editingFinished()
        onActiveFocusChanged: {
            if (!activeFocus)
                stepper.focusLost()
        }
    }
    PanelButton {
        id: plus

        objectName: stepper.plusName
        Layout.preferredWidth: Theme.stepperButtonWidth * stepper.uiScale
        leftPadding: 0
        rightPadding: 0
        uiScale: stepper.uiScale
        text: "+"
        onPressed: stepper.stepPressed(1)
        onReleased: stepper.stepReleased(1)
        onCanceled: stepper.stepCanceled(1)
        onClicked: stepper.stepClicked(1)
    }
    Text {
        Layout.preferredWidth: Theme.stepperUnitWidth * stepper.uiScale
        text: stepper.unit
        font.pixelSize: Theme.fontNormal * stepper.uiScale
        color: Theme.textSecondary
        verticalAlignment: Text.AlignVCenter
    }
}
