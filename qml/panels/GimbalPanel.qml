import QtQuick 2.9
import QtQuick.Controls 2.2
import QtQuick.Layouts 1.3
import "."

// The gimbal tab: versions, the direction pad, angle entry, zoom and laser ranging.
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
    // True from an arrow's press to its release, so that a release (or a lost press) stops once.
    property bool holdingDirection: false
    property string holdSource: ""
    property alias pitchInputRef: pitchInput
    property alias yawInputRef: yawInput
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
            spacing: gimbalPanel.dp(10)

            Flow {
                Layout.fillWidth: true
                spacing: gimbalPanel.dp(16)

                FieldLabel {
                    uiScale: gimbalPanel.uiScale
                    text: gimbalPanel.zhText("硬件版本", "HW Ver") + ": " + appBridge.gimbalHwVersion
                }
                FieldLabel {
                    uiScale: gimbalPanel.uiScale
                    text: gimbalPanel.zhText("软件版本", "SW Ver") + ": " + appBridge.gimbalSwVersion
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

            GridLayout {
                Layout.fillWidth: true
                columns: 4
                rowSpacing: gimbalPanel.dp(6)
                columnSpacing: gimbalPanel.dp(6)

                FieldLabel {
                    uiScale: gimbalPanel.uiScale
                    text: gimbalPanel.zhText("俯仰角度", "Pitch")
                }
                AngleField { id: pitchInput; objectName: "pitchInput"; onCommit: gimbalPanel.normalizePitch() }
                PanelButton {
                    objectName: "pitchStepUp"
                    Layout.preferredWidth: gimbalPanel.dp(40)
                    uiScale: gimbalPanel.uiScale
                    text: "︿"
                    onClicked: gimbalPanel.stepAngle(pitchInput, 90, 1)
                }
                PanelButton {
                    objectName: "pitchStepDown"
                    Layout.preferredWidth: gimbalPanel.dp(40)
                    uiScale: gimbalPanel.uiScale
                    text: "﹀"
                    onClicked: gimbalPanel.stepAngle(pitchInput, 90, -1)
                }
                FieldLabel {
                    uiScale: gimbalPanel.uiScale
                    text: gimbalPanel.zhText("方位角度", "Yaw")
                }
                AngleField { id: yawInput; objectName: "yawInput"; onCommit: gimbalPanel.normalizeYaw() }
                PanelButton {
                    objectName: "yawStepUp"
                    Layout.preferredWidth: gimbalPanel.dp(40)
                    uiScale: gimbalPanel.uiScale
                    text: "︿"
                    onClicked: gimbalPanel.stepAngle(yawInput, 180, 1)
                }
                PanelButton {
                    objectName: "yawStepDown"
                    Layout.preferredWidth: gimbalPanel.dp(40)
                    uiScale: gimbalPanel.uiScale
                    text: "﹀"
                    onClicked: gimbalPanel.stepAngle(yawInput, 180, -1)
                }
            }

            Flow {
                Layout.fillWidth: true
                spacing: gimbalPanel.dp(6)

                PanelButton {
                    objectName: "oneKeyDown"
                    uiScale: gimbalPanel.uiScale
                    enabled: !gimbalPanel.trackingEnabled
                    text: gimbalPanel.zhText("一键朝下", "One-Key Down")
                    onClicked: appBridge.gimbalDown()
                }
                PanelButton {
                    objectName: "applyAngle"
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
                irMode: gimbalPanel.videoOutputIrChecked
                splitMode: gimbalPanel.videoOutputSplitChecked
                maxVisibleZoom: gimbalPanel.maxVisibleZoom
                onClearAngleFocus: gimbalPanel.clearAngleFocus()
            }

            ColumnLayout {
                Layout.fillWidth: true
                visible: gimbalPanel.hasRangeRead
                spacing: gimbalPanel.dp(6)

                Flow {
                    Layout.fillWidth: true
                    spacing: gimbalPanel.dp(8)

                    FieldLabel {
                        uiScale: gimbalPanel.uiScale
                        text: gimbalPanel.zhText("测距", "Range")
                    }
                    FieldLabel {
                        objectName: "rangeDistance"
                        uiScale: gimbalPanel.uiScale
                        text: gimbalPanel.zhText("距离(m)：", "Distance(m):")
                              + (appBridge.laserRangeValid ? appBridge.laserRangeDistance.toFixed(2) : "-")
                    }
                    FieldLabel {
                        uiScale: gimbalPanel.uiScale
                        text: appBridge.laserRangeValid ? "" : gimbalPanel.zhText("无效", "Invalid")
                    }
                }
                Flow {
                    Layout.fillWidth: true
                    spacing: gimbalPanel.dp(6)

                    PanelButton {
                        objectName: "rangeSingle"
                        uiScale: gimbalPanel.uiScale
                        text: gimbalPanel.zhText("单次测距", "Single")
                        onClicked: appBridge.laserRangeSingle()
                    }
                    PanelButton {
                        objectName: "rangeContinuous"
                        uiScale: gimbalPanel.uiScale
                        text: gimbalPanel.zhText("连续测距", "Continuous")
                        onClicked: appBridge.laserPeriodicOn()
                    }
                    PanelButton {
                        objectName: "rangeStop"
                        uiScale: gimbalPanel.uiScale
                        text: gimbalPanel.zhText("停止连续测距", "Stop Continuous")
                        onClicked: appBridge.laserPeriodicOff()
                    }
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

    component AngleField: TextField {
        signal commit()

        Layout.fillWidth: true
        Layout.minimumWidth: gimbalPanel.dp(70)
        implicitHeight: Theme.controlHeight * gimbalPanel.uiScale
        font.pixelSize: Theme.fontNormal * gimbalPanel.uiScale
        text: "0"
        selectByMouse: true
        validator: RegExpValidator { regExp: /^-?\d{0,3}(\.\d{0,2})?$/ }
        onEditingFinished: commit()
        onActiveFocusChanged: {
            if (!activeFocus)
                commit()
        }
    }
}
