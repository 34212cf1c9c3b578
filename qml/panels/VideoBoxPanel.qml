import QtQuick 2.9
import QtQuick.Controls 2.2
import QtQuick.Layouts 1.3
import Skyvane 1.0
import "."

// The right-hand side of the runtime page: the RTSP address bar and the live video.
PanelBox {
    id: videoPanel

    property string fontFamily: ""
    property string language: "zh"
    property bool trackingEnabled: false
    property bool videoFullscreen: false
    property string captureMode: "video"
    property bool isRecording: false
    property int recordingElapsedSeconds: 0
    property bool draftBoxForThermometry: false
    property int trackingProtoX: 0
    property int trackingProtoY: 0
    property int trackingProtoW: 0
    property int trackingProtoH: 0
    property bool videoOutputIrChecked: false
    property bool videoOutputSplitChecked: false
    property bool videoOutputVisibleChecked: true
    property string _streamUrl: ""
    // The main window, for the product's capability flags the head-up display needs.
    property var win: null
    property alias streamUrl: videoPanel._streamUrl
    property alias videoItemRef: videoItem
    property alias trackingRectRef: trackingRect
    property alias streamComboRef: streamCombo
    property alias streamEditText: streamCombo.editText

    signal fullscreenToggled()
    signal trackingConfirmed(int x, int y, int w, int h)
    signal thermometryPointClicked(int px, int py)
    signal thermometryRegionClicked(int cx, int cy, int cw, int ch)
    // The operator's capture choices; the main window keeps the capture state.
    signal captureModeChosen(string mode)

    function zhText(cn, en) {
        return language === "zh" ? cn : en
    }

    readonly property bool thermometryDrawing: videoOutputIrChecked && appBridge.irTempMeasureOn
    readonly property bool drawingEnabled: !videoOutputSplitChecked && (trackingEnabled || thermometryDrawing)
    // Device frames: tracking boxes are given in 1920 x 1088, thermometry in 1920 x 1080.
    readonly property int frameWidth: 1920
    readonly property int trackingFrameHeight: 1088
    readonly property int thermometryFrameHeight: 1080
    readonly property int clickThreshold: 5
    property string recordingText: ""
    // The device reported the tracked target lost: shown for a while, until tracking starts again.
    property bool trackerLost: false
    property bool trackingWasOn: false
    readonly property string trackingState: trackingEnabled ? "tracking" : (trackerLost ? "lost" : "idle")

    onTrackingEnabledChanged: {
        if (trackingEnabled) {
            trackerLost = false
            trackingWasOn = true
        } else {
            Qt.callLater(function () { videoPanel.trackingWasOn = videoPanel.trackingEnabled })
        }
    }

    function picture() {
        return videoItem.contentRect
    }

    function insidePicture(x, y) {
        var cr = picture()
        return cr.width > 0 && cr.height > 0 && x >= cr.x && x <= cr.x + cr.width && y >= cr.y
                && y <= cr.y + cr.height
    }

    function clampToPicture(x, y) {
        var cr = picture()
        return Qt.point(Math.max(cr.x, Math.min(cr.x + cr.width, x)), Math.max(cr.y, Math.min(cr.y + cr.height, y)))
    }

    // The box on screen in the tracking frame.
    function trackingBox() {
        var cr = picture()
        return {
            x: Math.round((trackingRect.x - cr.x) * frameWidth / cr.width),
            y: Math.round((trackingRect.y - cr.y) * trackingFrameHeight / cr.height),
            w: Math.max(1, Math.round(trackingRect.width * frameWidth / cr.width)),
            h: Math.max(1, Math.round(trackingRect.height * trackingFrameHeight / cr.height))
        }
    }

    function storeTrackingBox(box) {
        trackingProtoX = box.x
        trackingProtoY = box.y
        trackingProtoW = box.w
        trackingProtoH = box.h
    }

    // Lost only when the report actually ended the tracking (the window ignores it for a moment
    // after an output switch).
    function noteTrackerReport(isOn) {
        if (isOn || !trackingWasOn)
            return
        Qt.callLater(function () {
            if (!videoPanel.trackingEnabled) {
                videoPanel.trackerLost = true
                lostShownTimer.restart()
            }
        })
    }

    function startBox(x, y) {
        trackingRect.visible = false
        trackingMouseArea.drawing = insidePicture(x, y)
        if (!trackingMouseArea.drawing)
            return
        draftBoxForThermometry = thermometryDrawing
        var start = clampToPicture(x, y)
        videoItem.dragStartX = start.x
        videoItem.dragStartY = start.y
        trackingRect.x = start.x
        trackingRect.y = start.y
        trackingRect.width = 0
        trackingRect.height = 0
    }

    function growBox(x, y) {
        if (!trackingMouseArea.drawing)
            return
        var end = clampToPicture(x, y)
        trackingRect.x = Math.min(videoItem.dragStartX, end.x)
        trackingRect.y = Math.min(videoItem.dragStartY, end.y)
        trackingRect.width = Math.abs(end.x - videoItem.dragStartX)
        trackingRect.height = Math.abs(end.y - videoItem.dragStartY)
        if (trackingRect.width >= clickThreshold && trackingRect.height >= clickThreshold)
            trackingRect.visible = true
    }

    function finishBox(x, y) {
        if (!trackingMouseArea.drawing)
            return
        trackingMouseArea.drawing = false
        growBox(x, y)
        if (trackingRect.width < clickThreshold || trackingRect.height < clickThreshold) {
            trackingRect.visible = false
            if (thermometryDrawing) {
                var cr = picture()
                var end = clampToPicture(x, y)
                thermometryPointClicked(Math.round((end.x - cr.x) * frameWidth / cr.width),
                                        Math.round((end.y - cr.y) * thermometryFrameHeight / cr.height))
            }
            return
        }
        storeTrackingBox(trackingBox())
    }

    function confirmBox() {
        var box = trackingBox()
        if (draftBoxForThermometry) {
            var ratio = thermometryFrameHeight / trackingFrameHeight
            thermometryRegionClicked(Math.round(box.x + box.w / 2), Math.round((box.y + box.h / 2) * ratio),
                                     Math.max(1, box.w), Math.max(1, Math.round(box.h * ratio)))
        } else {
            storeTrackingBox(box)
            trackingConfirmed(box.x, box.y, box.w, box.h)
        }
        trackingRect.visible = false
    }

    function applyStreamUrl() {
        var text = streamCombo.editText.trim()
        if (text.length === 0)
            return
        _streamUrl = text
        videoItem.url = text
        videoItem.open()
        appBridge.rememberStreamUrl(text)
    }

    padding: videoFullscreen ? 0 : 8 * uiScale
    font.family: fontFamily

    Connections {
        target: appBridge
        function onTrackingStateFromDevice(isOn) {
            videoPanel.noteTrackerReport(isOn)
        }
        function onTrackingResetRequested() {
            videoPanel.trackerLost = false
        }
    }

    Timer {
        id: lostShownTimer

        interval: 10000
        onTriggered: videoPanel.trackerLost = false
    }

    ColumnLayout {
        anchors.fill: parent
        spacing: 8 * videoPanel.uiScale

        RowLayout {
            Layout.fillWidth: true
            visible: !videoPanel.videoFullscreen
            spacing: 8 * videoPanel.uiScale

            FieldLabel {
                uiScale: videoPanel.uiScale
                text: videoPanel.zhText("视频拉流地址:", "RTSP URL:")
            }
            ComboBox {
                id: streamCombo

                objectName: "streamCombo"
                Layout.fillWidth: true
                Layout.minimumWidth: 160 * videoPanel.uiScale
                implicitHeight: Theme.controlHeight * videoPanel.uiScale
                font.pixelSize: Theme.fontNormal * videoPanel.uiScale
                editable: true
                model: appBridge.streamHistory
                // A picked row goes into the edit field; Apply plays it.
                onActivated: editText = textAt(index)

                // The field holds the real address (played and stored); while the operator is not
                // editing it, what shows is the address with its password as dots.
                contentItem: TextField {
                    id: streamField

                    objectName: "streamUrlField"
                    leftPadding: 12 * videoPanel.uiScale
                    rightPadding: 4 * videoPanel.uiScale
                    topPadding: 0
                    bottomPadding: 0
                    font: streamCombo.font
                    text: streamCombo.editText
                    selectByMouse: true
                    verticalAlignment: Text.AlignVCenter
                    color: activeFocus ? Theme.textPrimary : "transparent"
                    background: Rectangle {
                        color: Theme.panelBackground
                        border.width: streamField.activeFocus ? 2 : 1
                        border.color: streamField.activeFocus ? Theme.fieldBorderFocus : Theme.panelBorder
                    }

                    Text {
                        objectName: "streamUrlShown"
                        anchors.fill: parent
                        leftPadding: streamField.leftPadding
                        rightPadding: streamField.rightPadding
                        verticalAlignment: Text.AlignVCenter
                        visible: !streamField.activeFocus
                        elide: Text.ElideRight
                        font: streamField.font
                        color: Theme.textPrimary
                        text: appBridge.maskedUrl(streamField.text)
                    }
                }

                delegate: ItemDelegate {
                    objectName: "streamHistoryRow" + index
                    width: streamCombo.width
                    font: streamCombo.font
                    text: appBridge.maskedUrl(modelData)
                    rightPadding: removeRow.width + 8 * videoPanel.uiScale
                    highlighted: streamCombo.highlightedIndex === index

                    Text {
                        id: removeRow

                        anchors.right: parent.right
                        anchors.rightMargin: 6 * videoPanel.uiScale
                        anchors.verticalCenter: parent.verticalCenter
                        text: "×"
                        color: Theme.textMuted
                        font.pixelSize: Theme.fontLarge * videoPanel.uiScale

                        MouseArea {
                            objectName: "streamHistoryRemove" + index
                            anchors.fill: parent
                            anchors.margins: -4 * videoPanel.uiScale
                            onClicked: appBridge.removeStreamUrl(modelData)
                        }
                    }
                }
            }
            PanelButton {
                objectName: "streamApplyButton"
                uiScale: videoPanel.uiScale
                text: videoPanel.zhText("设置", "Apply")
                onClicked: videoPanel.applyStreamUrl()
            }
            PanelButton {
                uiScale: videoPanel.uiScale
                text: videoPanel.videoFullscreen ? videoPanel.zhText("退出全屏", "Exit Fullscreen")
                                                 : videoPanel.zhText("全屏", "Fullscreen")
                onClicked: videoPanel.fullscreenToggled()
            }
        }

        Rectangle {
            id: videoFrame

            Layout.fillWidth: true
            Layout.fillHeight: true
            color: Theme.videoBackground
            radius: videoPanel.videoFullscreen ? 0 : Theme.radiusSmall * videoPanel.uiScale
            clip: true

            FFmpegItem {
                id: videoItem

                objectName: "videoItem"
                property real dragStartX: 0
                property real dragStartY: 0

                anchors.fill: parent
            }

            // Until a picture is shown, say whether a stream is being opened (a camera that is still
            // booting looks the same as a dead one otherwise) or none is playing; over a frozen
            // picture, that the stream went away and when it is tried again.
            StreamNotice {
                objectName: "streamNotice"
                anchors.centerIn: parent
                z: 3
                uiScale: videoPanel.uiScale
                language: videoPanel.language
                streamStatus: videoItem.streamStatus
                reconnectInSeconds: videoItem.reconnectInSeconds
                streamProblem: videoItem.streamProblem
            }

            // A refused stream is also told in the message log, once each time it is refused.
            Connections {
                target: videoItem
                function onStreamProblemChanged() {
                    if (videoItem.streamProblem.kind)
                        appBridge.reportLocalCapture(videoItem.streamProblem.kind, "", videoItem.streamProblem.detail)
                }
            }

            // Over the video's top-right corner: the address bar has no width to spare.
            VideoToolBar {
                id: toolBar

                anchors.top: parent.top
                anchors.right: parent.right
                anchors.margins: 8 * videoPanel.uiScale
                z: 4
                uiScale: videoPanel.uiScale
                language: videoPanel.language
                capture: videoItem.capture
                statsShown: appBridge.showStreamStats
                hudShown: appBridge.showHud
                onStatsToggled: appBridge.showStreamStats = shown
                onHudToggled: appBridge.showHud = shown
            }

            HudOverlay {
                id: hud

                objectName: "hudOverlay"
                anchors.fill: parent
                z: 3
                uiScale: videoPanel.uiScale
                language: videoPanel.language
                picture: videoItem.contentRect
                reservedRight: toolBar.width + 8 * videoPanel.uiScale
                shown: appBridge.showHud
                win: videoPanel.win
                outputIr: videoPanel.videoOutputIrChecked
                outputSplit: videoPanel.videoOutputSplitChecked
                trackingState: videoPanel.trackingState
                isRecording: videoPanel.isRecording
                recordingText: videoPanel.recordingText
                capture: videoItem.capture
            }

            StreamStatsOverlay {
                objectName: "streamStatsOverlay"
                x: hud.pictureLeftFree + 6 * videoPanel.uiScale
                y: hud.pictureBottomFree - height - 6 * videoPanel.uiScale
                z: 3
                visible: appBridge.showStreamStats && videoItem.streamStatsAvailable
                uiScale: videoPanel.uiScale
                language: videoPanel.language
                stats: videoItem.streamStats
            }

            MouseArea {
                anchors.fill: parent
                acceptedButtons: Qt.LeftButton
                onDoubleClicked: videoPanel.fullscreenToggled()
            }

            LocalCaptureOverlay {
                anchors.fill: parent
                uiScale: videoPanel.uiScale
                language: videoPanel.language
                capture: videoItem.capture
            }

            ThermometryOverlay {
                objectName: "thermometryOverlay"
                anchors.fill: parent
                z: 1  // its remove button stays above the drawing area
                visible: videoPanel.thermometryDrawing
                uiScale: videoPanel.uiScale
                language: videoPanel.language
                picture: videoItem.contentRect
            }

            // Drawing on the picture: a drag draws the box to track or to measure; a click (under
            // five pixels either way) measures one point when thermometry is on.
            MouseArea {
                id: trackingMouseArea

                property bool drawing: false

                objectName: "trackingMouseArea"
                anchors.fill: parent
                acceptedButtons: Qt.LeftButton
                enabled: videoPanel.drawingEnabled
                cursorShape: enabled ? Qt.CrossCursor : Qt.ArrowCursor
                onPressed: videoPanel.startBox(mouse.x, mouse.y)
                onPositionChanged: videoPanel.growBox(mouse.x, mouse.y)
                onReleased: videoPanel.finishBox(mouse.x, mouse.y)
                onDoubleClicked: videoPanel.fullscreenToggled()
            }

            // The box being drawn: dashed until confirmed, with its confirm and cancel buttons below it
            // (or inside its bottom edge when the box reaches the frame's bottom).
            Item {
                id: trackingRect

                objectName: "trackingRect"
                z: 2
                visible: false

                HudDraftBox {
                    anchors.fill: parent
                    uiScale: videoPanel.uiScale
                }
                Row {
                    x: Math.max(-trackingRect.x, parent.width - width)
                    y: trackingRect.y + trackingRect.height + height + 4 * videoPanel.uiScale <= videoFrame.height
                       ? trackingRect.height + 4 * videoPanel.uiScale
                       : trackingRect.height - height - 4 * videoPanel.uiScale
                    spacing: 4 * videoPanel.uiScale

                    HudBoxButton {
                        objectName: "confirmTrackMouse"
                        uiScale: videoPanel.uiScale
                        glyph: "✓"
                        fill: Theme.confirmFill
                        onClicked: videoPanel.confirmBox()
                    }
                    HudBoxButton {
                        objectName: "cancelTrackMouse"
                        uiScale: videoPanel.uiScale
                        glyph: "✕"
                        fill: Theme.cancelFill
                        onClicked: trackingRect.visible = false
                    }
                }
            }

            HudTrackedBox {
                objectName: "trackedBox"
                z: 2
                visible: (videoPanel.trackingEnabled || videoPanel.trackerLost) && videoPanel.trackingProtoW > 0
                         && videoPanel.trackingProtoH > 0 && !trackingRect.visible
                uiScale: videoPanel.uiScale
                language: videoPanel.language
                picture: videoItem.contentRect
                boxX: videoPanel.trackingProtoX
                boxY: videoPanel.trackingProtoY
                boxW: videoPanel.trackingProtoW
                boxH: videoPanel.trackingProtoH
                lost: !videoPanel.trackingEnabled
                stale: appBridge.deviceSilent
                ageSeconds: appBridge.deviceSilentSeconds
            }

            CaptureOverlay {
                objectName: "captureOverlay"
                anchors.right: parent.right
                anchors.rightMargin: 12 * videoPanel.uiScale
                anchors.verticalCenter: parent.verticalCenter
                visible: appBridge.linkOpen
                uiScale: videoPanel.uiScale
                captureMode: videoPanel.captureMode
                isRecording: videoPanel.isRecording
                recordingText: videoPanel.recordingText
                language: videoPanel.language
                sdStatus: appBridge.sdStatus
                onCaptureModeChosen: videoPanel.captureModeChosen(mode)
                // Recording shows once the controller has sent the command (isRecording follows it).
                onShutterPressed: {
                    if (videoPanel.captureMode === "video")
                        appBridge.toggleRecord()
                    else
                        appBridge.takePhoto()
                }
            }
        }
    }
}
