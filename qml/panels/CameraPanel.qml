import QtQuick 2.9
import QtQuick.Controls 2.2
import QtQuick.Layouts 1.3
import "."

// The camera tab: stream and recording settings, the video output, the thermal image, thermometry
// and, on models without a tracking tab, the tracking and detection switches. It mirrors the
// camera status the controller publishes, except for a setting the operator has just changed.
Item {
    id: cameraPanel

    objectName: "cameraPanel"
    property real uiScale: 1
    property string fontFamily: ""
    property string language: "zh"
    property bool hasCameraSettings: false
    property bool hasVisibleOnlyCamera: false
    property bool hasTernTrackingTab: false
    property bool hasTernDovePhotoRecordRes: false
    property bool hasWrenT_R2StyleCamera: false
    property bool trackingEnabled: false
    property bool aiEnabled: false
    property bool cameraSyncingFromDevice: false
    property bool rtspResolutionSyncCooldown: false
    property bool videoEncodingSyncCooldown: false
    property bool videoBitrateSyncCooldown: false
    property bool aiCategorySyncingFromDevice: false
    property string currentProduct: ""
    // True for 2 s after the operator chose an output: the status the device sent before it
    // switched must not flip the radios back.
    property bool videoOutputSyncCooldown: false
    // Set while this panel copies the controller's state into its controls.
    property bool copyingFromBridge: false
    readonly property bool syncing: cameraSyncingFromDevice || copyingFromBridge
    readonly property bool linked: appBridge.linkOpen
    readonly property bool keepRowInSplit: ["Tern-LITE-A", "WrenT-R2", "Wren-R2"].indexOf(currentProduct) >= 0
    property alias videoOutputIrChecked: videoOutputIr.checked
    property alias videoOutputVisibleChecked: videoOutputVisible.checked
    property alias videoOutputSplitChecked: videoOutputSplit.checked
    property alias irColorSchemeComboIndex: irGroup.paletteIndex
    // The tab's label column: every row's control starts at its right edge.
    readonly property real labelWidth: Math.max(dp(Theme.labelColumnMin), labels.widest(
        [zhText("相机版本", "Camera Ver"), zhText("视频码率", "Bitrate"), zhText("RTSP分辨率", "RTSP Res"),
         zhText("视频编码格式", "Codec"), zhText("视频输出", "Output"), zhText("色板切换", "IR Palette"),
         zhText("红外亮度", "IR Brightness"), zhText("红外对比度", "IR Contrast"), zhText("红外去噪", "IR Denoise"),
         zhText("红外图像增强", "IR Enhance"), zhText("红外超分", "IR Super Res"), zhText("测温", "Thermometry"),
         zhText("拍照分辨率", "Photo Res"), zhText("录像分辨率", "Record Res"),
         zhText("框选目标追踪", "Box Tracking")]))

    signal trackingToggled(bool enabled)
    signal trackingRectHide()
    signal videoOutputModeSwitched()
    signal resetDefaults()
    signal aiToggled(bool enabled)

    function zhText(cn, en) {
        return language === "zh" ? cn : en
    }

    function dp(v) {
        return v * uiScale
    }

    function showOutput(mode) {
        videoOutputIr.checked = mode === 0
        videoOutputVisible.checked = mode === 1
        videoOutputSplit.checked = mode === 2
    }

    function stopTrackingSilently() {
        appBridge.setTracking(false, 0, 0, 1, 1, false, true)
    }

    function chooseOutput(mode) {
        showOutput(mode)
        if (!syncing) {
            videoOutputSyncCooldown = true
            videoOutputSyncCooldownTimer.restart()
            if (mode === 0) {
                appBridge.setVideoOutputMode(zhText("红外", "IR"))
                appBridge.setIrColorScheme(irGroup.paletteIndex)
                appBridge.setIrBrightness(50)
                appBridge.setIrContrast(50)
                appBridge.setIrDenoise(false, 50)
                appBridge.setIrEnhance(false, 5)
                appBridge.setIrSuperRes(false)
                irGroup.showDeviceDefaults()
            } else if (mode === 1) {
                appBridge.setVideoOutputMode(zhText("可见光", "Visible"))
            } else {
                appBridge.setVideoOutputMode(zhText("分屏", "Split"))
                appBridge.setIrColorScheme(irGroup.paletteIndex)
                var visibleZoom = appBridge.currentVisibleZoom
                if (linked && visibleZoom > 0 && Math.abs(visibleZoom - appBridge.currentIrZoom) >= 0.05)
                    appBridge.setVisibleZoom(visibleZoom)
            }
            syncCameraStatusFromBridge()
        }
        videoOutputModeSwitched()
        if (trackingEnabled)
            stopTrackingSilently()
        if (appBridge.irTempMeasureOn)
            appBridge.setIrTempMeasure(false)
        trackingRectHide()
    }

    // The palette and resolutions come from their own answers and may precede the first status.
    function syncCameraStatusFromBridge() {
        irGroup.showDevicePalette()
        extraRows.showDeviceResolutions()
        if (!appBridge.cameraStatusAvailable)
            return
        copyingFromBridge = true
        var bitrate = appBridge.cameraVideoBitrateIndex
        if (bitrate >= 0 && !videoBitrateSyncCooldown)
            videoBitrateCombo.currentIndex = bitrate
        var rtsp = appBridge.cameraRtspResolutionIndex
        if (rtsp >= 0 && !rtspResolutionSyncCooldown) {
            rtsp1080.checked = rtsp === 0
            rtsp720.checked = rtsp === 1
        }
        var codec = appBridge.cameraVideoEncodingIndex
        if (codec >= 0 && !videoEncodingSyncCooldown) {
            codecH264.checked = codec === 0
            codecH265.checked = codec === 1
        }
        var mode = appBridge.cameraStreamModeIndex
        if (videoOutputSyncCooldown)
            mode = -2
        if (mode >= 0)
            showOutput(mode)
        else if (mode === -1 && linked)
            showOutput(-1)
        copyingFromBridge = false
    }

    function chooseRtsp(is1080) {
        rtsp1080.checked = is1080
        rtsp720.checked = !is1080
        if (syncing)
            return
        rtspResolutionSyncCooldown = true
        rtspResolutionSyncCooldownTimer.restart()
        appBridge.setRtspResolution(is1080 ? "1080P30fps" : "720P30fps")
    }

    function chooseCodec(isH264) {
        codecH264.checked = isH264
        codecH265.checked = !isH264
        if (syncing)
            return
        videoEncodingSyncCooldown = true
        videoEncodingSyncCooldownTimer.restart()
        appBridge.setVideoEncoding(isH264 ? "H264" : "H265")
    }

    function applyDefaults() {
        copyingFromBridge = true
        videoBitrateCombo.currentIndex = 0
        rtsp1080.checked = true
        rtsp720.checked = false
        codecH264.checked = true
        codecH265.checked = false
        showOutput(1)
        irGroup.resetDefaults()
        copyingFromBridge = false
    }

    // A press anywhere but in the image field being edited ends the editing of all four (the main
    // window reports every press before any control takes it).
    function pressedAt(from, x, y) {
        if (!irGroup.editedFieldElsewhere(from, x, y))
            return
        Qt.inputMethod.hide()
        irGroup.endEditing(ternCameraSettingsLayout)
    }

    onResetDefaults: applyDefaults()

    Connections {
        target: appBridge
        function onCameraStatusChanged() { cameraPanel.syncCameraStatusFromBridge() }
    }

    LabelMetrics {
        id: labels

        uiScale: cameraPanel.uiScale
    }

    Text {
        anchors.centerIn: parent
        visible: !cameraPanel.hasCameraSettings
        text: cameraPanel.zhText("当前型号无独立相机设置", "No camera settings for this model")
        font.pixelSize: Theme.fontNormal * cameraPanel.uiScale
        color: Theme.textHint
    }

    TabScroller {
        id: scroller

        uiScale: cameraPanel.uiScale
        anchors.fill: parent
        visible: cameraPanel.hasCameraSettings
        contentHeight: ternCameraSettingsLayout.implicitHeight

        ColumnLayout {
            id: ternCameraSettingsLayout

            width: scroller.contentAreaWidth
            spacing: cameraPanel.dp(6)

            Timer {
                id: cameraStatusSyncTimer

                interval: 500
                repeat: true
                running: true
                onTriggered: cameraPanel.syncCameraStatusFromBridge()
            }
            Timer {
                id: rtspResolutionSyncCooldownTimer

                interval: 2000
                onTriggered: cameraPanel.rtspResolutionSyncCooldown = false
            }
            Timer {
                id: videoEncodingSyncCooldownTimer

                interval: 2000
                onTriggered: cameraPanel.videoEncodingSyncCooldown = false
            }
            Timer {
                id: videoOutputSyncCooldownTimer

                interval: 2000
                onTriggered: cameraPanel.videoOutputSyncCooldown = false
            }
            Timer {
                id: videoBitrateSyncCooldownTimer

                interval: 2000
                onTriggered: cameraPanel.videoBitrateSyncCooldown = false
            }

            RowLayout {
                Layout.fillWidth: true
                spacing: cameraPanel.dp(6)

                FieldLabel {
                    uiScale: cameraPanel.uiScale
                    columnWidth: cameraPanel.labelWidth
                    text: cameraPanel.zhText("相机版本", "Camera Ver")
                }
                DeviceValue {
                    objectName: "cameraVersion"
                    Layout.fillWidth: true
                    Layout.preferredHeight: restartButton.implicitHeight
                    uiScale: cameraPanel.uiScale
                    language: cameraPanel.language
                    value: appBridge.cameraVersion
                }
                PanelButton {
                    id: restartButton

                    objectName: "restartCamera"
                    visible: cameraPanel.currentProduct !== "Tern" && cameraPanel.currentProduct !== "Tern-LITE-B"
                    uiScale: cameraPanel.uiScale
                    danger: true
                    text: cameraPanel.zhText("相机重启", "Restart")
                    onClicked: appBridge.restartCamera()
                }
            }
            RowLayout {
                Layout.fillWidth: true
                spacing: cameraPanel.dp(6)

                FieldLabel {
                    uiScale: cameraPanel.uiScale
                    columnWidth: cameraPanel.labelWidth
                    text: cameraPanel.zhText("视频码率", "Bitrate")
                }
                PanelCombo {
                    id: videoBitrateCombo

                    objectName: "videoBitrateCombo"
                    Layout.fillWidth: true
                    uiScale: cameraPanel.uiScale
                    model: ["1M", "1.5M", "2M", "4M", "8M", "12M"]
                    labelOf: function(entry) { return entry.replace("M", " Mbps") }
                    onActivated: {
                        cameraPanel.videoBitrateSyncCooldown = true
                        videoBitrateSyncCooldownTimer.restart()
                        appBridge.setVideoBitrate(currentText)
                    }
                }
            }
            ChoiceRow {
                label: cameraPanel.zhText("RTSP分辨率", "RTSP Res")

                RadioChoice {
                    id: rtsp1080

                    objectName: "rtsp1080"
                    uiScale: cameraPanel.uiScale
                    checked: true
                    text: "1080P30fps"
                    onClicked: cameraPanel.chooseRtsp(true)
                }
                RadioChoice {
                    id: rtsp720

                    objectName: "rtsp720"
                    uiScale: cameraPanel.uiScale
                    text: "720P30fps"
                    onClicked: cameraPanel.chooseRtsp(false)
                }
            }
            ChoiceRow {
                label: cameraPanel.zhText("视频编码格式", "Codec")

                RadioChoice {
                    id: codecH264

                    objectName: "codecH264"
                    uiScale: cameraPanel.uiScale
                    checked: true
                    text: "H264"
                    onClicked: cameraPanel.chooseCodec(true)
                }
                RadioChoice {
                    id: codecH265

                    objectName: "codecH265"
                    uiScale: cameraPanel.uiScale
                    text: "H265"
                    onClicked: cameraPanel.chooseCodec(false)
                }
            }
            ChoiceRow {
                visible: !cameraPanel.hasVisibleOnlyCamera
                label: cameraPanel.zhText("视频输出", "Output")

                RadioChoice {
                    id: videoOutputIr

                    objectName: "videoOutputIr"
                    uiScale: cameraPanel.uiScale
                    text: cameraPanel.zhText("仅红外", "IR Only")
                    onClicked: cameraPanel.chooseOutput(0)
                }
                RadioChoice {
                    id: videoOutputVisible

                    objectName: "videoOutputVisible"
                    uiScale: cameraPanel.uiScale
                    checked: true
                    text: cameraPanel.zhText("仅可见光", "Visible")
                    onClicked: cameraPanel.chooseOutput(1)
                }
                RadioChoice {
                    id: videoOutputSplit

                    objectName: "videoOutputSplit"
                    uiScale: cameraPanel.uiScale
                    text: cameraPanel.zhText("分屏", "Split")
                    onClicked: cameraPanel.chooseOutput(2)
                }
            }
            CameraIrGroup {
                id: irGroup

                objectName: "cameraIrGroup"
                Layout.fillWidth: true
                visible: cameraPanel.videoOutputIrChecked
                         || (cameraPanel.videoOutputSplitChecked
                             && (cameraPanel.hasWrenT_R2StyleCamera || cameraPanel.currentProduct === "Tern"
                                 || cameraPanel.currentProduct === "Tern-LITE-B"))
                uiScale: cameraPanel.uiScale
                language: cameraPanel.language
                labelWidth: cameraPanel.labelWidth
                product: cameraPanel.currentProduct
                syncing: cameraPanel.syncing
            }
            CameraExtraRows {
                id: extraRows

                objectName: "cameraExtraRows"
                Layout.fillWidth: true
                panel: cameraPanel
            }
        }
    }

    component ChoiceRow: Flow {
        property string label: ""

        Layout.fillWidth: true
        spacing: cameraPanel.dp(12)

        FieldLabel {
            uiScale: cameraPanel.uiScale
            columnWidth: cameraPanel.labelWidth
            text: parent.label
        }
    }
}
