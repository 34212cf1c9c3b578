import QtQuick 2.9
import QtQuick.Controls 2.2
import QtQuick.Layouts 1.3
import QtQuick.Window 2.2
import Skyvane 1.0
import "panels"

// The main window: the product selection page and the runtime page. It holds the state that
// several panels share, translates between the controller's values and the panels' indexes, and
// reacts to the controller's signals.
ApplicationWindow {
    id: win

    property real uiScale: 1
    property string globalFontFamily: (typeof appFontFamily !== "undefined" && appFontFamily
                                       && appFontFamily.length > 0) ? appFontFamily : "Source Han Sans SC"
    property bool videoFullscreen: false
    property bool draftBoxForThermometry: false
    property bool videoOutputModeJustSwitched: false
    property string captureMode: "video"
    property bool isRecording: false
    property int recordingElapsedSeconds: 0
    property int lastDeviceRecordingSeconds: 0

    readonly property string product: appBridge.currentProduct
    readonly property bool isTernSeries: product === "Tern" || product === "Tern-LITE-B"
    readonly property bool isDove: product === "Dove"
    readonly property bool hasTernDovePhotoRecordRes: isDove || isTernSeries
    readonly property bool hasTernTrackingTab: isTernSeries || isDove
    readonly property bool hasVisibleOnlyCamera: isDove || product === "Wren-R2"
    readonly property bool hasCameraSettings: ["Tern", "WrenT-R2", "Wren-R2", "Tern-LITE-A",
                                               "Tern-LITE-B"].indexOf(product) >= 0 || isDove
    readonly property bool hasRangeRead: product !== "WrenT-R2" && product !== "Wren-R2" && !isDove
    readonly property bool isWrenSeries: product === "WrenT-R2" || product === "Wren-R2"
    readonly property bool hasChannelRangeSetting: isWrenSeries || product === "Tern" || product === "Tern-LITE-A"
                                                   || product === "Tern-LITE-B" || isDove
    readonly property bool hasWrenT_R2StyleCamera: product === "WrenT-R2" || product === "Tern-LITE-A"
                                                   || product === "Tern-LITE-B"

    property var channelOptions: ["NONE", "CH1", "CH2", "CH3", "CH4", "CH5", "CH6", "CH7", "CH8", "CH9", "CH10",
                                  "CH11", "CH12", "CH13", "CH14", "CH15", "CH16"]
    property int channelComboWidth: 150
    property real channelPopupItemHeight: dp(34)
    property int channelPopupMaxVisibleItems: 6
    property real userLeftPaneRatio: 0.4
    readonly property real leftPaneRatio: visibility === Window.Maximized ? Math.min(userLeftPaneRatio, 0.34)
                                                                          : userLeftPaneRatio
    property real minLeftPaneWidth: 520
    property int trackingProtoX: 0
    property int trackingProtoY: 0
    property int trackingProtoW: 0
    property int trackingProtoH: 0
    property bool trackingEnabled: false
    property bool aiEnabled: false
    property var aiCategoryChecked: noAiCategories()
    property bool aiCategorySyncingFromDevice: false
    property bool cameraSyncingFromDevice: false
    property bool rtspResolutionSyncCooldown: false
    property bool videoEncodingSyncCooldown: false
    property bool videoBitrateSyncCooldown: false
    property int gimbalMoveYaw: 0
    property int gimbalMovePitch: 0
    property bool channelEncoding1Based: false
    property string mainPageHoveredProduct: mainPage.hoveredProduct
    property int mainPageHoveredProductIndex: mainPage.hoveredProductIndex
    readonly property var commPanel: runtimePage.commPanelRef
    readonly property var videoPanel: runtimePage.videoPanelRef

    function dp(v) {
        return v * uiScale
    }

    function zhText(cn, en) {
        return appBridge.language === "zh" ? cn : en
    }

    function langIndex() {
        return appBridge.language === "zh" ? 0 : 1
    }

    function runtimeIndex() {
        return appBridge.runtimePage ? 1 : 0
    }

    function noAiCategories() {
        return [false, false, false, false, false, false, false, false, false, false]
    }

    function channelToComboIndex(ch) {
        if (channelEncoding1Based)
            return (ch === 0 || ch === 16) ? 0 : Math.min(ch, 16)
        return ch === 16 ? 0 : Math.min(ch + 1, 16)
    }

    function comboIndexToChannel(idx) {
        return idx === 0 ? 16 : Math.min(idx - 1, 15)
    }

    function photoResolutionUiIndex(bi) {
        switch (bi) {
        case 3: return 0
        case 2: return 1
        case 1: return 2
        case 0: return 2
        default: return 1
        }
    }

    function recordResolutionUiIndex(bi) {
        if (bi <= 0)
            return 0
        return (bi === 1 || bi === 2) ? bi : 1
    }

    // Factory addresses of the products' camera network: A and B.
    function deviceAddressA() { return "192.168.120.10" }
    function deviceAddressB() { return "192.168.120.20" }

    function defaultStreamUrlForProduct(p) {
        if (p === "WrenT-R2" || p === "Wren-R2" || p === "Tern-LITE-A")
            return "rtsp://" + deviceAddressA() + ":8600/live0"
        if (p === "Tern" || p === "TernX" || p === "Tern-LITE-B" || p === "Dove")
            return "rtsp://" + deviceAddressB() + ":558/live/single"
        return "rtsp://" + deviceAddressA() + ":8600/videoh264_chn0"
    }

    function defaultDeviceIpForProduct(p) {
        return (p === "Tern" || p === "Tern-LITE-B" || p === "Dove") ? deviceAddressB() : deviceAddressA()
    }

    // The address the link panel offers: the configured one where the configuration names one.
    function offeredDeviceIp(p) {
        return appBridge.deviceAddress.length > 0 ? appBridge.deviceAddress : defaultDeviceIpForProduct(p)
    }

    function formatRecordingDuration(seconds) {
        function pad(n) {
            return n < 10 ? "0" + n : "" + n
        }
        var s = Math.max(0, seconds)
        return pad(Math.floor(s / 3600)) + ":" + pad(Math.floor((s % 3600) / 60)) + ":" + pad(Math.floor(s % 60))
    }

    function setChildrenFont(item) {
        if (!item)
            return
        if (item.font !== undefined && item.font !== null && item.font.family !== undefined)
            item.font.family = win.font.family
        var children = item.children
        for (var i = 0; children && i < children.length; ++i)
            setChildrenFont(children[i])
    }

    function hideTrackingRect() {
        var rect = videoPanel.trackingRectRef
        if (rect)
            rect.visible = false
    }

    function switchTrackingOff() {
        trackingEnabled = false
        videoOutputModeJustSwitched = false
        hideTrackingRect()
        appBridge.setTracking(false, 0, 0, 1, 1, false, true)
    }

    function resetRecordingClock() {
        captureMode = "video"
        isRecording = false
        recordingElapsedSeconds = 0
        lastDeviceRecordingSeconds = 0
        recordingDurationTimer.stop()
    }

    function applyProductChange() {
        var p = appBridge.currentProduct
        var history = appBridge.streamHistory
        var url = history.length > 0 ? history[0] : defaultStreamUrlForProduct(p)
        videoPanel.streamUrl = url
        videoPanel.streamEditText = url
        videoPanel.videoItemRef.url = url
        if (history.length === 0)
            appBridge.rememberStreamUrl(url)
        commPanel.udpIpText = offeredDeviceIp(p)
        if (appBridge.devicePort > 0)
            commPanel.udpPortText = String(appBridge.devicePort)
        switchTrackingOff()
        resetRecordingClock()
        runtimePage.resetGimbalInputs()
        cameraSyncingFromDevice = true
        runtimePage.resetCameraDefaults()
        cameraSyncingFromDevice = false
        if (hasTernTrackingTab) {
            aiCategorySyncingFromDevice = true
            aiEnabled = false
            aiCategoryChecked = noAiCategories()
            aiCategorySyncingFromDevice = false
        }
        commPanel.commTabsCurrentIndex = 1
        runtimePage.selectTab(0)
        runtimePage.clampTabToProduct()
    }

    function noteVideoOutputModeSwitched() {
        videoOutputModeJustSwitched = true
        videoOutputModeSwitchResetTimer.restart()
        hideTrackingRect()
    }

    // The switch shows "on" only when the command went out; switching off always clears the ticks.
    function applyAiToggle(enabled, ids) {
        var sent = appBridge.setAiDetectWithCategories(enabled, ids)
        aiEnabled = enabled && sent
        aiCategoryChecked = enabled ? aiCategoryChecked.slice() : noAiCategories()
    }

    function applyRecordingState() {
        isRecording = appBridge.recording
        if (isRecording) {
            recordingElapsedSeconds = appBridge.recordingTimeSeconds
            lastDeviceRecordingSeconds = appBridge.recordingTimeSeconds
            if (!recordingDurationTimer.running)
                recordingDurationTimer.start()
        } else {
            recordingDurationTimer.stop()
            recordingElapsedSeconds = 0
            lastDeviceRecordingSeconds = 0
        }
    }

    function applyDeviceRecordingSeconds() {
        if (!appBridge.recording)
            return
        var device = appBridge.recordingTimeSeconds
        if (Math.abs(device - recordingElapsedSeconds) >= 2)
            recordingElapsedSeconds = device
        lastDeviceRecordingSeconds = device
    }

    function applyAiCategoriesFromDevice(aiOn, cats) {
        aiCategorySyncingFromDevice = true
        aiEnabled = aiOn
        var checked = noAiCategories()
        for (var i = 0; cats && i < cats.length; ++i) {
            var id = Number(cats[i])
            if (id >= 1 && id <= 10)
                checked[id - 1] = true
        }
        aiCategoryChecked = checked
        aiCategorySyncingFromDevice = false
    }

    // Leaving the runtime page: the gimbal stops and tracking ends while the link can still carry
    // it (the controller closes the link after the page change).
    function stopDeviceActivity() {
        if (!appBridge.linkOpen)
            return
        appBridge.gimbalStop()
        if (trackingEnabled)
            switchTrackingOff()
    }

    // Opens the stream of the video panel's address; called once per entry into the runtime page.
    function openStream() {
        if (!appBridge.runtimePage)
            return
        var video = videoPanel.videoItemRef
        video.url = videoPanel.streamUrl
        video.open()
    }

    visible: true
    width: Math.min(1700, Screen.desktopAvailableWidth - 40)
    height: Math.min(1000, Screen.desktopAvailableHeight - 80)
    title: "Sky Vane " + appBridge.appVersion
    color: Theme.windowBackground
    font.family: globalFontFamily
    // The stock controls (fields, check boxes, sliders, lists) take their colours from the theme.
    palette.window: Theme.panelBackground
    palette.windowText: Theme.textPrimary
    palette.base: Theme.fieldBackground
    palette.alternateBase: Theme.windowBackground
    palette.text: Theme.textPrimary
    palette.button: Theme.buttonIdle
    palette.buttonText: Theme.textPrimary
    palette.brightText: Theme.textOnAccent
    palette.highlight: Theme.accentStrong
    palette.highlightedText: Theme.textOnAccent
    palette.light: Theme.buttonHovered
    palette.midlight: Theme.divider
    palette.mid: Theme.fieldBorder
    palette.dark: Theme.accent
    palette.shadow: Theme.panelBorder
    palette.toolTipBase: Theme.panelBackground
    palette.toolTipText: Theme.textPrimary

    Component.onCompleted: {
        console.log("=== QML Font Info ===")
        console.log("appFontFamily:", typeof appFontFamily !== "undefined" ? appFontFamily : "")
        console.log("Window font.family:", win.font.family)
        console.log("Window font.pixelSize:", win.font.pixelSize)
        console.log("globalFontFamily:", globalFontFamily)
        console.log("=====================")
        fontUpdateTimer.start()
    }

    Binding {
        target: Theme
        property: "dark"
        value: appBridge.theme === "dark"
    }

    Connections {
        target: Qt.application
        function onStateChanged() {
            Qt.application.font.family = win.globalFontFamily
        }
    }

    Connections {
        target: appBridge
        function onRuntimePageChanged() {
            if (appBridge.runtimePage) {
                Qt.callLater(win.openStream)
            } else {
                win.videoFullscreen = false
                videoPanel.videoItemRef.close()
                win.stopDeviceActivity()
            }
        }
        function onCameraStatusChanged() {
            if (!appBridge.cameraStatusAvailable)
                return
            if (appBridge.cameraPhotoVideoMode === 0)
                win.captureMode = "photo"
            else if (appBridge.cameraPhotoVideoMode === 1)
                win.captureMode = "video"
        }
        function onTrackingResetRequested() {
            win.trackingEnabled = false
            win.hideTrackingRect()
        }
        function onTrackingStateFromDevice(isOn) {
            if (isOn || win.videoOutputModeJustSwitched)
                return
            win.trackingEnabled = false
            win.hideTrackingRect()
        }
        function onResetZoomRequested() {
            runtimePage.resetZoom()
        }
        function onAiDetectCategoriesReceived(aiOn, cats) {
            win.applyAiCategoriesFromDevice(aiOn, cats)
        }
        function onCurrentProductChanged() {
            win.applyProductChange()
        }
        function onRecordingChanged() {
            win.applyRecordingState()
        }
        function onRecordingTimeSecondsChanged() {
            win.applyDeviceRecordingSeconds()
        }
    }

    Timer {
        id: fontUpdateTimer

        interval: 100
        onTriggered: win.setChildrenFont(win.contentItem)
    }

    Timer {
        id: recordingDurationTimer

        objectName: "recordingDurationTimer"
        interval: 1000
        repeat: true
        onTriggered: {
            if (!win.isRecording) {
                stop()
                return
            }
            win.recordingElapsedSeconds += 1
        }
    }

    Timer {
        id: videoOutputModeSwitchResetTimer

        interval: 1800
        onTriggered: win.videoOutputModeJustSwitched = false
    }

    StackLayout {
        id: pages

        anchors.fill: parent
        currentIndex: win.runtimeIndex()

        MainPage {
            id: mainPage

            uiScale: win.uiScale
            fontFamily: win.globalFontFamily
        }

        RuntimePage {
            id: runtimePage

            win: win
        }
    }

    // Before any control reacts to a press, a zoom, angle or image field that is being edited
    // commits its text, so that the value the operator typed is the one the next command uses.
    MouseArea {
        id: pressWatcher

        anchors.fill: parent
        z: 9999
        acceptedButtons: Qt.AllButtons
        hoverEnabled: false
        onPressed: {
            runtimePage.commitFocusedGimbalField()
            runtimePage.endImageFieldEditing(pressWatcher, mouse.x, mouse.y)
            mouse.accepted = false
        }
    }
}
