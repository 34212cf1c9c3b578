import QtQuick 2.9
import QtQuick.Controls 2.2
import QtQuick.Layouts 1.3
import "."

// The gimbal tab: versions, the direction pad, angle entry, zoom and laser ranging.
Item {
    id: gimbalPanel

    objectName: "gimbalPanel"
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
    // True from an arrow's press to its release, so that a release (or a lost press) stops once.
    property bool holdingDirection: false
    property string holdSource: ""
    readonly property var pitchInput: pitchStepper.field
    readonly property var yawInput: yawStepper.field
    property alias pitchInputRef: pitchStepper.field
    property alias yawInputRef: yawStepper.field
    // The tab's label column and the width of the command buttons on its right edge.
    readonly property real labelWidth: Math.max(dp(Theme.labelColumnMin), labels.widest(
        [zhText("硬件版本", "HW Ver"), zhText("俯仰角度", "Pitch"), zhText("方位角度", "Yaw"),
         zhText("红外变倍", "IR Zoom"), zhText("可见光变倍", "Zoom"), zhText("测距", "Range")]))
    readonly property real commandWidth: Math.max(dp(96), labels.widest([zhText("一键朝下", "One-Key Down"),
                                                                         zhText("设置", "Apply")]) + dp(24))
    property alias zoomSliderRef: zoomRow.slider
    property alias zoomInputRef: zoomRow.input

    function zhText(cn, en) {
        return language === "zh" ? cn : en
    }

    function dp(v) {
        return v * uiScale
    }

    function angleValue(text) {
        var v = parseFloat(text)
        return isNaN(v) ? 0 : v
    }

    function clampAngle(v, limit) {
        return Math.max(-limit, Math.min(limit, v))
    }

    function normalizePitch() {
        pitchInput.text = String(clampAngle(angleValue(pitchInput.text), 90))
    }

    function normalizeYaw() {
        yawInput.text = String(clampAngle(angleValue(yawInput.text), 180))
    }

    function stepAngle(field, limit, delta) {
        field.text = String(clampAngle(Math.round((angleValue(field.text) + delta) * 100) / 100, limit))
    }

    function clearAngleFocus() {
        pitchInput.focus = false
        yawInput.focus = false
    }

    function applyZoomFromText() {
        zoomRow.applyZoomFromText()
    }

    // The one hold of the gimbal, whoever asks for it: the arrows below, the keyboard ("keys") or
    // a gamepad ("pad"). A move at once, then the 33 ms repeat; nothing while tracking.
    function startMove(yaw, pitch, source) {
        if (trackingEnabled)
            return
        clearAngleFocus()
        gimbalMoveYaw = yaw
        gimbalMovePitch = pitch
        holdingDirection = true
        holdSource = source || "panel"
        appBridge.gimbalMove(yaw, pitch)
        gimbalRepeatTimer.start()
    }

    // Ends the hold with its one stop. A source ends only its own hold (an empty one ends any).
    // A safety release (focus, pad or link lost) sends its stop only while a link can take it.
    function endMove(source, safety) {
        if (source && source !== holdSource)
            return
        gimbalRepeatTimer.stop()
        if (!holdingDirection)
            return
        holdingDirection = false
        holdSource = ""
        if (!safety || appBridge.linkOpen)
            appBridge.gimbalStop()
    }

    function stepZoom(dir) {
        zoomRow.applyStep(dir)
    }

    // Tracking takes the gimbal over: a hold under way ends here, with its one stop.
    onTrackingEnabledChanged: {
        if (trackingEnabled)
            endMove()
    }

    LabelMetrics {
        id: labels

        uiScale: gimbalPanel.uiScale
    }

    Timer {
        id: gimbalRepeatTimer

        interval: 33
        repeat: true
        onTriggered: {
            if (gimbalPanel.trackingEnabled) {
                stop()
                return
            }
            appBridge.gimbalMove(gimbalPanel.gimbalMoveYaw, gimbalPanel.gimbalMovePitch)
        }
    }

    TabScroller {
        id: scroller

        uiScale: gimbalPanel.uiScale
        anchors.fill: parent
        contentHeight: content.implicitHeight

        ColumnLayout {
            id: content

            width: scroller.contentAreaWidth
            spacing: gimbalPanel.dp(8)

            RowLayout {
                Layout.fillWidth: true
                spacing: gimbalPanel.dp(6)

                FieldLabel {
                    uiScale: gimbalPanel.uiScale
                    columnWidth: gimbalPanel.labelWidth
                    text: gimbalPanel.zhText("硬件版本", "HW Ver")
                }
                DeviceValue {
                    objectName: "gimbalHwVersion"
                    Layout.fillWidth: true
                    uiScale: gimbalPanel.uiScale
                    language: gimbalPanel.language
                    value: appBridge.gimbalHwVersion
                }
                FieldLabel {
                    uiScale: gimbalPanel.uiScale
                    text: gimbalPanel.zhText("软件版本", "SW Ver")
                }
                DeviceValue {
                    objectName: "gimbalSwVersion"
                    Layout.fillWidth: true
                    uiScale: gimbalPanel.uiScale
                    language: gimbalPanel.language
                    value: appBridge.gimbalSwVersion
                }
            }

            GridLayout {
                id: pad

                Layout.alignment: Qt.AlignHCenter
                columns: 3
                rowSpacing: gimbalPanel.dp(4)
                columnSpacing: gimbalPanel.dp(4)
                enabled: !gimbalPanel.trackingEnabled

                Item { Layout.preferredWidth: 1; Layout.preferredHeight: 1 }
                PadButton { objectName: "padUp"; text: "↑"; yawDir: 0; pitchDir: -1 }
                Item { Layout.preferredWidth: 1; Layout.preferredHeight: 1 }
                PadButton { objectName: "padLeft"; text: "←"; yawDir: -1; pitchDir: 0 }
                PanelButton {
                    objectName: "padHome"
                    Layout.preferredWidth: gimbalPanel.dp(72)
                    uiScale: gimbalPanel.uiScale
                    text: gimbalPanel.zhText("回中", "Home")
                    onPressed: appBridge.gimbalHome()
                }
                PadButton { objectName: "padRight"; text: "→"; yawDir: 1; pitchDir: 0 }
                Item { Layout.preferredWidth: 1; Layout.preferredHeight: 1 }
                PadButton { objectName: "padDown"; text: "↓"; yawDir: 0; pitchDir: 1 }
                Item { Layout.preferredWidth: 1; Layout.preferredHeight: 1 }
            }

            // Pitch and yaw on the label column, each with its command button on the right edge.
            RowLayout {
                Layout.fillWidth: true
                spacing: gimbalPanel.dp(6)

                FieldLabel {
                    uiScale: gimbalPanel.uiScale
                    columnWidth: gimbalPanel.labelWidth
                    text: gimbalPanel.zhText("俯仰角度", "Pitch")
                }
                AngleStepper {
                    id: pitchStepper

                    fieldName: "pitchInput"
                    minusName: "pitchStepDown"
                    plusName: "pitchStepUp"
                    limit: 90
                    onCommit: gimbalPanel.normalizePitch()
                }
                Item { Layout.fillWidth: true }
                PanelButton {
                    objectName: "oneKeyDown"
                    Layout.preferredWidth: gimbalPanel.commandWidth
                    uiScale: gimbalPanel.uiScale
                    enabled: !gimbalPanel.trackingEnabled
                    text: gimbalPanel.zhText("一键朝下", "One-Key Down")
                    onClicked: appBridge.gimbalDown()
                }
            }
            RowLayout {
                Layout.fillWidth: true
                spacing: gimbalPanel.dp(6)

                FieldLabel {
                    uiScale: gimbalPanel.uiScale
                    columnWidth: gimbalPanel.labelWidth
                    text: gimbalPanel.zhText("方位角度", "Yaw")
                }
                AngleStepper {
                    id: yawStepper

                    fieldName: "yawInput"
                    minusName: "yawStepDown"
                    plusName: "yawStepUp"
                    limit: 180
                    onCommit: gimbalPanel.normalizeYaw()
                }
                Item { Layout.fillWidth: true }
                PanelButton {
                    objectName: "applyAngle"
                    Layout.preferredWidth: gimbalPanel.commandWidth
                    uiScale: gimbalPanel.uiScale
                    enabled: !gimbalPanel.trackingEnabled
                    text: gimbalPanel.zhText("设置", "Apply")
                    onClicked: appBridge.gimbalSetAngle(gimbalPanel.angleValue(pitchInput.text),
                                                        gimbalPanel.angleValue(yawInput.text))
                }
            }

            GimbalZoomRow {
                id: zoomRow

                objectName: "zoomRow"
                Layout.fillWidth: true
                uiScale: gimbalPanel.uiScale
                language: gimbalPanel.language
                labelWidth: gimbalPanel.labelWidth
                irMode: gimbalPanel.videoOutputIrChecked
                splitMode: gimbalPanel.videoOutputSplitChecked
                maxVisibleZoom: gimbalPanel.maxVisibleZoom
                onClearAngleFocus: gimbalPanel.clearAngleFocus()
            }

            RowLayout {
                Layout.fillWidth: true
                visible: gimbalPanel.hasRangeRead
                spacing: gimbalPanel.dp(6)

                FieldLabel {
                    uiScale: gimbalPanel.uiScale
                    columnWidth: gimbalPanel.labelWidth
                    text: gimbalPanel.zhText("测距", "Range")
                }
                FieldLabel {
                    uiScale: gimbalPanel.uiScale
                    text: gimbalPanel.zhText("距离(m)：", "Distance(m):")
                }
                DeviceValue {
                    objectName: "rangeDistance"
                    uiScale: gimbalPanel.uiScale
                    language: gimbalPanel.language
                    value: appBridge.laserRangeValid ? appBridge.laserRangeDistance.toFixed(2) : "-"
                }
                FieldLabel {
                    objectName: "rangeInvalid"
                    Layout.fillWidth: true
                    uiScale: gimbalPanel.uiScale
                    color: Theme.dangerText
                    text: appBridge.laserRangeValid ? "" : gimbalPanel.zhText("无效", "Invalid")
                }
            }
            RowLayout {
                Layout.fillWidth: true
                visible: gimbalPanel.hasRangeRead
                spacing: gimbalPanel.dp(6)

                Item { Layout.preferredWidth: gimbalPanel.labelWidth }
                PanelButton {
                    objectName: "rangeSingle"
                    Layout.fillWidth: true
                    uiScale: gimbalPanel.uiScale
                    text: gimbalPanel.zhText("单次测距", "Single")
                    onClicked: appBridge.laserRangeSingle()
                }
                PanelButton {
                    objectName: "rangeContinuous"
                    Layout.fillWidth: true
                    uiScale: gimbalPanel.uiScale
                    text: gimbalPanel.zhText("连续测距", "Continuous")
                    onClicked: appBridge.laserPeriodicOn()
                }
                PanelButton {
                    objectName: "rangeStop"
                    Layout.fillWidth: true
                    uiScale: gimbalPanel.uiScale
                    text: gimbalPanel.zhText("停止连续测距", "Stop Continuous")
                    onClicked: appBridge.laserPeriodicOff()
                }
            }
        }
    }

    component PadButton: PanelButton {
        property int yawDir: 0
        property int pitchDir: 0

        Layout.preferredWidth: gimbalPanel.dp(72)
        uiScale: gimbalPanel.uiScale
        onPressed: gimbalPanel.startMove(yawDir, pitchDir, "panel")
        onReleased: gimbalPanel.endMove("panel")
        onCanceled: gimbalPanel.endMove("panel")
    }

    component AngleStepper: NumberStepper {
        property int limit: 90

        signal commit()

        uiScale: gimbalPanel.uiScale
        unit: "°"
        text: "0"
        validator: RegExpValidator { regExp: /^-?\d{0,3}(\.\d{0,2})?$/ }
        onStepClicked: gimbalPanel.stepAngle(field, limit, dir)
        onEditingFinished: commit()
        onFocusLost: commit()
    }
}
