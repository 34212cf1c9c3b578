import QtQuick 2.9
import QtQuick.Controls 2.2
import QtQuick.Layouts 1.3
import "."

// Shows the controller's message log. The log only grows between clears, so the view appends
// what is new instead of copying the whole log again; a cleared or replaced log (a new
// generation) is copied once.
PanelBox {
    id: logPanel

    property string fontFamily: ""
    property string language: "zh"
    // How much of the controller's log the text area holds, and of which generation.
    property int _lastLogLength: 0
    property int _lastLogGeneration: -1

    function zhText(cn, en) {
        return language === "zh" ? cn : en
    }

    function syncMessageLog() {
        var generation = appBridge.messageLogGeneration
        var length = appBridge.messageLogLength
        if (generation !== _lastLogGeneration || length < _lastLogLength) {
            messageLogArea.text = appBridge.messageLog
        } else if (length > _lastLogLength) {
            messageLogArea.insert(messageLogArea.length, appBridge.messageLogSince(_lastLogLength))
        } else {
            return
        }
        _lastLogGeneration = generation
        _lastLogLength = length
        // The text area lays out the new lines first; then the end is where it belongs.
        Qt.callLater(scrollToEnd)
    }

    function scrollToEnd() {
        var flick = messageLogScroll.contentItem
        if (flick.contentHeight > flick.height)
            flick.contentY = flick.contentHeight - flick.height
    }

    font.family: fontFamily

    Component.onCompleted: syncMessageLog()

    Connections {
        target: appBridge
        function onMessageLogChanged() {
            logPanel.syncMessageLog()
        }
    }

    // A safety net for a change signal that did not arrive; it compares two numbers only.
    Timer {
        id: messageLogSyncTimer

        interval: 300
        repeat: true
        running: true
        onTriggered: logPanel.syncMessageLog()
    }

    ColumnLayout {
        anchors.fill: parent
        spacing: 6 * logPanel.uiScale

        RowLayout {
            Layout.fillWidth: true

            Text {
                Layout.fillWidth: true
                text: logPanel.zhText("消息", "Message")
                font.pixelSize: Theme.fontLarge * logPanel.uiScale
                font.bold: true
                color: Theme.textPrimary
            }
            Button {
                id: clearButton

                objectName: "messageLogClearButton"
                implicitWidth: 30 * logPanel.uiScale
                implicitHeight: 26 * logPanel.uiScale
                hoverEnabled: true
                ToolTip.visible: hovered
                ToolTip.text: logPanel.zhText("清空", "Clear")
                onClicked: {
                    messageLogArea.text = ""
                    logPanel._lastLogLength = 0
                    appBridge.clearMessages()
                }

                contentItem: Item {
                    Image {
                        anchors.centerIn: parent
                        width: 18 * logPanel.uiScale
                        height: width
                        source: "qrc:/icon/png/clear.png"
                        sourceSize.width: 40
                        sourceSize.height: 40
                        smooth: true
                        mipmap: true
                    }
                }
                background: Rectangle {
                    radius: Theme.radiusSmall * logPanel.uiScale
                    color: clearButton.pressed ? Theme.accentPressed
                                               : (clearButton.enabled ? Theme.accent : Theme.accentDisabled)
                }
            }
        }

        ScrollView {
            id: messageLogScroll

            objectName: "messageLogScroll"
            Layout.fillWidth: true
            Layout.fillHeight: true
            clip: true

            TextArea {
                id: messageLogArea

                objectName: "messageLogArea"
                readOnly: true
                wrapMode: TextEdit.Wrap
                selectByMouse: true
                font.pixelSize: 16 * logPanel.uiScale
                color: Theme.textPrimary
                background: Rectangle {
                    color: Theme.windowBackground
                    radius: Theme.radiusSmall * logPanel.uiScale
                }
            }
        }
    }
}
