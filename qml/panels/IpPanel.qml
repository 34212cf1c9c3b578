import QtQuick 2.9
import "."

// The camera address tab.
Item {
    id: ipPanel

    property real uiScale: 1
    property string fontFamily: ""
    property string language: "zh"
}
