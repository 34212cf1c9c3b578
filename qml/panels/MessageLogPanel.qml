import QtQuick 2.15
import QtQuick.Controls 2.2
import QtQuick.Layouts 1.3
import Skyvane 1.0
import "."

// Shows the controller's message log: a header with the clear button over the log view, which
// follows the end, selects across lines with the mouse and copies with Ctrl+C.
PanelBox {
    id: logPanel

    property string fontFamily: ""
    property string language: "zh"

    function zhText(cn, en) {
        return language === "zh" ? cn : en
    }

    font.family: fontFamily

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
            // The day of the first line; the lines carry only their time.
            Text {
                objectName: "messageLogDate"
                text: appBridge.messageLines.startDate
                font.pixelSize: Theme.fontNormal * logPanel.uiScale
                color: Theme.logDateText
            }
            Button {
                id: clearButton

                objectName: "messageLogClearButton"
                implicitWidth: 30 * logPanel.uiScale
                implicitHeight: 26 * logPanel.uiScale
                hoverEnabled: true
                onClicked: appBridge.clearMessages()

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
                    // The danger style: clearing cannot be undone on screen.
                    color: clearButton.pressed ? Theme.dangerSolidPressed : Theme.dangerSolid
                }
            }
        }

        Rectangle {
            Layout.fillWidth: true
            Layout.fillHeight: true
            color: Theme.logBackground
            radius: Theme.radiusSmall * logPanel.uiScale

            MessageLogView {
                id: messageLogArea

                objectName: "messageLogArea"
                anchors.fill: parent
                anchors.margins: 6 * logPanel.uiScale
                anchors.rightMargin: logScrollBar.width + 2 * logPanel.uiScale
                model: appBridge.messageLines
                font.pixelSize: 16 * logPanel.uiScale
                font.family: logPanel.fontFamily
                color: Theme.textPrimary
                fillColor: parent.color
                dateColor: Theme.logDateText
                selectionColor: Theme.accentStrong
                selectedTextColor: Theme.textOnAccent
            }

            // A plain handle rather than a Controls scroll bar: it moves with every new line, and
            // whole-pixel bindings leave it untouched while the log grows by less than a pixel of it.
            Item {
                id: logScrollBar

                readonly property real travel: Math.max(0, 1 - messageLogArea.visibleFraction)

                objectName: "messageLogScrollBar"
                anchors.top: parent.top
                anchors.bottom: parent.bottom
                anchors.right: parent.right
                anchors.margins: 2 * logPanel.uiScale
                width: 8 * logPanel.uiScale
                visible: travel > 0

                Rectangle {
                    id: scrollHandle

                    width: parent.width
                    height: Math.max(Math.round(24 * logPanel.uiScale),
                                     Math.round(messageLogArea.visibleFraction * logScrollBar.height))
                    y: logScrollBar.travel > 0
                       ? Math.round(Math.min(1, messageLogArea.position / logScrollBar.travel)
                                    * (logScrollBar.height - height))
                       : 0
                    radius: width / 2
                    color: scrollArea.pressed ? Theme.scrollHandlePressed : Theme.scrollHandle
                }

                MouseArea {
                    id: scrollArea

                    property real grabOffset: 0

                    function follow(y) {
                        var room = logScrollBar.height - scrollHandle.height
                        if (room > 0)
                            messageLogArea.position = (y - grabOffset) / room * logScrollBar.travel
                    }

                    anchors.fill: parent
                    // Pressed beside the handle, the handle comes under the pointer.
                    onPressed: {
                        var onHandle = mouse.y >= scrollHandle.y && mouse.y < scrollHandle.y + scrollHandle.height
                        grabOffset = onHandle ? mouse.y - scrollHandle.y : scrollHandle.height / 2
                        follow(mouse.y)
                    }
                    onPositionChanged: follow(mouse.y)
                }
            }
        }
    }
}
