import QtQuick 2.9
import QtQuick.Controls 2.2
import QtQuick.Layouts 1.3
import "."

// The camera address tab: address, mask and gateway as four octets each. The fields show the
// device's last answer; they empty when the last link closes, so that an old camera's address is
// never saved to the next one by mistake.
Item {
    id: ipPanel

    objectName: "ipPanel"
    property real uiScale: 1
    property string fontFamily: ""
    property string language: "zh"
    property alias ipAddr1Text: addrRow.text1
    property alias ipAddr2Text: addrRow.text2
    property alias ipAddr3Text: addrRow.text3
    property alias ipAddr4Text: addrRow.text4
    property alias ipMask1Text: maskRow.text1
    property alias ipMask2Text: maskRow.text2
    property alias ipMask3Text: maskRow.text3
    property alias ipMask4Text: maskRow.text4
    property alias ipGw1Text: gwRow.text1
    property alias ipGw2Text: gwRow.text2
    property alias ipGw3Text: gwRow.text3
    property alias ipGw4Text: gwRow.text4

    function zhText(cn, en) {
        return language === "zh" ? cn : en
    }

    function showAddresses(ip, mask, gateway) {
        addrRow.fill(ip)
        maskRow.fill(mask)
        gwRow.fill(gateway)
    }

    function clearWhenUnlinked() {
        if (appBridge.linkOpen)
            return
        addrRow.clear()
        maskRow.clear()
        gwRow.clear()
    }

    Connections {
        target: appBridge
        function onCameraIpChanged() {
            ipPanel.showAddresses(appBridge.cameraIpAddr, appBridge.cameraSubnetMask, appBridge.cameraGateway)
        }
        function onUdpConnectedChanged() {
            ipPanel.clearWhenUnlinked()
        }
        function onSerialOpenedChanged() {
            ipPanel.clearWhenUnlinked()
        }
    }

    TabScroller {
        id: flick

        uiScale: ipPanel.uiScale
        anchors.fill: parent
        contentHeight: content.implicitHeight

        ColumnLayout {
            id: content

            width: flick.contentAreaWidth
            spacing: 8 * ipPanel.uiScale

            GridLayout {
                Layout.fillWidth: true
                columns: 2
                columnSpacing: 10 * ipPanel.uiScale
                rowSpacing: 8 * ipPanel.uiScale

                FieldLabel {
                    uiScale: ipPanel.uiScale
                    text: ipPanel.zhText("IP地址", "IP")
                }
                IpRow {
                    id: addrRow

                    Layout.fillWidth: true
                    uiScale: ipPanel.uiScale
                    namePrefix: "ipAddr"
                }
                FieldLabel {
                    uiScale: ipPanel.uiScale
                    text: ipPanel.zhText("子网掩码", "Mask")
                }
                IpRow {
                    id: maskRow

                    Layout.fillWidth: true
                    uiScale: ipPanel.uiScale
                    namePrefix: "ipMask"
                }
                FieldLabel {
                    uiScale: ipPanel.uiScale
                    text: ipPanel.zhText("默认网关", "Gateway")
                }
                IpRow {
                    id: gwRow

                    Layout.fillWidth: true
                    uiScale: ipPanel.uiScale
                    namePrefix: "ipGw"
                }
            }

            RowLayout {
                spacing: 8 * ipPanel.uiScale

                PanelButton {
                    objectName: "ipGetButton"
                    uiScale: ipPanel.uiScale
                    text: ipPanel.zhText("获取", "Get")
                    onClicked: appBridge.getCameraIp()
                }
                PanelButton {
                    objectName: "ipSaveButton"
                    uiScale: ipPanel.uiScale
                    danger: true
                    text: ipPanel.zhText("保存", "Save")
                    onClicked: appBridge.setCameraIp(0, addrRow.joined(), maskRow.joined(), gwRow.joined())
                }
            }
        }
    }
}
