import QtQuick 2.9
import QtQuick.Controls 2.2
import QtQuick.Layouts 1.3
import "."

// The tracking tab: box tracking, AI detection and the categories AI detection looks for. The
// switches and boxes show the window's state; while that state is being copied from the device
// (`aiCategorySyncingFromDevice`) nothing here sends anything back.
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
    // The categories in the device's order: category id = index + 1.
    readonly property var categories: [
        { cn: "行人", en: "Pedestrian" }, { cn: "人群", en: "Crowd" }, { cn: "自行车", en: "Bicycle" },
        { cn: "小汽车", en: "Car" }, { cn: "货车", en: "Truck" }, { cn: "卡车", en: "Lorry" },
        { cn: "三轮车", en: "Tricycle" }, { cn: "遮阳棚-三轮车", en: "Canopy Tricycle" },
        { cn: "公交车", en: "Bus" }, { cn: "摩托车", en: "Motorcycle" }
    ]
    readonly property bool anyCategoryTicked: tickedIds(aiCategoryChecked).length > 0

    signal trackingToggled(bool enabled)
    signal aiToggled(bool enabled, var categoryIds)
    // The operator changed the ticked categories; the owner keeps them.
    signal aiCategoriesEdited(var checked)

    function zhText(cn, en) {
        return language === "zh" ? cn : en
    }

    function tickedIds(checked) {
        var ids = []
        for (var i = 0; i < categories.length; ++i) {
            if (checked && checked[i] === true)
                ids.push(i + 1)
        }
        return ids
    }

    // Tracking turns on only when the gimbal's stop went out (no link: it stays off).
    function applyTrackingSwitch(on) {
        if (on && !appBridge.armBoxTracking())
            return
        trackingToggled(on)
        if (on) {
            if (irTempMeasureOn)
                appBridge.setIrTempMeasure(false)
        } else {
            appBridge.setTracking(false, 0, 0, 1, 1)
        }
    }

    function applyAiSwitch(on) {
        if (aiCategorySyncingFromDevice)
            return
        if (!on) {
            aiCategoryChecked = [false, false, false, false, false, false, false, false, false, false]
            aiCategoriesEdited(aiCategoryChecked)
        }
        aiToggled(on, tickedIds(aiCategoryChecked))
    }

    function applyCategory(index, on) {
        if (aiCategorySyncingFromDevice)
            return
        var checked = aiCategoryChecked.slice()
        checked[index] = on
        aiCategoryChecked = checked
        aiCategoriesEdited(checked)
        appBridge.setAiDetectWithCategories(aiEnabled, tickedIds(checked))
    }

    TabScroller {
        id: flick

        uiScale: trackingPanel.uiScale
        anchors.fill: parent
        contentHeight: content.implicitHeight

        ColumnLayout {
            id: content

            width: flick.contentAreaWidth
            spacing: 8 * trackingPanel.uiScale

            GridLayout {
                columns: 2
                columnSpacing: 12 * trackingPanel.uiScale
                rowSpacing: 8 * trackingPanel.uiScale

                FieldLabel {
                    uiScale: trackingPanel.uiScale
                    text: trackingPanel.zhText("框选目标追踪", "Box Tracking")
                }
                ToggleSwitch {
                    id: trackSwitch

                    objectName: "trackSwitch"
                    uiScale: trackingPanel.uiScale
                    checked: trackingPanel.trackingEnabled
                    enabled: !trackingPanel.videoOutputSplitChecked && !trackingPanel.irTempMeasureOn
                    // The click broke the binding; the window's state decides what shows.
                    onToggled: {
                        trackingPanel.applyTrackingSwitch(checked)
                        trackSwitch.checked = Qt.binding(function() { return trackingPanel.trackingEnabled })
                    }
                }
                FieldLabel {
                    uiScale: trackingPanel.uiScale
                    text: trackingPanel.zhText("识别追踪", "AI Tracking")
                }
                ToggleSwitch {
                    id: aiSwitch

                    objectName: "aiSwitch"
                    uiScale: trackingPanel.uiScale
                    checked: trackingPanel.aiEnabled
                    enabled: trackingPanel.anyCategoryTicked || trackingPanel.aiCategorySyncingFromDevice
                             || trackingPanel.aiEnabled
                    onToggled: {
                        trackingPanel.applyAiSwitch(checked)
                        aiSwitch.checked = Qt.binding(function() { return trackingPanel.aiEnabled })
                    }
                }
            }

            GridLayout {
                Layout.fillWidth: true
                columns: 2
                columnSpacing: 12 * trackingPanel.uiScale
                rowSpacing: 2 * trackingPanel.uiScale

                Repeater {
                    model: trackingPanel.categories

                    CheckBox {
                        id: categoryBox

                        objectName: "aiCategory" + (index + 1)
                        Layout.fillWidth: true
                        font.pixelSize: Theme.fontNormal * trackingPanel.uiScale
                        text: trackingPanel.zhText(modelData.cn, modelData.en)
                        // Locked while AI tracking runs: the box is dimmed, the name stays readable
                        // so that the operator sees what is being detected.
                        enabled: !aiSwitch.checked
                        indicator.opacity: enabled ? 1 : 0.45

                        contentItem: Text {
                            leftPadding: categoryBox.indicator.width + categoryBox.spacing
                            text: categoryBox.text
                            font: categoryBox.font
                            color: categoryBox.enabled ? Theme.textPrimary : Theme.textHint
                            verticalAlignment: Text.AlignVCenter
                        }
                        checked: trackingPanel.aiCategoryChecked[index] === true
                        onClicked: {
                            trackingPanel.applyCategory(index, checked)
                            // The click broke the binding; the stored state decides what shows.
                            checked = Qt.binding(function() {
                                return trackingPanel.aiCategoryChecked[index] === true
                            })
                        }
                    }
                }
            }
        }
    }
}
