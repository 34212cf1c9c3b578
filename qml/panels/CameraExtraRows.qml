import QtQuick 2.9
import QtQuick.Controls 2.2
import QtQuick.Layouts 1.3
import "."

// The lower rows of the camera tab: thermometry, photo and record resolution, tracking and AI.
ColumnLayout {
    id: rows

    property var panel
    readonly property real labelWidth: panel ? panel.labelWidth : 0
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

    readonly property bool holdingPhoto: photoSyncCooldown.running
    readonly property bool holdingRecord: recordSyncCooldown.running
    // The controller's resolution indexes are positions in these lists (its photo and record tables).
    readonly property var devicePhotoSizes: ["8000 * 6000", "4000 * 3000", "3840 * 2160", "1920 * 1080"]
    readonly property var deviceRecordSizes: ["1920 * 1080", "3840 * 2160", "4000 * 3000"]

    function zhText(cn, en) {
        return panel ? panel.zhText(cn, en) : en
    }

    // The device's resolution in a combo, unless the operator has just chosen one there or the
    // combo does not offer it.
    function showDeviceSize(combo, sizes, deviceSizes, deviceIndex, cooldown) {
        if (cooldown.running || deviceIndex < 0 || deviceIndex >= deviceSizes.length)
            return
        var at = sizes.indexOf(deviceSizes[deviceIndex])
        if (at >= 0)
            combo.currentIndex = at
    }

    // "1920 * 1080" is shown as "1920 × 1080"; the entry as listed is what goes to the controller.
    function sizeLabel(entry) {
        return String(entry).replace(" * ", " × ")
    }

    function showDeviceResolutions() {
        showDeviceSize(photoCombo, photoSizes, devicePhotoSizes, appBridge.cameraPhotoResolutionIndex, photoSyncCooldown)
        showDeviceSize(recordCombo, recordSizes, deviceRecordSizes, appBridge.cameraRecordResolutionIndex,
                       recordSyncCooldown)
    }

    spacing: 6 * uiScale

    // The same 2 s hold-off after an operator's choice as the camera panel's other mirrored controls.
    Timer {
        id: photoSyncCooldown

        interval: 2000
    }
    Timer {
        id: recordSyncCooldown

        interval: 2000
    }

    Flow {
        Layout.fillWidth: true
        visible: rows.panel.videoOutputIrChecked
        spacing: 10 * rows.uiScale

        FieldLabel {
            height: irTempMeasureSwitch.height
            uiScale: rows.uiScale
            columnWidth: rows.labelWidth
            text: rows.zhText("测温", "Thermometry")
        }
        ToggleSwitch {
            id: irTempMeasureSwitch

            objectName: "irTempMeasureSwitch"
            uiScale: rows.uiScale
            checked: appBridge.irTempMeasureOn
            onToggled: {
                var on = checked
                irTempMeasureSwitch.checked = Qt.binding(function() { return appBridge.irTempMeasureOn })
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
            visible: appBridge.irTempMeasureOn && appBridge.irThermometryValid
            uiScale: rows.uiScale
            text: appBridge.irThermometryPointSelected ? rows.zhText("温度：", "Temp: ") : rows.zhText("平均：", "Avg: ")
        }
        DeviceValue {
            objectName: "thermometryReading"
            height: irTempMeasureSwitch.height
            visible: appBridge.irTempMeasureOn && appBridge.irThermometryValid
            uiScale: rows.uiScale
            language: rows.panel ? rows.panel.language : "zh"
            value: (appBridge.irThermometryPointSelected ? Number(appBridge.irThermometryPointTemp).toFixed(1)
                                                         : appBridge.irThermometryAvgTemp.toFixed(1)) + "°C"
        }
    }

    RowLayout {
        Layout.fillWidth: true
        visible: rows.visibleOutput
        spacing: 6 * rows.uiScale

        FieldLabel {
            uiScale: rows.uiScale
            columnWidth: rows.labelWidth
            text: rows.zhText("拍照分辨率", "Photo Res")
        }
        PanelCombo {
            id: photoCombo

            objectName: "photoResolutionCombo"
            Layout.fillWidth: true
            uiScale: rows.uiScale
            model: rows.photoSizes
            labelOf: rows.sizeLabel
            onActivated: {
                photoSyncCooldown.restart()
                appBridge.setPhotoResolution(currentText)
            }
        }
    }
    RowLayout {
        Layout.fillWidth: true
        visible: rows.visibleOutput
        spacing: 6 * rows.uiScale

        FieldLabel {
            uiScale: rows.uiScale
            columnWidth: rows.labelWidth
            text: rows.zhText("录像分辨率", "Record Res")
        }
        PanelCombo {
            id: recordCombo

            objectName: "recordResolutionCombo"
            Layout.fillWidth: true
            uiScale: rows.uiScale
            model: rows.recordSizes
            labelOf: rows.sizeLabel
            onActivated: {
                recordSyncCooldown.restart()
                appBridge.setRecordResolution(currentText)
            }
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
            columnWidth: rows.labelWidth
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
                // The click broke the binding (the handler's `checked` is the signal's argument).
                cameraTrackSwitch.checked = Qt.binding(function() { return rows.panel.trackingEnabled })
                // Tracking turns on only when the gimbal's stop went out (no link: it stays off).
                if (on && !appBridge.armBoxTracking())
                    return
                rows.panel.trackingToggled(on)
                if (on) {
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
                cameraAiSwitch.checked = Qt.binding(function() { return rows.panel.aiEnabled })
                if (rows.panel.aiCategorySyncingFromDevice)
                    return
                // "On" only when the command went out.
                var sent = appBridge.setAiDetectWithCategories(on, [1, 2, 3, 4, 5, 6, 7, 8, 9, 10])
                rows.panel.aiToggled(on && sent)
            }
        }
    }
}
