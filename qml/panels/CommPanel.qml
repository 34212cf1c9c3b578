import QtQuick 2.9
import QtQuick.Controls 2.2
import QtQuick.Layouts 1.3
import "."

// Opens the serial port or the UDP link to the gimbal. Both switches mirror the controller, which
// keeps at most one link open: opening one link turns the other switch off by itself.
PanelBox {
    id: commPanel

    property string fontFamily: ""
    property string language: "zh"
    property string defaultUdpIp: "192.168.120.10"
    property alias commTabsCurrentIndex: commTabs.currentIndex
    property alias udpIpText: udpIp.text
    property alias udpPortText: udpPort.text

    signal setUdpIp(string ip)
    signal setCommTabIndex(int idx)

    function zhText(cn, en) {
        return language === "zh" ? cn : en
    }

    function applySerialSwitch(on) {
        if (!on) {
            appBridge.closeSerial()
            return
        }
        var port = serialPortCombo.currentText
        var baud = parseInt(serialBaudCombo.currentText, 10)
        if (!port || port.length === 0 || isNaN(baud)) {
            appBridge.refreshSerialPorts()
            serialSwitch.checked = false
            return
        }
        if (!appBridge.openSerial(port, baud))
            serialSwitch.checked = false
    }

    function applyUdpSwitch(on) {
        if (on)
            appBridge.connectUdp(udpIp.text, parseInt(udpPort.text, 10))
        else
            appBridge.disconnectUdp()
        // A refused connect leaves the controller closed: show that at once.
        udpSwitch.checked = appBridge.udpConnected
    }

    font.family: fontFamily
    onSetUdpIp: udpIp.text = ip
    onSetCommTabIndex: commTabs.currentIndex = idx

    Connections {
        target: appBridge
        function onSerialOpenedChanged() {
            serialSwitch.checked = appBridge.serialOpened
        }
        function onUdpConnectedChanged() {
            udpSwitch.checked = appBridge.udpConnected
        }
    }

    ColumnLayout {
        anchors.fill: parent
        spacing: 6 * commPanel.uiScale

        PanelTabBar {
            id: commTabs

            objectName: "commTabs"
            Layout.fillWidth: true
            uiScale: commPanel.uiScale
            currentIndex: 1

            PanelTabButton {
                uiScale: commPanel.uiScale
                text: commPanel.zhText("串口设置", "Serial")
            }
            PanelTabButton {
                uiScale: commPanel.uiScale
                text: "UDP"
            }
        }

        StackLayout {
            Layout.fillWidth: true
            Layout.fillHeight: true
            currentIndex: commTabs.currentIndex

            GridLayout {
                id: serialCommGrid

                columns: 5
                columnSpacing: 8 * commPanel.uiScale
                rowSpacing: 6 * commPanel.uiScale

                FieldLabel {
                    uiScale: commPanel.uiScale
                    text: commPanel.zhText("端口", "Port")
                }
                PanelCombo {
                    id: serialPortCombo

                    objectName: "serialPortCombo"
                    uiScale: commPanel.uiScale
                    Layout.fillWidth: true
                    Layout.minimumWidth: 120 * commPanel.uiScale
                    Layout.columnSpan: 2
                    model: appBridge.serialPorts
                    currentIndex: 0
                    enabled: !serialSwitch.checked
                }
                PanelButton {
                    id: serialRefreshButton

                    Layout.columnSpan: 2
                    uiScale: commPanel.uiScale
                    text: "↻"
                    enabled: !serialSwitch.checked
                    onClicked: appBridge.refreshSerialPorts()
                }

                FieldLabel {
                    uiScale: commPanel.uiScale
                    text: commPanel.zhText("波特率", "Baud Rate")
                }
                PanelCombo {
                    id: serialBaudCombo

                    objectName: "serialBaudCombo"
                    uiScale: commPanel.uiScale
                    Layout.fillWidth: true
                    Layout.minimumWidth: 120 * commPanel.uiScale
                    Layout.columnSpan: 2
                    model: ["9600", "19200", "38400", "57600", "115200", "921600"]
                    currentIndex: 4
                    enabled: !serialSwitch.checked
                }
                FieldLabel {
                    uiScale: commPanel.uiScale
                    text: commPanel.zhText("串口开关", "Serial Switch")
                }
                ToggleSwitch {
                    id: serialSwitch

                    objectName: "serialSwitch"
                    uiScale: commPanel.uiScale
                    checked: appBridge.serialOpened
                    onToggled: commPanel.applySerialSwitch(checked)
                }
            }

            GridLayout {
                id: udpCommGrid

                columns: 4
                columnSpacing: 8 * commPanel.uiScale
                rowSpacing: 6 * commPanel.uiScale

                FieldLabel {
                    uiScale: commPanel.uiScale
                    text: "UDP IP"
                }
                TextField {
                    id: udpIp

                    objectName: "udpIp"
                    Layout.fillWidth: true
                    Layout.minimumWidth: 130 * commPanel.uiScale
                    Layout.columnSpan: 3
                    implicitHeight: Theme.controlHeight * commPanel.uiScale
                    font.pixelSize: Theme.fontNormal * commPanel.uiScale
                    text: commPanel.defaultUdpIp
                    selectByMouse: true
                }

                FieldLabel {
                    uiScale: commPanel.uiScale
                    text: commPanel.zhText("端口", "Port")
                }
                TextField {
                    id: udpPort

                    objectName: "udpPort"
                    Layout.fillWidth: true
                    Layout.minimumWidth: 70 * commPanel.uiScale
                    implicitHeight: Theme.controlHeight * commPanel.uiScale
                    font.pixelSize: Theme.fontNormal * commPanel.uiScale
                    text: "1030"
                    selectByMouse: true
                    validator: IntValidator { bottom: 1; top: 65535 }
                }
                FieldLabel {
                    uiScale: commPanel.uiScale
                    text: commPanel.zhText("UDP开关", "UDP Switch")
                }
                ToggleSwitch {
                    id: udpSwitch

                    objectName: "udpSwitch"
                    uiScale: commPanel.uiScale
                    checked: appBridge.udpConnected
                    onToggled: commPanel.applyUdpSwitch(checked)
                }
            }
        }
    }
}
