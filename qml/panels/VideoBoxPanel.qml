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
    property alias streamUrl: videoPanel._streamUrl
    property alias videoItemRef: videoItem
    property alias trackingRectRef: trackingRect
    property alias streamComboRef: streamCombo
    property alias streamEditText: streamCombo.editText

    signal fullscreenToggled()
    signal trackingConfirmed(int x, int y, int w, int h)
    signal thermometryPointClicked(int px, int py)
    signal thermometryRegionClicked(int cx, int cy, int cw, int ch)

    function zhText(cn, en) {
        return language === "zh" ? cn : en
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
            }
            PanelButton {
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
            // booting looks the same as a dead one otherwise) or none is playing.
            Text {
                objectName: "streamStatusText"
                anchors.centerIn: parent
                width: parent.width - 2 * Theme.radiusSmall * videoPanel.uiScale
                horizontalAlignment: Text.AlignHCenter
                wrapMode: Text.WordWrap
                visible: videoItem.streamStatus !== "playing"
                color: Theme.textMuted
                font.pixelSize: Theme.fontLarge * videoPanel.uiScale
                text: videoItem.streamStatus === "connecting"
                      ? videoPanel.zhText("正在连接视频流…", "Connecting to the video stream…")
                      : videoPanel.zhText("无视频流", "No video stream")
            }

            Rectangle {
                id: trackingRect

                visible: false
                color: "transparent"
                border.color: Theme.accent
                border.width: 2
            }

            MouseArea {
                anchors.fill: parent
                acceptedButtons: Qt.LeftButton
                onDoubleClicked: videoPanel.fullscreenToggled()
            }
        }
    }
}
