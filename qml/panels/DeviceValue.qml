import QtQuick 2.9
import "."

// A value the device reported (an angle, a zoom, a temperature, a version, the SD card state...).
// While the device is silent the value is stale: dimmed, in italics, with the age of the last frame,
// so that nobody mistakes it for the device's present state.
Text {
    id: deviceValue

    property real uiScale: 1
    property string language: "zh"
    property string value: ""
    readonly property bool stale: appBridge.deviceSilent && value.length > 0

    text: stale ? value + (language === "zh" ? "（" + appBridge.deviceSilentSeconds + " 秒前）"
                                             : " (" + appBridge.deviceSilentSeconds + " s ago)")
                : value
    font.pixelSize: Theme.fontNormal * uiScale
    font.italic: stale
    color: stale ? Theme.textStale : Theme.textPrimary
    verticalAlignment: Text.AlignVCenter
    elide: Text.ElideRight
}
