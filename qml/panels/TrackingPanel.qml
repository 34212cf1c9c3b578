import QtQuick 2.9
import "."

// The tracking tab.
Item {
    id: trackingPanel

    property real uiScale: 1
    property string fontFamily: ""
    property string language: "zh"
    property var fontSizes: ({})
    property bool trackingEnabled: false
    property bool aiEnabled: false
    property var aiCategoryChecked: []
    property bool aiCategorySyncingFromDevice: false
    property bool irTempMeasureOn: false
    property bool videoOutputSplitChecked: false

    signal trackingToggled(bool enabled)
    signal aiToggled(bool enabled, var categoryIds)
}
