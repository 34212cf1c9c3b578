import QtQuick 2.9
import QtQuick.Controls 2.2
import QtQuick.Layouts 1.3
import "."

// An integer stepper kept within [minimum, maximum]. Editing or stepping only changes the text;
// the owner decides when the value is sent.
NumberStepper {
    id: stepField

    property int minimum: 0
    property int maximum: 2047

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

    field.inputMethodHints: Qt.ImhDigitsOnly
    onStepClicked: step(dir)
    onEditingFinished: normalize()
    onFocusLost: normalize()
}
