import QtQuick 2.9
import "."

// The head-up display over the video: what decides the operator's next action, where the eyes
// already are. Along the top the recording badges (always, while anything records) and the link,
// output, tracking and SD card states; below them the yaw scale, on the left the pitch scale; along
// the bottom the attitude, zooms and laser range. Each row sits in the letter-box bar when the bar is
// tall enough and covers the picture's edge only when it is not. Everything is bindings: nothing
// runs per video frame.
Item {
    id: hud

    property real uiScale: 1
    property string language: "zh"
    // The rectangle the picture occupies, and the width the video's tool bar keeps at the top right.
    property rect picture: Qt.rect(0, 0, width, height)
    property real reservedRight: 0
    property bool shown: true
    property var win: null
    property bool outputIr: false
    property bool outputSplit: false
    // "idle", "tracking" or "lost".
    property string trackingState: "idle"
    property bool isRecording: false
    property string recordingText: ""
    // The video item's LocalCapture, or null.
    property var capture: null
    readonly property real margin: 8 * uiScale
    readonly property bool stale: appBridge.deviceSilent
    readonly property int age: appBridge.deviceSilentSeconds
    readonly property bool attitudeKnown: !isNaN(appBridge.gimbalAttitudeTime.getTime())
    readonly property bool localRecording: capture !== null && capture !== undefined && capture.recording
    // The lowest point of the picture that the bottom row leaves free (for the stream statistics).
    readonly property real pictureBottomFree: bottomRow.visible ? Math.min(picture.y + picture.height, bottomRow.y)
                                                               : picture.y + picture.height
    // The leftmost point of the picture that the pitch scale leaves free.
    readonly property real pictureLeftFree: pitchScale.visible && pitchScale.x >= picture.x
                                            ? pitchScale.x + pitchScale.width : picture.x

    function zhText(cn, en) {
        return language === "zh" ? cn : en
    }
    function degrees(value) {
        return attitudeKnown ? Number(value).toFixed(1) + "°" : "—"
    }
    function zoom(value) {
        return Number(value).toFixed(1) + "×"
    }
    function linkText() {
        if (appBridge.serialOpened)
            return zhText("链路 UART", "Link UART")
        return appBridge.udpConnected ? zhText("链路 UDP", "Link UDP") : zhText("未连接", "No link")
    }
    function outputText() {
        if (outputSplit)
            return zhText("分屏", "Split")
        return outputIr ? zhText("红外", "IR") : zhText("可见光", "EO")
    }
    function trackingText() {
        if (trackingState === "tracking")
            return zhText("跟踪中", "Tracking")
        return trackingState === "lost" ? zhText("丢失", "Lost") : zhText("跟踪空闲", "Tracking idle")
    }
    function sdText() {
        var code = appBridge.sdStatus
        return zhText("SD卡 ", "SD ") + (code < 0 ? "—" : appBridge.sdStatusName(code, language))
    }
    function flag(name, fallback) {
        return win && win[name] !== undefined ? win[name] : fallback
    }

    // Top: badges first, so that a recording is the first thing read.
    Flow {
        id: topRow

        objectName: "hudTopRow"
        x: hud.margin
        y: hud.margin
        width: Math.max(0, hud.width - hud.reservedRight - 3 * hud.margin)
        spacing: 6 * hud.uiScale

        RecordingBadge {
            objectName: "deviceRecordingBadge"
            visible: hud.isRecording
            uiScale: hud.uiScale
            label: hud.zhText("相机录像 ", "Camera REC ") + hud.recordingText
            stale: hud.stale
            ageSeconds: hud.age
            language: hud.language
        }
        RecordingBadge {
            id: localBadge

            objectName: "localRecordingBadge"
            visible: hud.localRecording
            uiScale: hud.uiScale
            language: hud.language
            label: hud.zhText("本地 ", "Local ") + "REC "
                   + localBadge.elapsedText(visible ? hud.capture.recordingSeconds : 0) + "  "
                   + localBadge.sizeText(visible ? hud.capture.recordingBytes : 0)
        }
        HudChip {
            objectName: "hudLink"
            visible: hud.shown
            uiScale: hud.uiScale
            language: hud.language
            text: hud.linkText()
        }
        HudChip {
            objectName: "hudOutput"
            visible: hud.shown
            uiScale: hud.uiScale
            language: hud.language
            text: hud.outputText()
        }
        HudChip {
            objectName: "hudTracking"
            visible: hud.shown
            uiScale: hud.uiScale
            language: hud.language
            text: hud.trackingText()
            textColor: hud.trackingState === "tracking" ? Theme.hudGood
                                                        : (hud.trackingState === "lost" ? Theme.hudWarning : Theme.hudText)
            stale: hud.stale && hud.trackingState !== "idle"
            showAge: false
        }
        HudChip {
            objectName: "hudSdCard"
            visible: hud.shown && appBridge.linkOpen
            uiScale: hud.uiScale
            language: hud.language
            text: hud.sdText()
            textColor: appBridge.sdStatus > 0 ? Theme.hudWarning : Theme.hudText
            stale: hud.stale
            showAge: false
        }
        HudChip {
            objectName: "hudTopAge"
            visible: hud.shown && hud.stale
            uiScale: hud.uiScale
            language: hud.language
            stale: true
            ageSeconds: hud.age
        }
    }

    HudScale {
        id: yawScale

        objectName: "hudYawScale"
        visible: hud.shown && hud.attitudeKnown
        uiScale: hud.uiScale
        length: Math.min(hud.picture.width * 0.45, 420 * hud.uiScale)
        x: hud.picture.x + (hud.picture.width - width) / 2
        y: Math.max(topRow.y + topRow.height + hud.margin, hud.margin)
        minimum: -180
        maximum: 180
        step: 45
        value: appBridge.gimbalYaw
        stale: hud.stale
    }

    HudScale {
        id: pitchScale

        objectName: "hudPitchScale"
        visible: hud.shown && hud.attitudeKnown
        vertical: true
        uiScale: hud.uiScale
        length: Math.min(hud.picture.height * 0.45, 260 * hud.uiScale)
        x: hud.picture.x >= thickness + 2 * hud.margin ? hud.picture.x - thickness - hud.margin
                                                       : hud.picture.x + hud.margin
        y: hud.picture.y + (hud.picture.height - length) / 2
        minimum: -90
        maximum: 90
        step: 30
        value: appBridge.gimbalPitch
        stale: hud.stale
    }

    // A device that went quiet: said over the picture until its next frame.
    Rectangle {
        objectName: "hudSilentBanner"
        visible: hud.stale
        x: hud.picture.x + (hud.picture.width - width) / 2
        y: Math.max(hud.picture.y + hud.margin,
                    (yawScale.visible ? yawScale.y + yawScale.height : topRow.y + topRow.height) + hud.margin)
        width: Math.min(hud.picture.width - 2 * hud.margin, bannerText.implicitWidth + 24 * hud.uiScale)
        height: bannerText.implicitHeight + 10 * hud.uiScale
        radius: Theme.radiusSmall * hud.uiScale
        color: Theme.silentBannerFill

        Text {
            id: bannerText

            objectName: "hudSilentText"
            anchors.centerIn: parent
            width: parent.width - 12 * hud.uiScale
            horizontalAlignment: Text.AlignHCenter
            wrapMode: Text.WordWrap
            color: Theme.silentBannerText
            font.pixelSize: Theme.fontLarge * hud.uiScale
            font.bold: true
            text: hud.zhText("设备无数据 " + hud.age + " 秒", "No data from device for " + hud.age + " s")
        }
    }

    // Bottom: in the lower bar when it is tall enough, else over the picture's bottom edge.
    Flow {
        id: bottomRow

        readonly property real barHeight: hud.height - hud.picture.y - hud.picture.height

        objectName: "hudBottomRow"
        visible: hud.shown
        x: hud.margin
        y: barHeight >= height + 2 * hud.margin ? hud.picture.y + hud.picture.height + (barHeight - height) / 2
                                                : hud.height - height - hud.margin
        width: Math.max(0, hud.width - 2 * hud.margin)
        spacing: 6 * hud.uiScale

        HudChip {
            objectName: "hudPitch"
            uiScale: hud.uiScale
            language: hud.language
            text: hud.zhText("俯仰 ", "Pitch ") + hud.degrees(appBridge.gimbalPitch)
            stale: hud.stale && hud.attitudeKnown
            showAge: false
        }
        HudChip {
            objectName: "hudYaw"
            uiScale: hud.uiScale
            language: hud.language
            text: hud.zhText("方位 ", "Yaw ") + hud.degrees(appBridge.gimbalYaw)
            stale: hud.stale && hud.attitudeKnown
            showAge: false
        }
        HudChip {
            objectName: "hudRoll"
            uiScale: hud.uiScale
            language: hud.language
            text: hud.zhText("横滚 ", "Roll ") + hud.degrees(appBridge.gimbalRoll)
            stale: hud.stale && hud.attitudeKnown
            showAge: false
        }
        HudChip {
            objectName: "hudVisibleZoom"
            uiScale: hud.uiScale
            language: hud.language
            text: hud.zhText("可见光 ", "EO ") + hud.zoom(appBridge.currentVisibleZoom)
            stale: hud.stale
            showAge: false
        }
        HudChip {
            objectName: "hudIrZoom"
            visible: !hud.flag("hasVisibleOnlyCamera", false)
            uiScale: hud.uiScale
            language: hud.language
            text: hud.zhText("红外 ", "IR ") + hud.zoom(appBridge.currentIrZoom)
            stale: hud.stale
            showAge: false
        }
        HudChip {
            objectName: "hudLaser"
            visible: hud.flag("hasRangeRead", true)
            uiScale: hud.uiScale
            language: hud.language
            text: hud.zhText("测距 ", "Range ")
                  + (appBridge.laserRangeValid ? Number(appBridge.laserRangeDistance).toFixed(1) + " m" : "—")
            stale: hud.stale && appBridge.laserRangeValid
            showAge: false
        }
        HudChip {
            objectName: "hudBottomAge"
            visible: hud.shown && hud.stale
            uiScale: hud.uiScale
            language: hud.language
            stale: true
            ageSeconds: hud.age
        }
    }
}
