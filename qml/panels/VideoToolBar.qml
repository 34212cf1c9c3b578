import QtQuick 2.9
import QtQuick.Controls 2.2
import "."

// The video's own tools on this computer: record, snapshot (the camera's own shutter and SD card are
// elsewhere), the stream health overlay's switch and the head-up display's. Without a backend that can offer them they are
// disabled and a tooltip says why.
Item {
    id: bar

    property real uiScale: 1
    property string language: "zh"
    // The video item's LocalCapture, or null.
    property var capture: null
    property bool statsShown: false
    property bool hudShown: true
    readonly property bool available: capture !== null && capture !== undefined

    signal statsToggled(bool shown)
    signal hudToggled(bool shown)

    function zhText(cn, en) {
        return language === "zh" ? cn : en
    }

    implicitWidth: buttons.implicitWidth
    implicitHeight: buttons.implicitHeight

    Row {
        id: buttons

        spacing: 8 * bar.uiScale

        PanelButton {
            id: recordButton

            readonly property bool stopping: bar.available && bar.capture.recording

            objectName: "localRecordButton"
            uiScale: bar.uiScale
            enabled: bar.available
            text: stopping ? bar.zhText("停止本地录像", "Stop Local Rec") : bar.zhText("本地录像", "Local Rec")
            onClicked: bar.capture.toggleRecording()

            // Stopping a recording is the one risky action here: the danger colour says so.
            Rectangle {
                anchors.fill: parent
                z: 1  // over the button's own face and text
                visible: recordButton.stopping
                radius: Theme.radiusSmall * bar.uiScale
                color: recordButton.pressed ? Theme.recordStopPressed : Theme.recordStopFill

                Text {
                    anchors.centerIn: parent
                    text: recordButton.text
                    font: recordButton.font
                    color: Theme.recordBadgeText
                }
            }
        }
        PanelButton {
            objectName: "snapshotButton"
            uiScale: bar.uiScale
            enabled: bar.available
            text: bar.zhText("截图", "Snapshot")
            onClicked: bar.capture.saveSnapshot()
        }
        PanelButton {
            objectName: "streamStatsButton"
            uiScale: bar.uiScale
            enabled: bar.available
            checked: bar.statsShown
            text: bar.zhText("码流信息", "Stats")
            onClicked: bar.statsToggled(!bar.statsShown)
        }
        // Works with any backend: the display reads the controller, not the stream.
        PanelButton {
            id: hudButton

            objectName: "hudButton"
            uiScale: bar.uiScale
            checked: bar.hudShown
            text: bar.zhText("抬头显示", "HUD")
            onClicked: bar.hudToggled(!bar.hudShown)
        }
    }

    // Disabled buttons see no hover, so the explanation hangs on an area above them.
    MouseArea {
        id: unavailableHover

        objectName: "localCaptureUnavailableHover"
        width: hudButton.x
        height: parent.height
        enabled: !bar.available
        hoverEnabled: true
        acceptedButtons: Qt.NoButton
        ToolTip.visible: enabled && containsMouse
        ToolTip.delay: 300
        ToolTip.text: bar.zhText("本地录像、截图和码流信息需要 FFmpeg 视频后端 (配置项 Video/Backend=ffmpeg)",
                                 "Local recording, snapshots and stream info need the FFmpeg video backend (Video/Backend=ffmpeg)")
    }
}
