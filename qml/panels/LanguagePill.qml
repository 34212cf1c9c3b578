import QtQuick 2.9
import "."

// A two-segment pill ("中文" | "English") with a thumb that slides under the selected segment.
Rectangle {
    id: pill

    property real uiScale: 1
    property int currentIndex: 0
    readonly property var entries: ["中文", "English"]
    readonly property real segmentWidth: 84 * uiScale

    signal segmentClicked(int index)

    implicitWidth: segmentWidth * 2 + 8 * uiScale
    implicitHeight: 36 * uiScale
    radius: height / 2
    color: Theme.langTrack

    Rectangle {
        id: langThumb

        x: 4 * pill.uiScale + pill.currentIndex * pill.segmentWidth
        y: 4 * pill.uiScale
        width: pill.segmentWidth
        height: pill.height - 8 * pill.uiScale
        radius: height / 2
        color: Theme.accentStrong

        Behavior on x {
            NumberAnimation { duration: 180; easing.type: Easing.OutCubic }
        }
    }

    Row {
        x: 4 * pill.uiScale
        y: 4 * pill.uiScale

        Repeater {
            model: pill.entries

            Item {
                objectName: "langSegment" + index
                width: pill.segmentWidth
                height: pill.height - 8 * pill.uiScale

                Text {
                    anchors.centerIn: parent
                    text: modelData
                    font.pixelSize: Theme.fontNormal * pill.uiScale
                    color: index === pill.currentIndex ? Theme.langSelectedText : Theme.langOtherText
                }
                MouseArea {
                    anchors.fill: parent
                    cursorShape: Qt.PointingHandCursor
                    onClicked: pill.segmentClicked(index)
                }
            }
        }
    }
}
