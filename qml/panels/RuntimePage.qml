import QtQuick 2.9
import QtQuick.Controls 2.2
import QtQuick.Layouts 1.3
import "."

// The runtime page: the header bar, the left pane (links, the five tabs, the message log), the
// splitter and the video. It shows the main window's shared state and hands the panels' intents
// back to it.
Item {
    id: runtimePage

    property var win
    readonly property real uiScale: win ? win.uiScale : 1
    readonly property string fontFamily: win ? win.globalFontFamily : ""
    readonly property string language: appBridge.language
    property alias commPanelRef: commPanel
    property alias videoPanelRef: videoPanel
    property alias gimbalPanelRef: gimbalPanel
    property alias cameraPanelRef: cameraPanel
    property alias trackingPanelRef: trackingPanel
    property alias controlTabsRef: controlTabs
    property alias messageLogPanelRef: messageLogPanel
    property alias leftPanelRef: leftPanel
    property alias runtimeRowRef: runtimeRow
    // The row's width, known before the row lays itself out (the page less the row's margins), so
    // that the left pane's width never changes in the middle of the row's own layout pass.
    readonly property real rowWidth: width - 2 * runtimeRow.Layout.margins
    // The tabs share the bar's width equally, however many the product has.
    readonly property real tabWidth: controlTabs.width / (win && win.hasTernTrackingTab ? 5 : 4)

    function dp(v) {
        return v * uiScale
    }

    function selectTab(index) {
        controlTabs.currentIndex = index
    }

    // A product without the tracking tab cannot keep it selected: the last tab it has takes over.
    function clampTabToProduct() {
        if (!win.hasTernTrackingTab && controlTabs.currentIndex >= 4)
            controlTabs.currentIndex = 3
    }

    // Asks the device for what the newly selected tab shows, when there is a device to ask.
    function requestTabState(index) {
        if (!appBridge.linkOpen)
            return
        if (index === 1)
            appBridge.requestCameraSettingsState()
        else if (index === 3)
            appBridge.getCameraIp()
    }

    function resetGimbalInputs() {
        if (gimbalPanel.pitchInputRef)
            gimbalPanel.pitchInputRef.text = "0"
        if (gimbalPanel.yawInputRef)
            gimbalPanel.yawInputRef.text = "0"
        resetZoom()
    }

    function resetZoom() {
        var slider = gimbalPanel.zoomSliderRef
        if (slider) {
            slider.value = 1
            slider.userTargetZoom = 1
        }
        if (gimbalPanel.zoomInputRef)
            gimbalPanel.zoomInputRef.text = "1.0"
    }

    function resetCameraDefaults() {
        cameraPanel.resetDefaults()
    }

    function commitFocusedGimbalField() {
        if (gimbalPanel.zoomInputRef && gimbalPanel.zoomInputRef.activeFocus)
            gimbalPanel.applyZoomFromText()
        if (gimbalPanel.pitchInputRef && gimbalPanel.pitchInputRef.activeFocus)
            gimbalPanel.normalizePitch()
        if (gimbalPanel.yawInputRef && gimbalPanel.yawInputRef.activeFocus)
            gimbalPanel.normalizeYaw()
    }

    // A press (at x, y of `from`) outside the image field being edited ends its editing.
    function endImageFieldEditing(from, x, y) {
        cameraPanel.pressedAt(from, x, y)
    }

    // New splitter position for a drag that started at startX with startRatio; bounded so that
    // both sides stay usable.
    function splitterRatio(startRatio, startX, x) {
        var rowWidth = runtimePage.rowWidth
        if (rowWidth <= 0)
            return win.userLeftPaneRatio
        var lower = Math.min(Math.max(0.22, win.minLeftPaneWidth / rowWidth), 0.55)
        var upper = 0.6
        var ratio = startRatio + (x - startX) / rowWidth
        return Math.max(lower, Math.min(upper, ratio))
    }

    // Keys reach the page unless a control on it keeps them (see InputRouter).
    focus: true
    Keys.onPressed: inputRouter.keyPressed(event)
    Keys.onReleased: inputRouter.keyReleased(event)

    InputRouter {
        id: inputRouter

        win: runtimePage.win
        gimbalPanel: gimbalPanel
        helpOverlay: helpOverlay
        page: runtimePage
    }

    ColumnLayout {
        anchors.fill: parent
        spacing: 0

        RuntimeHeader {
            id: headerBar

            Layout.fillWidth: true
            Layout.preferredHeight: runtimePage.dp(Theme.headerHeight)
            visible: !runtimePage.win.videoFullscreen
            uiScale: runtimePage.uiScale
            language: runtimePage.language
        }

        RowLayout {
            id: runtimeRow

            objectName: "runtimeRow"
            Layout.fillWidth: true
            Layout.fillHeight: true
            Layout.margins: runtimePage.win.videoFullscreen ? 0 : runtimePage.dp(8)
            spacing: 0

            ColumnLayout {
                id: leftPanel

                objectName: "leftPanel"
                Layout.fillHeight: true
                Layout.preferredWidth: Math.max(Math.min(runtimePage.win.minLeftPaneWidth, 0.85 * runtimePage.rowWidth),
                                                runtimePage.rowWidth * runtimePage.win.leftPaneRatio)
                Layout.maximumWidth: Layout.preferredWidth
                visible: !runtimePage.win.videoFullscreen
                spacing: runtimePage.dp(8)

                CommPanel {
                    id: commPanel

                    Layout.fillWidth: true
                    // Its minimum is all the two rows of a link need: the rest goes to the tabs.
                    Layout.minimumHeight: runtimePage.dp(150)
                    Layout.preferredHeight: runtimePage.dp(150)
                    uiScale: runtimePage.uiScale
                    fontFamily: runtimePage.fontFamily
                    language: runtimePage.language
                    defaultUdpIp: runtimePage.win.deviceAddressA()
                }

                PanelBox {
                    id: controlGroup

                    Layout.fillWidth: true
                    Layout.fillHeight: true
                    Layout.minimumHeight: runtimePage.dp(260)
                    uiScale: runtimePage.uiScale

                    ColumnLayout {
                        anchors.fill: parent
                        spacing: runtimePage.dp(6)

                        PanelTabBar {
                            id: controlTabs

                            objectName: "controlTabs"
                            Layout.fillWidth: true
                            uiScale: runtimePage.uiScale
                            onCurrentIndexChanged: runtimePage.requestTabState(currentIndex)

                            PanelTabButton {
                                id: tabGimbal

                                objectName: "tabGimbal"
                                width: runtimePage.tabWidth
                                uiScale: runtimePage.uiScale
                                text: runtimePage.win.zhText("云台设置", "Gimbal")
                            }
                            PanelTabButton {
                                id: tabCamera

                                objectName: "tabCamera"
                                width: runtimePage.tabWidth
                                uiScale: runtimePage.uiScale
                                text: runtimePage.win.zhText("相机设置", "Camera")
                            }
                            PanelTabButton {
                                id: tabChannel

                                objectName: "tabChannel"
                                width: runtimePage.tabWidth
                                uiScale: runtimePage.uiScale
                                text: runtimePage.win.zhText("通道设置", "Channel")
                            }
                            PanelTabButton {
                                id: tabIP

                                objectName: "tabIP"
                                width: runtimePage.tabWidth
                                uiScale: runtimePage.uiScale
                                text: runtimePage.win.zhText("IP设置", "IP")
                            }
                            PanelTabButton {
                                id: tabTracking

                                objectName: "tabTracking"
                                // A hidden tab keeps its place (the last) but takes no room.
                                width: visible ? runtimePage.tabWidth : 0
                                visible: runtimePage.win.hasTernTrackingTab
                                uiScale: runtimePage.uiScale
                                text: runtimePage.win.zhText("识别追踪", "Tracking")
                            }
                        }

                        StackLayout {
                            id: controlStack

                            Layout.fillWidth: true
                            Layout.fillHeight: true
                            currentIndex: controlTabs.currentIndex

                            GimbalPanel {
                                id: gimbalPanel

                                uiScale: runtimePage.uiScale
                                fontFamily: runtimePage.fontFamily
                                language: runtimePage.language
                                trackingEnabled: runtimePage.win.trackingEnabled
                                hasRangeRead: runtimePage.win.hasRangeRead
                                videoOutputIrChecked: cameraPanel.videoOutputIrChecked
                                videoOutputSplitChecked: cameraPanel.videoOutputSplitChecked
                                maxVisibleZoom: appBridge.maxVisibleZoom
                                gimbalMoveYaw: runtimePage.win.gimbalMoveYaw
                                gimbalMovePitch: runtimePage.win.gimbalMovePitch
                            }
                            CameraPanel {
                                id: cameraPanel

                                uiScale: runtimePage.uiScale
                                fontFamily: runtimePage.fontFamily
                                language: runtimePage.language
                                hasCameraSettings: runtimePage.win.hasCameraSettings
                                hasVisibleOnlyCamera: runtimePage.win.hasVisibleOnlyCamera
                                hasTernTrackingTab: runtimePage.win.hasTernTrackingTab
                                hasTernDovePhotoRecordRes: runtimePage.win.hasTernDovePhotoRecordRes
                                hasWrenT_R2StyleCamera: runtimePage.win.hasWrenT_R2StyleCamera
                                trackingEnabled: runtimePage.win.trackingEnabled
                                aiEnabled: runtimePage.win.aiEnabled
                                cameraSyncingFromDevice: runtimePage.win.cameraSyncingFromDevice
                                rtspResolutionSyncCooldown: runtimePage.win.rtspResolutionSyncCooldown
                                videoEncodingSyncCooldown: runtimePage.win.videoEncodingSyncCooldown
                                videoBitrateSyncCooldown: runtimePage.win.videoBitrateSyncCooldown
                                aiCategorySyncingFromDevice: runtimePage.win.aiCategorySyncingFromDevice
                                currentProduct: appBridge.currentProduct
                                onTrackingToggled: runtimePage.win.trackingEnabled = enabled
                                onAiToggled: runtimePage.win.aiEnabled = enabled
                                onTrackingRectHide: runtimePage.win.hideTrackingRect()
                                onVideoOutputModeSwitched: runtimePage.win.noteVideoOutputModeSwitched()
                            }
                            ChannelPanel {
                                id: channelPanel

                                uiScale: runtimePage.uiScale
                                fontFamily: runtimePage.fontFamily
                                language: runtimePage.language
                                hasChannelRangeSetting: runtimePage.win.hasChannelRangeSetting
                                channelOptions: runtimePage.win.channelOptions
                                channelComboWidth: runtimePage.win.channelComboWidth
                                channelPopupItemHeight: runtimePage.win.channelPopupItemHeight
                                channelPopupMaxVisibleItems: runtimePage.win.channelPopupMaxVisibleItems
                                channelEncoding1Based: runtimePage.win.channelEncoding1Based
                            }
                            IpPanel {
                                id: ipPanel

                                uiScale: runtimePage.uiScale
                                fontFamily: runtimePage.fontFamily
                                language: runtimePage.language
                            }
                            TrackingPanel {
                                id: trackingPanel

                                uiScale: runtimePage.uiScale
                                fontFamily: runtimePage.fontFamily
                                language: runtimePage.language
                                trackingEnabled: runtimePage.win.trackingEnabled
                                aiEnabled: runtimePage.win.aiEnabled
                                aiCategorySyncingFromDevice: runtimePage.win.aiCategorySyncingFromDevice
                                irTempMeasureOn: appBridge.irTempMeasureOn
                                videoOutputSplitChecked: cameraPanel.videoOutputSplitChecked
                                onTrackingToggled: runtimePage.win.trackingEnabled = enabled
                                onAiToggled: runtimePage.win.applyAiToggle(enabled, categoryIds)
                                onAiCategoriesEdited: runtimePage.win.aiCategoryChecked = checked
                            }
                        }
                    }

                    Binding {
                        target: trackingPanel
                        property: "aiCategoryChecked"
                        value: runtimePage.win.aiCategoryChecked
                    }
                }

                MessageLogPanel {
                    id: messageLogPanel

                    Layout.fillWidth: true
                    // A small window gives the tabs their room first: the log keeps a few lines.
                    Layout.preferredHeight: runtimePage.height < runtimePage.dp(900) ? runtimePage.dp(96)
                                                                                     : runtimePage.dp(190)
                    Layout.minimumHeight: runtimePage.dp(96)
                    uiScale: runtimePage.uiScale
                    fontFamily: runtimePage.fontFamily
                    language: runtimePage.language
                }
            }

            MouseArea {
                id: splitter

                objectName: "splitter"
                property real startRatio: 0
                property real startX: 0

                Layout.fillHeight: true
                Layout.preferredWidth: runtimePage.dp(10)
                visible: !runtimePage.win.videoFullscreen
                cursorShape: Qt.SizeHorCursor
                onPressed: {
                    startRatio = runtimePage.win.userLeftPaneRatio
                    startX = mapToItem(runtimeRow, mouse.x, mouse.y).x
                }
                onPositionChanged: {
                    if (!pressed || runtimePage.rowWidth <= 0)
                        return
                    var x = mapToItem(runtimeRow, mouse.x, mouse.y).x
                    runtimePage.win.userLeftPaneRatio = runtimePage.splitterRatio(startRatio, startX, x)
                }

                Rectangle {
                    anchors.centerIn: parent
                    width: runtimePage.dp(3)
                    height: runtimePage.dp(36)
                    radius: width / 2
                    color: splitter.pressed || splitter.containsMouse ? Theme.accent : Theme.fieldBorder
                }
            }

            VideoBoxPanel {
                id: videoPanel

                Layout.fillWidth: true
                Layout.fillHeight: true
                uiScale: runtimePage.uiScale
                fontFamily: runtimePage.fontFamily
                language: runtimePage.language
                trackingEnabled: runtimePage.win.trackingEnabled
                videoFullscreen: runtimePage.win.videoFullscreen
                captureMode: runtimePage.win.captureMode
                isRecording: runtimePage.win.isRecording
                recordingElapsedSeconds: runtimePage.win.recordingElapsedSeconds
                draftBoxForThermometry: runtimePage.win.draftBoxForThermometry
                trackingProtoX: runtimePage.win.trackingProtoX
                trackingProtoY: runtimePage.win.trackingProtoY
                trackingProtoW: runtimePage.win.trackingProtoW
                trackingProtoH: runtimePage.win.trackingProtoH
                videoOutputIrChecked: cameraPanel.videoOutputIrChecked
                videoOutputSplitChecked: cameraPanel.videoOutputSplitChecked
                videoOutputVisibleChecked: cameraPanel.videoOutputVisibleChecked
                win: runtimePage.win
                recordingText: runtimePage.win.formatRecordingDuration(runtimePage.win.recordingElapsedSeconds)
                onFullscreenToggled: runtimePage.win.videoFullscreen = !runtimePage.win.videoFullscreen
                onCaptureModeChosen: runtimePage.win.captureMode = mode
                onTrackingConfirmed: {
                    runtimePage.win.trackingEnabled = true
                    appBridge.setTracking(true, x, y, w, h)
                    runtimePage.win.hideTrackingRect()
                }
                onThermometryPointClicked: appBridge.setIrTempMeasurePoint(px, py)
                onThermometryRegionClicked: {
                    appBridge.setIrTempMeasureRegion(cx, cy, cw, ch)
                    runtimePage.win.hideTrackingRect()
                }
            }
        }
    }

    HelpOverlay {
        id: helpOverlay

        anchors.fill: parent
        visible: false
        uiScale: runtimePage.uiScale
        language: runtimePage.language
        buttonNames: inputRouter.pad ? inputRouter.pad.buttonNames : ({})
        deadZonePercent: inputRouter.pad ? inputRouter.pad.deadZonePercent : 25
        padName: inputRouter.pad ? inputRouter.pad.padName : ""
    }
}
