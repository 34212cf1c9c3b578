import QtQuick 2.9
import QtQuick.Controls 2.2
import QtQuick.Layouts 1.3
import "."

// The channel tab: which remote-control channel drives which function, and the range of the
// channel values for the products that have one. The combos show what the device last reported;
// nothing is sent until the operator presses a button.
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
    // The eight functions in screen order (two per row): combo name, labels, controller property.
    readonly property var functions: [
        { name: "chStream", cn: "推流设置", en: "Stream", prop: "channelStreamCh" },
        { name: "chPitch", cn: "云台俯仰", en: "Gimbal Pitch", prop: "channelPitchCh" },
        { name: "chZoom", cn: "变倍设置", en: "Zoom", prop: "channelZoomCh" },
        { name: "chYaw", cn: "云台航向", en: "Gimbal Yaw", prop: "channelYawCh" },
        { name: "chCapture", cn: "拍照设置", en: "Capture", prop: "channelCaptureCh" },
        { name: "chHome", cn: "云台回中", en: "Gimbal Home", prop: "channelHomeCh" },
        { name: "chRecord", cn: "录像设置", en: "Record", prop: "channelRecordCh" },
        { name: "chIrPalette", cn: "红外伪彩", en: "IR Palette", prop: "channelIrPaletteCh" }
    ]
    // The order in which the device expects the channels of a write.
    readonly property var writeOrder: ["chStream", "chZoom", "chCapture", "chRecord", "chPitch", "chYaw", "chHome",
                                       "chIrPalette"]

    function zhText(cn, en) {
        return language === "zh" ? cn : en
    }

    // Channel 16 means "no channel" and shows as "NONE" (index 0).
    function channelToComboIndex(ch) {
        if (channelEncoding1Based)
            return (ch === 0 || ch === 16) ? 0 : Math.min(ch, 16)
        return ch === 16 ? 0 : Math.min(ch + 1, 16)
    }

    function comboIndexToChannel(idx) {
        return idx === 0 ? 16 : Math.min(idx - 1, 15)
    }

    function comboNamed(name) {
        for (var i = 0; i < functions.length; ++i) {
            if (functions[i].name === name)
                return comboRepeater.itemAt(i) ? comboRepeater.itemAt(i).combo : null
        }
        return null
    }

    function showDeviceChannels() {
        for (var i = 0; i < functions.length; ++i) {
            var cell = comboRepeater.itemAt(i)
            if (cell)
                cell.combo.currentIndex = channelToComboIndex(appBridge[functions[i].prop])
        }
    }

    function showDeviceRange() {
        rangeMax.text = String(appBridge.channelRangeMax)
        rangeMin.text = String(appBridge.channelRangeMin)
    }

    function writeChannels() {
        var ch = writeOrder.map(function(name) {
            return comboIndexToChannel(comboNamed(name).currentIndex)
        })
        appBridge.writeChannelConfig(ch[0], ch[1], ch[2], ch[3], ch[4], ch[5], ch[6], ch[7])
    }

    function widestLabel() {
        var widest = 0
        for (var i = 0; i < functions.length; ++i)
            widest = Math.max(widest, labelMetrics.advanceWidth(zhText(functions[i].cn, functions[i].en)))
        return Math.ceil(widest) + 2
    }

    onChannelEncoding1BasedChanged: showDeviceChannels()
    Component.onCompleted: {
        showDeviceChannels()
        showDeviceRange()
    }

    Connections {
        target: appBridge
        function onChannelConfigChanged() {
            channelPanel.showDeviceChannels()
            channelPanel.showDeviceRange()
        }
    }

    FontMetrics {
        id: labelMetrics

        font.pixelSize: Theme.fontNormal * channelPanel.uiScale
        font.family: channelPanel.fontFamily
    }

    TabScroller {
        id: flick

        uiScale: channelPanel.uiScale
        anchors.fill: parent
        contentHeight: content.implicitHeight

        ColumnLayout {
            id: content

            width: flick.contentAreaWidth
            spacing: 8 * channelPanel.uiScale

            SectionTitle {
                uiScale: channelPanel.uiScale
                text: channelPanel.zhText("通道配置", "Channel Mapping")
            }

            GridLayout {
                Layout.fillWidth: true
                columns: 2
                columnSpacing: 12 * channelPanel.uiScale
                rowSpacing: 6 * channelPanel.uiScale

                Repeater {
                    id: comboRepeater

                    model: channelPanel.functions

                    RowLayout {
                        property alias combo: channelCombo

                        Layout.fillWidth: true
                        spacing: 6 * channelPanel.uiScale

                        FieldLabel {
                            Layout.preferredWidth: channelPanel.widestLabel()
                            uiScale: channelPanel.uiScale
                            text: channelPanel.zhText(modelData.cn, modelData.en)
                        }
                        ChannelCombo {
                            id: channelCombo

                            objectName: modelData.name
                            Layout.fillWidth: true
                            Layout.preferredWidth: channelPanel.channelComboWidth * channelPanel.uiScale
                            Layout.minimumWidth: 80 * channelPanel.uiScale
                            uiScale: channelPanel.uiScale
                            itemHeight: channelPanel.channelPopupItemHeight
                            maxVisibleItems: channelPanel.channelPopupMaxVisibleItems
                            model: channelPanel.channelOptions
                        }
                    }
                }
            }

            RowLayout {
                spacing: 8 * channelPanel.uiScale

                PanelButton {
                    objectName: "channelReadButton"
                    uiScale: channelPanel.uiScale
                    text: channelPanel.zhText("读取", "Read")
                    onClicked: appBridge.readChannelConfig()
                }
                PanelButton {
                    objectName: "channelWriteButton"
                    uiScale: channelPanel.uiScale
                    danger: true
                    text: channelPanel.zhText("写入", "Write")
                    onClicked: channelPanel.writeChannels()
                }
            }

            ColumnLayout {
                Layout.fillWidth: true
                Layout.topMargin: 6 * channelPanel.uiScale
                visible: channelPanel.hasChannelRangeSetting
                spacing: 6 * channelPanel.uiScale

                SectionTitle {
                    uiScale: channelPanel.uiScale
                    text: channelPanel.zhText("通道值范围", "Channel Value Range")
                }
                FieldLabel {
                    Layout.fillWidth: true
                    uiScale: channelPanel.uiScale
                    color: Theme.dangerText
                    wrapMode: Text.WordWrap
                    text: channelPanel.zhText("修改后需断电重启生效", "Power cycle required after change")
                }
                GridLayout {
                    Layout.fillWidth: true
                    columns: 2
                    columnSpacing: 6 * channelPanel.uiScale
                    rowSpacing: 6 * channelPanel.uiScale

                    FieldLabel {
                        uiScale: channelPanel.uiScale
                        columnWidth: channelPanel.widestLabel()
                        text: channelPanel.zhText("最大值", "Max")
                    }
                    RangeStepField {
                        id: rangeMax

                        fieldName: "channelRangeMaxInput"
                        uiScale: channelPanel.uiScale
                    }
                    FieldLabel {
                        uiScale: channelPanel.uiScale
                        columnWidth: channelPanel.widestLabel()
                        text: channelPanel.zhText("最小值", "Min")
                    }
                    RangeStepField {
                        id: rangeMin

                        fieldName: "channelRangeMinInput"
                        uiScale: channelPanel.uiScale
                    }
                }
                RowLayout {
                    spacing: 8 * channelPanel.uiScale

                    PanelButton {
                        objectName: "channelRangeReadButton"
                        uiScale: channelPanel.uiScale
                        text: channelPanel.zhText("读取", "Read")
                        onClicked: appBridge.readChannelConfig()
                    }
                    PanelButton {
                        objectName: "channelRangeApplyButton"
                        uiScale: channelPanel.uiScale
                        danger: true
                        text: channelPanel.zhText("设置", "Apply")
                        onClicked: appBridge.writeChannelRange(rangeMax.value(), rangeMin.value())
                    }
                }
            }
        }
    }
}
