import QtQuick 2.15
import QtQuick.Controls 2.2
import QtQuick.Layouts 1.3
import "."

// Shows the controller's message log. The view lists the log line by line and draws only the lines
// on screen, so a long session costs no more per new line than a short one; it follows the end.
// Lines are selected with the mouse across lines and copied with Ctrl+C. Each new line costs a
// frame in which every line on screen moves, so lines are plain text items, the cheapest to lay out
// and draw; only a line that holds part of the selection is drawn by a text field, which can show it.
PanelBox {
    id: logPanel

    property string fontFamily: ""
    property string language: "zh"
    // Selection: anchor (where the press was) and cursor (where the pointer is), as row and column.
    property int anchorRow: -1
    property int anchorColumn: 0
    property int cursorRow: -1
    property int cursorColumn: 0
    readonly property bool hasSelection: anchorRow >= 0 && cursorRow >= 0
                                         && (anchorRow !== cursorRow || anchorColumn !== cursorColumn)
    readonly property int selectionFirstRow: Math.min(anchorRow, cursorRow)
    readonly property int selectionLastRow: Math.max(anchorRow, cursorRow)

    function zhText(cn, en) {
        return language === "zh" ? cn : en
    }

    function scrollToEnd() {
        messageLogArea.positionViewAtEnd()
    }

    // Selected columns [from, to) of one row; from === to when the row holds no selection.
    function selectionFrom(row) {
        if (!hasSelection || row < selectionFirstRow || row > selectionLastRow)
            return 0
        if (anchorRow === cursorRow)
            return Math.min(anchorColumn, cursorColumn)
        if (row !== selectionFirstRow)
            return 0
        return anchorRow < cursorRow ? anchorColumn : cursorColumn
    }

    // A row selected to its end gives a column past any line; the line clamps it.
    function selectionTo(row) {
        if (!hasSelection || row < selectionFirstRow || row > selectionLastRow)
            return 0
        if (anchorRow === cursorRow)
            return Math.max(anchorColumn, cursorColumn)
        if (row !== selectionLastRow)
            return 1000000
        return anchorRow < cursorRow ? cursorColumn : anchorColumn
    }

    // Row and column under a point of the list (in the list's own coordinates); -1 when no line.
    function textPositionAt(x, y) {
        var row = messageLogArea.indexAt(x, y + messageLogArea.contentY)
        if (row < 0)
            return { row: y < 0 ? 0 : messageLogArea.count - 1, column: y < 0 ? 0 : 1000000 }
        var line = messageLogArea.itemAtIndex(row)
        if (!line)
            return { row: row, column: 0 }
        var local = line.mapFromItem(messageLogArea, x, y)
        return { row: row, column: textTool.columnAt(line, local.x, local.y) }
    }

    function clearSelection() {
        anchorRow = -1
        cursorRow = -1
    }

    function copySelection() {
        if (!hasSelection)
            return
        textTool.copyText(appBridge.messageLines.textBetween(anchorRow, anchorColumn, cursorRow, cursorColumn))
    }

    function selectAll() {
        var count = messageLogArea.count
        if (count === 0)
            return
        anchorRow = 0
        anchorColumn = 0
        cursorRow = count - 1
        cursorColumn = appBridge.messageLines.line(count - 1).length
    }

    font.family: fontFamily

    Connections {
        target: appBridge.messageLines
        function onRowsInserted() {
            Qt.callLater(logPanel.scrollToEnd)
        }
        function onModelReset() {
            logPanel.clearSelection()
        }
    }

    // A hidden text field does what a text item cannot: reach the clipboard, and find the column
    // under a point of a line when laid out like that line.
    TextEdit {
        id: textTool

        function columnAt(line, x, y) {
            font = line.font
            width = line.width
            text = line.text
            return positionAt(x, y)
        }

        function copyText(value) {
            text = value
            selectAll()
            copy()
        }

        visible: false
        textFormat: TextEdit.PlainText
        wrapMode: TextEdit.Wrap
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
                    color: clearButton.pressed ? Theme.accentPressed
                                               : (clearButton.enabled ? Theme.accent : Theme.accentDisabled)
                }
            }
        }

        Rectangle {
            Layout.fillWidth: true
            Layout.fillHeight: true
            color: Theme.windowBackground
            radius: Theme.radiusSmall * logPanel.uiScale

            ListView {
                id: messageLogArea

                objectName: "messageLogArea"
                anchors.fill: parent
                anchors.margins: 6 * logPanel.uiScale
                clip: true
                currentIndex: -1
                keyNavigationEnabled: false
                reuseItems: true
                // Lines above the screen are made when scrolled to, not kept ready for every new line.
                cacheBuffer: 0
                boundsBehavior: Flickable.StopAtBounds
                model: appBridge.messageLines
                ScrollBar.vertical: ScrollBar {}

                delegate: Text {
                    id: logLine

                    readonly property int row: index
                    readonly property int selectFrom: logPanel.selectionFrom(index)
                    readonly property int selectTo: logPanel.selectionTo(index)
                    readonly property string selectedText: selectedLine.item ? selectedLine.item.selectedText : ""

                    width: ListView.view ? ListView.view.width - 10 * logPanel.uiScale : 0
                    text: display
                    textFormat: Text.PlainText
                    wrapMode: Text.Wrap
                    font.pixelSize: 16 * logPanel.uiScale
                    font.family: logPanel.fontFamily
                    color: selectedLine.active ? "transparent" : Theme.textPrimary

                    Loader {
                        id: selectedLine

                        anchors.fill: parent
                        active: logLine.selectTo > logLine.selectFrom
                        sourceComponent: TextEdit {
                            id: selectionText

                            function showSelection() {
                                select(Math.min(logLine.selectFrom, length), Math.min(logLine.selectTo, length))
                            }

                            text: logLine.text
                            textFormat: TextEdit.PlainText
                            readOnly: true
                            selectByMouse: false
                            activeFocusOnPress: false
                            wrapMode: TextEdit.Wrap
                            font: logLine.font
                            color: Theme.textPrimary
                            selectionColor: Theme.accent
                            selectedTextColor: Theme.textOnAccent
                            persistentSelection: true
                            onTextChanged: showSelection()
                            Component.onCompleted: showSelection()

                            Connections {
                                target: logLine
                                function onSelectFromChanged() {
                                    selectionText.showSelection()
                                }
                                function onSelectToChanged() {
                                    selectionText.showSelection()
                                }
                            }
                        }
                    }
                }
            }

            MouseArea {
                id: selectionArea

                anchors.fill: messageLogArea
                anchors.rightMargin: 10 * logPanel.uiScale
                cursorShape: Qt.IBeamCursor
                Keys.onPressed: {
                    if (event.matches(StandardKey.Copy)) {
                        logPanel.copySelection()
                        event.accepted = true
                    } else if (event.matches(StandardKey.SelectAll)) {
                        logPanel.selectAll()
                        event.accepted = true
                    }
                }
                onPressed: {
                    forceActiveFocus()
                    var at = logPanel.textPositionAt(mouse.x, mouse.y)
                    logPanel.anchorRow = at.row
                    logPanel.anchorColumn = at.column
                    logPanel.cursorRow = at.row
                    logPanel.cursorColumn = at.column
                }
                onPositionChanged: {
                    if (!pressed)
                        return
                    // Dragging past an edge scrolls the list along.
                    if (mouse.y < 0)
                        messageLogArea.flick(0, 600)
                    else if (mouse.y > height)
                        messageLogArea.flick(0, -600)
                    var at = logPanel.textPositionAt(mouse.x, Math.max(0, Math.min(height - 1, mouse.y)))
                    logPanel.cursorRow = at.row
                    logPanel.cursorColumn = at.column
                }
            }
        }
    }
}
