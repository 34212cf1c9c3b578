import QtQuick 2.9
import "."

// The capture controls on the picture: photo or video mode, the shutter and the recording time.
// A card fault or a missing card replaces them with its picture, since nothing can be stored.
Rectangle {
    id: overlay

    property real uiScale: 1
    property string captureMode: "video"
    property bool isRecording: false
    property string recordingText: ""
    property int sdStatus: -1
    property string language: "zh"

    signal captureModeChosen(string mode)
    signal shutterPressed()

    function chooseVideo() {
        captureModeChosen("video")
        appBridge.setCameraMode(true)
    }

    // Switching to photos while a recording runs would leave the recording without its controls.
    function choosePhoto() {
        if (isRecording)
            return
        captureModeChosen("photo")
        appBridge.setCameraMode(false)
    }

    width: 76 * uiScale
    height: 170 * uiScale
    z: 30
    radius: Theme.radiusLarge * uiScale
    color: Theme.hudBacking

    Column {
        anchors.centerIn: parent
        spacing: 8 * overlay.uiScale
        visible: overlay.sdStatus <= 0

        Image {
            objectName: "videoModeButton"
            anchors.horizontalCenter: parent.horizontalCenter
            width: 28 * overlay.uiScale
            height: width
            fillMode: Image.PreserveAspectFit
            source: overlay.captureMode === "video" ? "qrc:/icon/png/recorder_blue.png" : "qrc:/icon/png/recorder.png"

            MouseArea {
                anchors.fill: parent
                onClicked: overlay.chooseVideo()
            }
        }
        Image {
            objectName: "photoModeButton"
            anchors.horizontalCenter: parent.horizontalCenter
            width: 28 * overlay.uiScale
            height: width
            fillMode: Image.PreserveAspectFit
            opacity: overlay.isRecording ? 0.4 : 1
            source: overlay.captureMode === "photo" ? "qrc:/icon/png/camera_blue.png" : "qrc:/icon/png/camera.png"

            MouseArea {
                anchors.fill: parent
                onClicked: overlay.choosePhoto()
            }
        }
        Rectangle {
            anchors.horizontalCenter: parent.horizontalCenter
            width: 44 * overlay.uiScale
            height: width
            radius: width / 2
            color: "transparent"
            border.color: Theme.knob
            border.width: 3 * overlay.uiScale

            Rectangle {
                anchors.centerIn: parent
                width: overlay.isRecording && overlay.captureMode === "video" ? parent.width * 0.4 : parent.width - 12
                                                                                                    * overlay.uiScale
                height: width
                radius: overlay.isRecording && overlay.captureMode === "video" ? 3 * overlay.uiScale : width / 2
                color: overlay.captureMode === "video" ? Theme.recordRed : Theme.knob
            }
            MouseArea {
                id: shutterMouse

                objectName: "shutterMouse"
                anchors.fill: parent
                onClicked: overlay.shutterPressed()
            }
        }
        Text {
            objectName: "recordingTime"
            anchors.horizontalCenter: parent.horizontalCenter
            visible: overlay.isRecording && overlay.captureMode === "video"
            color: Theme.recordBadgeText
            font.pixelSize: Theme.fontNormal * overlay.uiScale
            font.bold: true
            text: overlay.recordingText
        }
    }

    Column {
        anchors.centerIn: parent
        spacing: 6 * overlay.uiScale
        visible: overlay.sdStatus > 0

        Image {
            objectName: "sdPicture"
            anchors.horizontalCenter: parent.horizontalCenter
            width: overlay.width - 12 * overlay.uiScale
            height: width
            fillMode: Image.PreserveAspectFit
            source: overlay.sdStatus === 3 ? "qrc:/icon/png/sd_none.png" : "qrc:/icon/png/SD_EROR.png"
        }
        Text {
            objectName: "sdStateText"
            width: overlay.width - 8 * overlay.uiScale
            horizontalAlignment: Text.AlignHCenter
            wrapMode: Text.WordWrap
            color: Theme.textOnAccent
            // Readable over a bright picture too.
            style: Text.Outline
            styleColor: Theme.videoBackground
            font.pixelSize: Theme.fontSmall * overlay.uiScale
            text: appBridge.sdStatusName(overlay.sdStatus, overlay.language)
        }
    }
}
