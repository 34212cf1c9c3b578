import QtQuick 2.9
import "."

// The camera tab.
Item {
    id: cameraPanel

    property real uiScale: 1
    property string fontFamily: ""
    property string language: "zh"
    property bool hasCameraSettings: false
    property bool hasVisibleOnlyCamera: false
    property bool hasTernTrackingTab: false
    property bool hasTernDovePhotoRecordRes: false
    property bool hasWrenT_R2StyleCamera: false
    property bool trackingEnabled: false
    property bool aiEnabled: false
    property bool cameraSyncingFromDevice: false
    property bool rtspResolutionSyncCooldown: false
    property bool videoEncodingSyncCooldown: false
    property bool videoBitrateSyncCooldown: false
    property bool aiCategorySyncingFromDevice: false
    property string currentProduct: ""
    property bool videoOutputIrChecked: false
    property bool videoOutputVisibleChecked: true
    property bool videoOutputSplitChecked: false
    property int irColorSchemeComboIndex: 0

    signal trackingToggled(bool enabled)
    signal trackingRectHide()
    signal videoOutputModeSwitched()
    signal resetDefaults()
}
