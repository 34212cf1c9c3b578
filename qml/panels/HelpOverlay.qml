import QtQuick 2.9
import QtQuick.Layouts 1.3
import "."

// F1 on the runtime page: every keyboard shortcut and gamepad control in the current language.
// A click anywhere, F1 or Esc closes it.
Rectangle {
    id: overlay

    property real uiScale: 1
    property string language: "zh"
    // Action name -> button name, as the gamepad reads them from the configuration.
    property var buttonNames: ({})
    property int deadZonePercent: 25
    property string padName: ""

    function zhText(cn, en) {
        return language === "zh" ? cn : en
    }

    function button(action, fallback) {
        return buttonNames && buttonNames[action] ? buttonNames[action] : fallback
    }

    // [key, Chinese, English] for every row.
    function keyRows() {
        return [["↑ ↓ ← →", "按住转动云台，松开停止", "Hold to move the gimbal, release to stop"],
                ["Home", "回中", "Centre"],
                ["End", "一键朝下", "One-key down"],
                ["+ / −", "变倍一级", "Zoom one step"],
                ["P", "拍照", "Take a photo"],
                ["R", "开始/停止录像", "Start/stop recording"],
                ["F / " + zhText("双击视频", "double click"), "全屏切换", "Toggle fullscreen"],
                ["H", "显示/隐藏视频上的抬头显示", "Show/hide the head-up display on the video"],
                ["Esc", "退出全屏；离开输入框", "Leave fullscreen; leave a text field"],
                ["F1", "显示/关闭本帮助", "Show/close this help"]]
    }

    function padRows() {
        return [[zhText("左摇杆", "Left stick"), "超出死区 " + deadZonePercent + "% 时转动，回中停止",
                 "Moves beyond the " + deadZonePercent + "% dead zone, stops when centred"],
                ["RT / LT", "按住连续放大 / 缩小", "Hold to zoom in / out"],
                [button("home", "Y"), "回中", "Centre"],
                [button("down", "X"), "一键朝下", "One-key down"],
                [button("photo", "A"), "拍照", "Take a photo"],
                [button("record", "B"), "开始/停止录像", "Start/stop recording"],
                [button("trackingOff", "Back"), "关闭跟踪", "Tracking off"]]
    }

    objectName: "helpOverlay"
    color: Theme.overlayShade

    MouseArea {
        anchors.fill: parent
        onClicked: overlay.visible = false
    }

    Rectangle {
        anchors.centerIn: parent
        width: Math.min(parent.width - 40 * overlay.uiScale, content.implicitWidth + 48 * overlay.uiScale)
        height: Math.min(parent.height - 40 * overlay.uiScale, content.implicitHeight + 40 * overlay.uiScale)
        radius: Theme.radiusLarge * overlay.uiScale
        color: Theme.panelBackground
        border.color: Theme.panelBorder
        clip: true

        // One grid for both tables, so that their columns line up.
        GridLayout {
            id: content

            anchors.centerIn: parent
            columns: 2
            columnSpacing: 18 * overlay.uiScale
            rowSpacing: 5 * overlay.uiScale

            HelpTitle {
                text: overlay.zhText("键盘快捷键（运行页面，输入框外）",
                                     "Keyboard shortcuts (runtime page, outside text fields)")
            }
            Repeater {
                model: overlay.keyRows().length * 2

                HelpCell { entries: overlay.keyRows() }
            }
            HelpTitle {
                text: overlay.zhText("手柄", "Gamepad") + " — "
                      + (overlay.padName.length > 0 ? overlay.padName : overlay.zhText("未连接", "none connected"))
            }
            Repeater {
                model: overlay.padRows().length * 2

                HelpCell { entries: overlay.padRows() }
            }
            Text {
                Layout.columnSpan: 2
                Layout.topMargin: 6 * overlay.uiScale
                text: overlay.zhText("跟踪开启时方向、回中与朝下不起作用。按 F1 或 Esc 关闭。",
                                     "Directions, centre and down do nothing while tracking. F1 or Esc closes.")
                font.pixelSize: Theme.fontSmall * overlay.uiScale
                color: Theme.textHint
            }
        }
    }

    component HelpTitle: Text {
        Layout.columnSpan: 2
        Layout.topMargin: 4 * overlay.uiScale
        font.pixelSize: Theme.fontLarge * overlay.uiScale
        font.bold: true
        color: Theme.textPrimary
    }

    // One cell of a two-column table: even indexes show the key, odd ones what it does.
    component HelpCell: Text {
        property var entries: []
        readonly property var row: entries[Math.floor(index / 2)]

        text: index % 2 === 0 ? row[0] : overlay.zhText(row[1], row[2])
        font.pixelSize: Theme.fontNormal * overlay.uiScale
        font.bold: index % 2 === 0
        color: index % 2 === 0 ? Theme.accentText : Theme.textSecondary
    }
}
