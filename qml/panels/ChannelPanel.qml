import QtQuick 2.9
import "."

// The channel tab.
Item {
    id: channelPanel

    property real uiScale: 1
    property string fontFamily: ""
    property string language: "zh"
    property bool hasChannelRangeSetting: false
    property var channelOptions: []
    property int channelComboWidth: 150
    property real channelPopupItemHeight: 34
    property int channelPopupMaxVisibleItems: 6
    property bool channelEncoding1Based: false
}
