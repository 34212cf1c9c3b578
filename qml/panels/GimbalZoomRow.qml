import QtQuick 2.9
import QtQuick.Controls 2.2
import QtQuick.Layouts 1.3
import "."

// The zoom controls of the gimbal tab: slider, "−"/field/"+", continuous zoom in/out. The operator
// always wins over the device: while he is adjusting (and for a while after), zoom reports from the
// device leave the controls alone.
ColumnLayout {
    id: zoomRow

    property real uiScale: 1
    property string language: "zh"
    property bool irMode: false
    property bool splitMode: false
    property real maxVisibleZoom: 1
    readonly property bool linked: appBridge.linkOpen
    readonly property real zoomMax: irMode ? 8 : Math.max(1, maxVisibleZoom)
    readonly property bool manualInputActive: visibleZoomSlider.pressed || visibleZoomInput.activeFocus
                                              || zoomDebounceTimer.running || zoomManualInputCooldownTimer.running
    property alias slider: visibleZoomSlider
    property alias input: zoomStepper.field
    readonly property var visibleZoomInput: zoomStepper.field
    property real labelWidth: 0
    // A step press that changed nothing (already at a limit) sends nothing on release either.
    property bool stepChangedWhilePressed: false
    property bool zoomTextEdited: false

    signal clearAngleFocus()

    function zhText(cn, en) {
        return language === "zh" ? cn : en
    }

    function zoomText(v) {
        return (irMode && linked) ? String(Math.round(v)) : Number(v).toFixed(1)
    }

    function clampZoom(v) {
        if (irMode)
            return Math.min(8, Math.max(1, Math.round(v)))
        return Math.min(zoomMax, Math.max(1, v))
    }

    function sendZoom(v) {
        appBridge.setVisibleZoom(irMode ? Math.round(v) : v)
        visibleZoomSlider.userTargetZoom = v
    }

    function startCooldown() {
        zoomManualInputCooldownTimer.restart()
    }

    function endCooldown() {
        zoomManualInputCooldownTimer.stop()
    }

    function showZoom(v) {
        visibleZoomSlider.value = v
        visibleZoomSlider.userTargetZoom = v
        visibleZoomInput.text = zoomText(v)
    }

    function applyStep(dir) {
        clearAngleFocus()
        if (dir === 0 || appBridge.isZooming)
            return
        var current = visibleZoomSlider.value
        var next = irMode ? Math.round(current + dir) : Math.round((current + dir * 0.1) * 10) / 10
        next = clampZoom(next)
        if (Math.abs(next - current) < 0.0001)
            return
        showZoom(next)
        stepChangedWhilePressed = true
        zoomDebounceTimer.restart()
        startCooldown()
    }

    function pressStep(dir) {
        stepChangedWhilePressed = false
        zoomStepRepeatTimer.dir = dir
        applyStep(dir)
        zoomStepRepeatDelay.restart()
    }

    function releaseStep() {
        zoomStepRepeatDelay.stop()
        zoomStepRepeatTimer.stop()
        zoomStepRepeatTimer.dir = 0
        if (!stepChangedWhilePressed)
            return
        stepChangedWhilePressed = false
        zoomDebounceTimer.stop()
        if (!appBridge.isZooming)
            sendZoom(visibleZoomSlider.value)
        startCooldown()
    }

    // An untouched field only tidies its text: leaving it must not send a zoom nobody asked for.
    function applyZoomFromText() {
        var v = parseFloat(visibleZoomInput.text)
        if (isNaN(v))
            v = visibleZoomSlider.value
        v = clampZoom(v)
        var edited = zoomTextEdited
        zoomTextEdited = false
        showZoom(v)
        if (!edited)
            return
        var current = irMode ? appBridge.currentIrZoom : appBridge.currentVisibleZoom
        if (Math.abs(v - current) >= 0.0001) {
            sendZoom(v)
            startCooldown()
        }
    }

    function applyDeviceVisibleZoom(z) {
        if (!linked || irMode || splitMode || !(z >= 1) || manualInputActive)
            return
        var v = Math.min(Math.max(1, maxVisibleZoom), Math.max(1, z))
        visibleZoomSlider.value = v
        visibleZoomSlider.userTargetZoom = v
        visibleZoomInput.text = Number(v).toFixed(1)
    }

    function applyDeviceIrZoom(z) {
        if (!linked || !irMode || splitMode || !(z >= 1) || manualInputActive || Math.round(z) > 8)
            return
        showZoom(Math.round(z))
    }

    function reapplyDeviceZoom() {
        if (irMode)
            applyDeviceIrZoom(appBridge.currentIrZoom)
        else
            applyDeviceVisibleZoom(appBridge.currentVisibleZoom)
    }

    spacing: 6 * uiScale
    onIrModeChanged: reapplyDeviceZoom()
    onSplitModeChanged: reapplyDeviceZoom()

    Connections {
        target: appBridge
        function onCurrentVisibleZoomChanged() { zoomRow.applyDeviceVisibleZoom(appBridge.currentVisibleZoom) }
        function onVisibleZoomFeedbackReceived(reportedZoom) { zoomRow.applyDeviceVisibleZoom(reportedZoom) }
        function onCurrentIrZoomChanged() { zoomRow.applyDeviceIrZoom(appBridge.currentIrZoom) }
        function onIrZoomFeedbackReceived(reportedZoom) { zoomRow.applyDeviceIrZoom(reportedZoom) }
    }

    Timer {
        id: zoomDebounceTimer

        interval: 300
        onTriggered: {
            if (!appBridge.isZooming)
                zoomRow.sendZoom(visibleZoomSlider.value)
        }
    }
    Timer {
        id: zoomStepRepeatDelay

        interval: 320
        onTriggered: zoomStepRepeatTimer.start()
    }
    Timer {
        id: zoomStepRepeatTimer

        property int dir: 0

        interval: 90
        repeat: true
        onTriggered: zoomRow.applyStep(dir)
    }
    Timer {
        id: zoomManualInputCooldownTimer

        interval: 10000
    }

    RowLayout {
        Layout.fillWidth: true
        spacing: 6 * zoomRow.uiScale

        FieldLabel {
            uiScale: zoomRow.uiScale
            columnWidth: zoomRow.labelWidth
            text: zoomRow.irMode ? zoomRow.zhText("红外变倍", "IR Zoom") : zoomRow.zhText("可见光变倍", "Zoom")
        }
        Slider {
            id: visibleZoomSlider

            property real userTargetZoom: 1
            property bool movedWhilePressed: false

            objectName: "visibleZoomSlider"
            // A click leaves the keyboard focus where it was: arrow keys steer the gimbal, not this control.
            focusPolicy: Qt.NoFocus
            Layout.fillWidth: true
            Layout.minimumWidth: 80 * zoomRow.uiScale
            // As tall as the row's other controls: the stock slider is taller than it needs to be.
            Layout.preferredHeight: Theme.controlHeight * zoomRow.uiScale
            from: 1
            to: zoomRow.zoomMax
            stepSize: zoomRow.irMode ? 1 : 0.1
            snapMode: Slider.SnapAlways
            value: 1
            onMoved: {
                if (appBridge.isZooming)
                    return
                movedWhilePressed = true
                visibleZoomInput.text = zoomRow.zoomText(value)
                zoomDebounceTimer.restart()
            }
            onPressedChanged: {
                if (pressed) {
                    movedWhilePressed = false
                    return
                }
                if (!movedWhilePressed || appBridge.isZooming)
                    return
                zoomRow.startCooldown()
                zoomDebounceTimer.stop()
                zoomRow.sendZoom(value)
            }
        }
        NumberStepper {
            id: zoomStepper

            fieldName: "visibleZoomInput"
            minusName: "zoomMinus"
            plusName: "zoomPlus"
            uiScale: zoomRow.uiScale
            unit: "×"
            text: "1.0"
            validator: RegExpValidator { regExp: /^\d{0,3}(\.\d?)?$/ }
            // The zoom the device reported, dimmed while the device is silent.
            field.color: appBridge.deviceSilent ? Theme.textStale : Theme.textPrimary
            onStepPressed: zoomRow.pressStep(dir)
            onStepReleased: zoomRow.releaseStep()
            onStepCanceled: zoomRow.releaseStep()
            onTextEdited: zoomRow.zoomTextEdited = true
            onEditingFinished: zoomRow.applyZoomFromText()
            onFocusLost: zoomRow.applyZoomFromText()
        }
    }

    RowLayout {
        Layout.fillWidth: true
        spacing: 6 * zoomRow.uiScale

        Item { Layout.preferredWidth: zoomRow.labelWidth }
        PanelButton {
            objectName: "zoomIn"
            Layout.fillWidth: true
            uiScale: zoomRow.uiScale
            enabled: !zoomRow.splitMode
            text: zoomRow.zhText("连续放大", "Zoom In")
            onPressed: {
                zoomRow.endCooldown()
                appBridge.cameraZoom(1)
            }
            onReleased: appBridge.cameraZoom(0)
            onCanceled: appBridge.cameraZoom(0)
        }
        PanelButton {
            objectName: "zoomOut"
            Layout.fillWidth: true
            uiScale: zoomRow.uiScale
            enabled: !zoomRow.splitMode
            text: zoomRow.zhText("连续缩小", "Zoom Out")
            onPressed: {
                zoomRow.endCooldown()
                appBridge.cameraZoom(-1)
            }
            onReleased: appBridge.cameraZoom(0)
            onCanceled: appBridge.cameraZoom(0)
        }
    }
}
