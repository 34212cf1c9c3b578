import QtQuick 2.9
import "."

// Keyboard shortcuts and the gamepad on the runtime page. Both end in the calls the panels make:
// directions go through the gimbal tab's one hold (move at once, the 33 ms repeat, exactly one
// stop, nothing while tracking), the rest through the same controller commands as the buttons.
Item {
    id: router

    property var win
    property var gimbalPanel
    property var helpOverlay
    // The item that takes the focus back when the operator leaves a text field with Esc.
    property var page
    property bool upHeld: false
    property bool downHeld: false
    property bool leftHeld: false
    property bool rightHeld: false
    property bool padZooming: false
    readonly property var pad: typeof gamepad !== "undefined" ? gamepad : null
    readonly property bool linked: appBridge.linkOpen
    // Input counts only on the runtime page of the window the operator is working in.
    readonly property bool live: appBridge.runtimePage && win && win.active

    // A control that takes typed text keeps every key: no shortcut may fire while one has focus.
    function isTextEntry(item) {
        return item !== null && item !== undefined && item.cursorPosition !== undefined
    }

    function setArrow(key, down) {
        if (key === Qt.Key_Up)
            upHeld = down
        else if (key === Qt.Key_Down)
            downHeld = down
        else if (key === Qt.Key_Left)
            leftHeld = down
        else if (key === Qt.Key_Right)
            rightHeld = down
        else
            return false
        return true
    }

    // Two arrows held together steer diagonally; the last one let go stops.
    function steerByKeys() {
        var yaw = (rightHeld ? 1 : 0) - (leftHeld ? 1 : 0)
        var pitch = (downHeld ? 1 : 0) - (upHeld ? 1 : 0)
        if (yaw === 0 && pitch === 0)
            gimbalPanel.endMove("keys")
        else
            gimbalPanel.startMove(yaw, pitch, "keys")
    }

    // Focus, pad or link lost: whatever steers or zooms ends, with one stop while a link is open.
    function dropHolds() {
        upHeld = downHeld = leftHeld = rightHeld = false
        if (pad)
            pad.releaseAll()
        gimbalPanel.endMove("", true)
    }

    // The window's recording state follows the controller, which changes it only once the command
    // went out.
    function toggleRecording() {
        appBridge.toggleRecord()
    }

    function centre() {
        if (!win.trackingEnabled)
            appBridge.gimbalHome()
    }

    function lookDown() {
        if (!win.trackingEnabled)
            appBridge.gimbalDown()
    }

    // True when the key was a shortcut.
    function runShortcut(key) {
        switch (key) {
        case Qt.Key_Home: centre(); return true
        case Qt.Key_End: lookDown(); return true
        case Qt.Key_Plus:
        case Qt.Key_Equal: gimbalPanel.stepZoom(1); return true
        case Qt.Key_Minus:
        case Qt.Key_Underscore: gimbalPanel.stepZoom(-1); return true
        case Qt.Key_P: appBridge.takePhoto(); return true
        case Qt.Key_R: toggleRecording(); return true
        case Qt.Key_F: win.videoFullscreen = !win.videoFullscreen; return true
        case Qt.Key_H: appBridge.showHud = !appBridge.showHud; return true
        case Qt.Key_F1: helpOverlay.visible = !helpOverlay.visible; return true
        case Qt.Key_Escape:
            helpOverlay.visible = false
            win.videoFullscreen = false
            return true
        }
        return false
    }

    function keyPressed(event) {
        if (!appBridge.runtimePage)
            return
        if (isTextEntry(win.activeFocusItem)) {
            if (event.key === Qt.Key_Escape) {
                page.forceActiveFocus()
                event.accepted = true
            }
            return
        }
        if (setArrow(event.key, true)) {
            event.accepted = true
            if (!event.isAutoRepeat)
                steerByKeys()
            return
        }
        // Shortcuts are plain keys (Shift only for "+"): Ctrl+R and the like stay the system's.
        if (event.modifiers & (Qt.ControlModifier | Qt.AltModifier | Qt.MetaModifier))
            return
        // A held zoom key keeps stepping; any other shortcut acts once per press.
        var repeatable = [Qt.Key_Plus, Qt.Key_Equal, Qt.Key_Minus, Qt.Key_Underscore].indexOf(event.key) >= 0
        if (event.isAutoRepeat && !repeatable)
            return
        event.accepted = runShortcut(event.key)
    }

    // A release ends the keyboard's hold wherever the focus has gone in the meantime.
    function keyReleased(event) {
        if (event.isAutoRepeat || !setArrow(event.key, false))
            return
        event.accepted = true
        steerByKeys()
    }

    function padButton(action) {
        if (!live)
            return
        if (action === "home")
            centre()
        else if (action === "down")
            lookDown()
        else if (action === "photo")
            appBridge.takePhoto()
        else if (action === "record")
            toggleRecording()
        else if (action === "trackingOff" && win.trackingEnabled) {
            win.trackingEnabled = false
            win.hideTrackingRect()
            appBridge.setTracking(false, 0, 0, 1, 1)
        }
    }

    // Continuous zoom as "Zoom In"/"Zoom Out" on the gimbal tab: 0 only ends a zoom the pad began.
    function padZoom(action) {
        if (action !== 0 && live) {
            padZooming = true
            appBridge.cameraZoom(action)
        } else if (action === 0 && padZooming) {
            padZooming = false
            appBridge.cameraZoom(0)
        }
    }

    Connections {
        target: router.pad
        ignoreUnknownSignals: true

        function onDirectionHeld(yaw, pitch) {
            if (router.live)
                router.gimbalPanel.startMove(yaw, pitch, "pad")
        }
        function onDirectionReleased() {
            router.gimbalPanel.endMove("pad", true)
        }
        function onZoomChanged(action) {
            router.padZoom(action)
        }
        function onButtonPressed(action) {
            router.padButton(action)
        }
    }

    Connections {
        target: router.win

        function onActiveChanged() {
            if (!router.win.active)
                router.dropHolds()
        }
    }

    Connections {
        target: appBridge

        function onUdpConnectedChanged() {
            if (!router.linked)
                router.dropHolds()
        }
        function onSerialOpenedChanged() {
            if (!router.linked)
                router.dropHolds()
        }
        function onDeviceSilentChanged() {
            if (appBridge.deviceSilent)
                router.dropHolds()
        }
        function onRuntimePageChanged() {
            if (appBridge.runtimePage)
                router.page.forceActiveFocus()
            else
                router.dropHolds()
        }
    }
}
