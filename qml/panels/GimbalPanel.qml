import QtQuick 2.9
import QtQuick.Controls 2.2
import "."

// The gimbal tab. Holds the inputs the main window commits and resets.
Item {
    id: gimbalPanel

    property real uiScale: 1
    property string fontFamily: ""
    property string language: "zh"
    property bool trackingEnabled: false
    property bool hasRangeRead: false
    property bool videoOutputIrChecked: false
    property bool videoOutputSplitChecked: false
    property real maxVisibleZoom: 1
    property int gimbalMoveYaw: 0
    property int gimbalMovePitch: 0
    property alias pitchInputRef: pitchInput
    property alias yawInputRef: yawInput
    property alias zoomSliderRef: visibleZoomSlider
    property alias zoomInputRef: visibleZoomInput

    function applyZoomFromText() {
    }
    function normalizePitch() {
    }
    function normalizeYaw() {
    }

    TextField { id: pitchInput; visible: false; text: "0" }
    TextField { id: yawInput; visible: false; text: "0" }
    TextField { id: visibleZoomInput; visible: false; text: "1.0" }
    Slider {
        id: visibleZoomSlider

        property real userTargetZoom: 1
        property bool movedWhilePressed: false

        visible: false
        from: 1
        to: Math.max(1, gimbalPanel.maxVisibleZoom)
        value: 1
    }
}
