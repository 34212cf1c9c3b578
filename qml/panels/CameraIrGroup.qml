import QtQuick 2.9
import QtQuick.Controls 2.2
import QtQuick.Layouts 1.3
import "."

// The thermal camera's image: palette, brightness, contrast, denoise, enhancement and, on the
// models that have it, super-resolution. Each operator change goes to the device at once.
ColumnLayout {
    id: group

    property real uiScale: 1
    property string language: "zh"
    property string product: ""
    property bool syncing: false
    property real labelWidth: 0
    property alias paletteIndex: irColorSchemeCombo.currentIndex
    readonly property bool hasSuperRes: product === "WrenT-R2" || product === "Tern-LITE-A"
    readonly property bool holdingPalette: paletteSyncCooldown.running
    property bool committingAll: false

    function zhText(cn, en) {
        return language === "zh" ? cn : en
    }

    function paletteNames() {
        var cn, en
        if (product === "WrenT-R2" || product === "Tern-LITE-A") {
            cn = ["白热", "黑体", "彩虹", "高度对比彩虹", "铁红", "灰红", "特殊1", "青红", "渐变绿"]
            en = ["White Hot", "Black Body", "Rainbow", "High Contrast Rainbow", "Iron Red", "Gray Red", "Special 1",
                  "Cyan Red", "Gradual Green"]
        } else if (product === "Tern" || product === "Tern-LITE-B") {
            return appBridge.irColorSchemeNames
        } else {
            cn = ["白热", "黑体", "彩虹", "高度对比彩虹", "铁红", "岩浆", "天空", "中灰", "灰红", "紫橙", "特殊1", "警示红",
                  "冰火", "青红", "特殊2", "渐变红", "渐变绿", "渐变蓝", "警示绿", "警示蓝"]
            en = ["White Hot", "Black Body", "Rainbow", "High Contrast Rainbow", "Iron Red", "Lava", "Sky", "Mid Gray",
                  "Gray Red", "Purple Orange", "Special 1", "Alert Red", "Ice Fire", "Cyan Red", "Special 2",
                  "Gradual Red", "Gradual Green", "Gradual Blue", "Alert Green", "Alert Blue"]
        }
        return language === "zh" ? cn : en
    }

    // The image settings as the device has them after an output switch to the thermal camera.
    function showDeviceDefaults() {
        brightness.show(50)
        contrast.show(50)
        denoise.show(50, false)
        enhance.show(5, false)
        irSuperResOn.checked = false
        irSuperResOff.checked = true
    }

    function resetDefaults() {
        paletteSyncCooldown.stop()
        irColorSchemeCombo.currentIndex = 0
        showDeviceDefaults()
    }

    // Whether a field is being edited and the press at (x, y) of `from` lies outside it.
    function editedFieldElsewhere(from, x, y) {
        var rows = [brightness, contrast, denoise, enhance]
        for (var i = 0; i < rows.length; ++i) {
            var field = rows[i].fieldRef
            if (field.activeFocus)
                return !field.contains(field.mapFromItem(from, x, y))
        }
        return false
    }

    // A press beside the fields ends their editing: the focus goes to `focusTarget` and then every
    // field goes to the device as it stands (an empty one as its default), not only the focused one.
    function endEditing(focusTarget) {
        committingAll = true
        focusTarget.forceActiveFocus()
        committingAll = false
        Qt.callLater(commitAllFields)
    }

    function commitAllFields() {
        if (syncing || !visible)
            return
        brightness.commitValue()
        contrast.commitValue()
        denoise.commitValue()
        enhance.commitValue()
    }

    // The palette the device reports, unless the operator has just chosen one (the device may still
    // report the old one for a moment).
    function showDevicePalette() {
        var index = appBridge.currentIrColorSchemeComboIndex
        if (!paletteSyncCooldown.running && index >= 0 && index < irColorSchemeCombo.count)
            irColorSchemeCombo.currentIndex = index
    }

    spacing: 6 * uiScale

    Connections {
        target: appBridge
        function onCurrentIrColorSchemeChanged() { group.showDevicePalette() }
    }
    // The same 2 s hold-off after an operator's choice as the camera panel's other mirrored controls.
    Timer {
        id: paletteSyncCooldown

        interval: 2000
    }

    RowLayout {
        Layout.fillWidth: true
        spacing: 6 * group.uiScale

        FieldLabel {
            uiScale: group.uiScale
            columnWidth: group.labelWidth
            text: group.zhText("色板切换", "IR Palette")
        }
        PanelCombo {
            id: irColorSchemeCombo

            objectName: "irColorSchemeCombo"
            Layout.fillWidth: true
            uiScale: group.uiScale
            model: group.paletteNames()
            onActivated: {
                paletteSyncCooldown.restart()
                appBridge.setIrColorScheme(currentIndex)
            }
            // A new list (product, palette set, language) starts at its first entry.
            onModelChanged: Qt.callLater(group.showDevicePalette)
        }
    }
    IrSliderRow {
        id: brightness

        objectName: "irBrightness"
        Layout.fillWidth: true
        uiScale: group.uiScale
        labelWidth: group.labelWidth
        syncing: group.syncing
        holdCommit: group.committingAll
        label: group.zhText("红外亮度", "IR Brightness")
        onChangedByOperator: appBridge.setIrBrightness(value)
    }
    IrSliderRow {
        id: contrast

        objectName: "irContrast"
        Layout.fillWidth: true
        uiScale: group.uiScale
        labelWidth: group.labelWidth
        syncing: group.syncing
        holdCommit: group.committingAll
        label: group.zhText("红外对比度", "IR Contrast")
        onChangedByOperator: appBridge.setIrContrast(value)
    }
    IrSliderRow {
        id: denoise

        objectName: "irDenoise"
        Layout.fillWidth: true
        uiScale: group.uiScale
        labelWidth: group.labelWidth
        syncing: group.syncing
        holdCommit: group.committingAll
        hasSwitch: true
        label: group.zhText("红外去噪", "IR Denoise")
        onChangedByOperator: appBridge.setIrDenoise(switchOn, value)
    }
    IrSliderRow {
        id: enhance

        objectName: "irEnhance"
        Layout.fillWidth: true
        uiScale: group.uiScale
        labelWidth: group.labelWidth
        syncing: group.syncing
        holdCommit: group.committingAll
        hasSwitch: true
        from: 1
        to: 10
        initial: 5
        fallback: 5
        label: group.zhText("红外图像增强", "IR Enhance")
        onChangedByOperator: appBridge.setIrEnhance(switchOn, value)
    }
    Flow {
        Layout.fillWidth: true
        visible: group.hasSuperRes
        spacing: 12 * group.uiScale

        FieldLabel {
            uiScale: group.uiScale
            columnWidth: group.labelWidth
            text: group.zhText("红外超分", "IR Super Res")
        }
        RadioChoice {
            id: irSuperResOn

            objectName: "irSuperResOn"
            uiScale: group.uiScale
            text: group.zhText("开启", "On")
            onClicked: {
                irSuperResOff.checked = false
                appBridge.setIrSuperRes(true)
            }
        }
        RadioChoice {
            id: irSuperResOff

            objectName: "irSuperResOff"
            uiScale: group.uiScale
            checked: true
            text: group.zhText("关闭", "Off")
            onClicked: {
                irSuperResOn.checked = false
                appBridge.setIrSuperRes(false)
            }
        }
    }
}
