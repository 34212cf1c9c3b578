import QtQuick 2.9
import QtQuick.Controls 2.2
import "."

// Over the video: the context menu with the snapshot, and the messages about local recordings and
// snapshots for the message log (the recording's badge is on the head-up display's top row). Takes
// right clicks only; everything else reaches the items below.
Item {
    id: overlay

    property real uiScale: 1
    property string language: "zh"
    property var capture: null
    readonly property bool available: capture !== null && capture !== undefined

    function zhText(cn, en) {
        return language === "zh" ? cn : en
    }

    MouseArea {
        objectName: "videoContextArea"
        anchors.fill: parent
        acceptedButtons: Qt.RightButton
        onClicked: videoMenu.popup()
    }

    Menu {
        id: videoMenu

        MenuItem {
            objectName: "snapshotMenuItem"
            enabled: overlay.available
            text: overlay.zhText("截图", "Snapshot")
            onTriggered: overlay.capture.saveSnapshot()
        }
    }

    Connections {
        target: overlay.capture
        ignoreUnknownSignals: true
        function onCaptureEvent(kind, path, detail) {
            appBridge.reportLocalCapture(kind, path, detail)
        }
    }
}
