import QtQuick 2.9
import QtQuick.Controls 2.2
import QtQuick.Layouts 1.3
import "."

// The runtime page's header: the home button, the link-status pill and the product name.
Rectangle {
    id: header

    property real uiScale: 1
    property string language: "zh"
    // "silent" (the open link's device went quiet), "serial", "udp" or "none": picks the pill's colours.
    readonly property string linkKind: appBridge.deviceSilent ? "silent" : (appBridge.serialOpened ? "serial"
                                                                            : (appBridge.udpConnected ? "udp" : "none"))
    property alias homeButtonRef: homeButton
    property alias linkPillRef: linkPill
    readonly property var pad: typeof gamepad !== "undefined" ? gamepad : null

    function zhText(cn, en) {
        return language === "zh" ? cn : en
    }

    // The pill's colour of the current link kind, from the Theme's set for that kind.
    function pillColor(silent, serial, udp, none) {
        return linkKind === "silent" ? silent : (linkKind === "serial" ? serial : (linkKind === "udp" ? udp : none))
    }

    color: Theme.headerBackground

    Button {
        id: homeButton

        objectName: "homeButton"
        anchors.left: parent.left
        anchors.leftMargin: 8 * header.uiScale
        anchors.verticalCenter: parent.verticalCenter
        width: 34 * header.uiScale
        height: width
        hoverEnabled: true
        onClicked: appBridge.backToMain()

        contentItem: Item {
            Image {
                anchors.centerIn: parent
                width: 22 * header.uiScale
                height: width
                source: "qrc:/icon/png/home.png"
                sourceSize.width: 44
                sourceSize.height: 44
                smooth: true
                mipmap: true
            }
        }
        background: Rectangle {
            radius: Theme.radiusMedium * header.uiScale
            color: homeButton.pressed ? Theme.homePressed : (homeButton.hovered ? Theme.homeHovered : Theme.homeIdle)
        }
    }

    Rectangle {
        id: linkPill

        objectName: "linkPill"
        anchors.left: homeButton.right
        anchors.leftMargin: 10 * header.uiScale
        anchors.verticalCenter: parent.verticalCenter
        width: Math.max(180 * header.uiScale, Math.max(220 * header.uiScale,
                                                       linkText.implicitWidth + 24 * header.uiScale))
        height: 28 * header.uiScale
        radius: height / 2
        color: header.pillColor(Theme.pillSilentFill, Theme.pillSerialFill, Theme.pillUdpFill, Theme.pillIdleFill)
        border.color: header.pillColor(Theme.pillSilentBorder, Theme.pillSerialBorder, Theme.pillUdpBorder,
                                       Theme.pillIdleBorder)
        border.width: 1

        Text {
            id: linkText

            objectName: "linkPillText"
            anchors.centerIn: parent
            text: appBridge.linkStatus + (appBridge.deviceSilent ? header.zhText("（无数据）", " (no data)") : "")
            font.pixelSize: Theme.fontNormal * header.uiScale
            color: header.pillColor(Theme.pillSilentText, Theme.pillSerialText, Theme.pillUdpText, Theme.pillIdleText)
        }
    }

    Text {
        anchors.centerIn: parent
        text: appBridge.currentProduct
        font.pixelSize: Theme.fontProductName * header.uiScale
        font.bold: true
        color: Theme.textPrimary
    }

    // Light for daylight, dark for dim rooms and night work; remembered by the controller.
    PanelButton {
        id: themeButton

        objectName: "themeButton"
        anchors.right: padStatus.left
        anchors.rightMargin: 12 * header.uiScale
        anchors.verticalCenter: parent.verticalCenter
        leftPadding: 10 * header.uiScale
        rightPadding: 10 * header.uiScale
        uiScale: header.uiScale
        // Names the theme a click switches to.
        text: appBridge.theme === "dark" ? header.zhText("浅色主题", "Light theme") : header.zhText("深色主题", "Dark theme")
        onClicked: appBridge.setTheme(appBridge.theme === "dark" ? "light" : "dark")
    }

    // The gamepad in use, if any, and where its controls are explained.
    Text {
        id: padStatus

        objectName: "padStatus"
        anchors.right: parent.right
        anchors.rightMargin: 12 * header.uiScale
        anchors.verticalCenter: parent.verticalCenter
        text: (header.pad && header.pad.connected ? header.zhText("手柄：", "Gamepad: ") + header.pad.padName
                                                  : header.zhText("无手柄", "No gamepad")) + "  ·  F1 " + header.zhText("帮助", "Help")
        font.pixelSize: Theme.fontSmall * header.uiScale
        color: header.pad && header.pad.connected ? Theme.pillUdpText : Theme.textHint
    }
}
