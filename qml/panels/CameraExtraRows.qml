import QtQuick 2.9
import QtQuick.Controls 2.2
import QtQuick.Layouts 1.3
import "."

// The lower rows of the camera tab: thermometry, photo and record resolution, tracking and AI.
ColumnLayout {
    id: rows

    property var panel
    readonly property real uiScale: panel ? panel.uiScale : 1
    readonly property string product: panel ? panel.currentProduct : ""
    readonly property bool visibleOutput: panel ? (panel.videoOutputVisibleChecked || panel.hasVisibleOnlyCamera) : false
    readonly property bool twoSizeModel: ((product === "WrenT-R2" || product === "Tern-LITE-A")
                                          && panel && panel.videoOutputVisibleChecked) || product === "Wren-R2"
    readonly property var photoSizes: panel && panel.hasTernDovePhotoRecordRes
                                      ? ["3840 * 2160", "4000 * 3000", "8000 * 6000"]
                                      : (twoSizeModel ? ["3840 * 2160", "1920 * 1080"]
                                                      : ["8000 * 6000", "4000 * 3000", "3840 * 2160", "1920 * 1080"])
    readonly property var recordSizes: panel && panel.hasTernDovePhotoRecordRes
                                       ? ["1920 * 1080", "3840 * 2160"]
                                       : (twoSizeModel ? ["3840 * 2160", "1920 * 1080"]
                                                       : ["1920 * 1080", "3840 * 2160", "4000 * 3000"])

    function zhText(cn, en) {
        return panel ? panel.zhText(cn, en) : en
    }

    spacing: 8 * uiScale

    Flow {
        Layout.fillWidth: true
        visible: rows.panel.videoOutputIrChecked
        spacing: 10 * rows.uiScale

        FieldLabel {
            height: irTempMeasureSwitch.height
            uiScale: rows.uiScale
            text: rows.zhText("测温", "Thermometry")
        }
        ToggleSwitch {
            id: irTempMeasureSwitch

            objectName: "irTempMeasureSwitch"
            uiScale: rows.uiScale
            checked: appBridge.irTempMeasureOn
            onToggled: {
                var on = checked
                checked = Qt.binding(function() { return appBridge.irTempMeasureOn })
                if (rows.panel.syncing)
                    return
                appBridge.setIrTempMeasure(on)
                if (!on)
                    return
                rows.panel.trackingToggled(false)
                appBridge.setTracking(false, 0, 0, 1, 1, false, true)
                rows.panel.trackingRectHide()
            }
        }
        FieldLabel {
            height: irTempMeasureSwitch.height
            visible: appBridge.irTempMeasureOn && appBridge.irThermometryValid && !appBridge.irThermometryPointSelected
            uiScale: rows.uiScale
            text: rows.zhText("平均：", "Avg: ") + appBridge.irThermometryAvgTemp.toFixed(1) + "℃"
        }
        FieldLabel {
            height: irTempMeasureSwitch.height
            visible: appBridge.irTempMeasureOn && appBridge.irThermometryValid && appBridge.irThermometryPointSelected
            uiScale: rows.uiScale
            text: rows.zhText("温度：", "Temp: ") + appBridge.irThermometryPointTemp + "℃"
        }
    }

    RowLayout {
        Layout.fillWidth: true
        visible: rows.visibleOutput
        spacing: 6 * rows.uiScale

        FieldLabel {
            uiScale: rows.uiScale
            text: rows.zhText("拍照分辨率", "Photo Res")
        }
        ComboBox {
            objectName: "photoResolutionCombo"
            // A click leaves the keyboard focus where it was: arrow keys steer the gimbal, not this control.
            focusPolicy: Qt.NoFocus
            Layout.fillWidth: true
            font.pixelSize: Theme.fontNormal * rows.uiScale
            model: rows.photoSizes
            onActivated: appBridge.setPhotoResolution(currentText)
        }
    }
    RowLayout {
        Layout.fillWidth: true
        visible: rows.visibleOutput
        spacing: 6 * rows.uiScale

        FieldLabel {
            uiScale: rows.uiScale
            text: rows.zhText("录像分辨率", "Record Res")
        }
        ComboBox {
            objectName: "recordResolutionCombo"
            // A click leaves the keyboard focus where it was: arrow keys steer the gimbal, not this control.
            focusPolicy: Qt.NoFocus
            Layout.fillWidth: true
            font.pixelSize: Theme.fontNormal * rows.uiScale
            model: rows.recordSizes
            onActivated: appBridge.setRecordResolution(currentText)
        }
    }

    Flow {
        Layout.fillWidth: true
        visible: (!rows.panel.hasTernTrackingTab || rows.panel.keepRowInSplit)
                 && (!rows.panel.videoOutputSplitChecked || rows.panel.keepRowInSplit)
        spacing: 10 * rows.uiScale

        FieldLabel {
            height: cameraTrackSwitch.height
            uiScale: rows.uiScale
            text: rows.zhText("框选目标追踪", "Box Tracking")
        }
        ToggleSwitch {
            id: cameraTrackSwitch

            objectName: "cameraTrackSwitch"
            uiScale: rows.uiScale
            checked: rows.panel.trackingEnabled
            enabled: !rows.panel.videoOutputSplitChecked && !appBridge.irTempMeasureOn
            onToggled: {
                var on = checked
                checked = Qt.binding(function() { return rows.panel.trackingEnabled })
                rows.panel.trackingToggled(on)
                if (on) {
                    appBridge.gimbalStop()
                    if (appBridge.irTempMeasureOn)
                        appBridge.setIrTempMeasure(false)
                } else {
                    appBridge.setTracking(false, 0, 0, 1, 1)
                    rows.panel.trackingRectHide()
                }
            }
        }
        FieldLabel {
            height: cameraAiSwitch.height
            uiScale: rows.uiScale
            text: rows.zhText("智能识别", "AI Detect")
        }
        ToggleSwitch {
            id: cameraAiSwitch

            objectName: "cameraAiSwitch"
            uiScale: rows.uiScale
            checked: rows.panel.aiEnabled
            onToggled: {
                var on = checked
                checked = Qt.binding(function() { return rows.panel.aiEnabled })
                if (rows.panel.aiCategorySyncingFromDevice)
                    return
                rows.panel.aiToggled(on)
                appBridge.setAiDetectWithCategories(on, [1, 2, 3, 4, 5, 6, 7, 8, 9, 10])
            }
        }
    }
}
