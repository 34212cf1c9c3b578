import QtQuick 2.9
import QtQuick.Controls 2.2
import QtQuick.Layouts 1.3
import "."

// One infrared image setting: label, optional on/off switch, slider and stepper. The level of a
// setting that has a switch can be changed only while the switch is on.
// Every change the operator makes is reported once through `changedByOperator`; setting the value
// from outside (`show`) reports nothing.
RowLayout {
    id: row

    property real uiScale: 1
    property string label: ""
    property int from: 0
    property int to: 100
    property int initial: 50
    property int fallback: 50
    property bool hasSwitch: false
    property bool syncing: false
    // Set while the owner sends every field at once: this field's own commit waits for that.
    property bool holdCommit: false
    property alias switchOn: toggle.checked
    property alias fieldRef: stepper.field
    readonly property var field: stepper.field
    property real labelWidth: 0
    // A level whose function is switched off cannot be set: its slider and stepper are disabled.
    readonly property bool levelApplied: !hasSwitch || toggle.checked
    readonly property int value: Math.round(slider.value)

    signal changedByOperator()

    function clamp(v) {
        return Math.max(from, Math.min(to, v))
    }

    function show(v, on) {
        slider.value = clamp(v)
        field.text = String(clamp(v))
        if (on !== undefined)
            toggle.checked = on
    }

    // The field's number, or the fallback when it holds none.
    function fieldValue() {
        var v = parseInt(field.text, 10)
        return isNaN(v) ? fallback : clamp(v)
    }

    function step(delta) {
        var v = clamp(value + delta)
        if (v === value)
            return
        show(v)
        changedByOperator()
    }

    // Sends the field's number; an empty or unreadable field sends the default (fallback).
    function commitValue() {
        show(fieldValue())
        changedByOperator()
    }

    function commitField() {
        if (!syncing && !holdCommit)
            commitValue()
    }

    spacing: 6 * uiScale

    FieldLabel {
        uiScale: row.uiScale
        columnWidth: row.labelWidth
        text: row.label
    }
    // Every row keeps the switch's place, so that all slider tracks start at one edge.
    Item {
        Layout.preferredWidth: toggle.implicitWidth
        Layout.preferredHeight: toggle.implicitHeight

        ToggleSwitch {
            id: toggle

            objectName: row.objectName + "Switch"
            visible: row.hasSwitch
            uiScale: row.uiScale
            onToggled: {
                row.show(row.fieldValue())
                row.changedByOperator()
            }
        }
    }
    Slider {
        id: slider

        objectName: row.objectName + "Slider"
        // A click leaves the keyboard focus where it was: arrow keys steer the gimbal, not this control.
        focusPolicy: Qt.NoFocus
        Layout.fillWidth: true
        Layout.minimumWidth: 60 * row.uiScale
        // As tall as the row's other controls: the stock slider is taller than it needs to be.
        Layout.preferredHeight: Theme.controlHeight * row.uiScale
        // The level can be set before the feature is switched on (it goes out with the switch's
        // state), so the slider stays usable; only its fill tells that the level is not applied.
        palette.dark: row.levelApplied ? Theme.accent : Theme.controlOff
        from: row.from
        to: row.to
        value: row.initial
        stepSize: 1
        snapMode: Slider.SnapAlways
        onMoved: {
            field.text = String(Math.round(value))
            row.changedByOperator()
        }
    }
    NumberStepper {
        id: stepper

        fieldName: row.objectName + "Field"
        minusName: row.objectName + "Minus"
        plusName: row.objectName + "Plus"
        uiScale: row.uiScale
        text: String(row.initial)
        validator: IntValidator { bottom: row.from; top: row.to }
        onStepClicked: row.step(dir)
        onEditingFinished: row.commitField()
        onFocusLost: {
            if (field.acceptableInput === false)
                row.commitField()
        }
    }
}
