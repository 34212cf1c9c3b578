import QtQuick 2.9
import QtQuick.Controls 2.2
import QtQuick.Layouts 1.3
import QtQuick.Window 2.2
import Skyvane 1.0

// Main window: the product page and a runtime page with the link controls, the live video and the
// message log.
ApplicationWindow {
    id: win

    property string globalFontFamily: (typeof appFontFamily !== "undefined" && appFontFamily.length > 0)
                                      ? appFontFamily : "Source Han Sans SC"
    readonly property var baudRates: [9600, 19200, 38400, 57600, 115200, 921600]
    // The product whose runtime page was last set up: the page-shown signal the controller sends
    // after reopening the last product at start must not open the stream a second time.
    property string startedProduct: ""

    function zhText(cn, en) {
        return appBridge.language === "zh" ? cn : en
    }

    // Factory addresses of the products' camera network.
    function defaultDeviceIpForProduct(p) {
        return (p === "Tern" || p === "Tern-LITE-B" || p === "Dove") ? "192.168.120.20" : "192.168.120.10"
    }

    function defaultStreamUrlForProduct(p) {
        if (p === "WrenT-R2" || p === "Wren-R2" || p === "Tern-LITE-A")
            return "rtsp://192.168.120.10:8600/live0"
        if (p === "Tern" || p === "TernX" || p === "Tern-LITE-B" || p === "Dove")
            return "rtsp://192.168.120.20:558/live/single"
        return "rtsp://192.168.120.10:8600/videoh264_chn0"
    }

    function playStream(url) {
        var u = url.trim()
        if (u.length === 0)
            return
        appBridge.rememberStreamUrl(u)
        videoItemRef.url = u
        videoItemRef.open()
    }

    function startRuntimePage() {
        if (startedProduct === appBridge.currentProduct)
            return
        startedProduct = appBridge.currentProduct
        udpIp.text = defaultDeviceIpForProduct(appBridge.currentProduct)
        var history = appBridge.streamHistory
        streamUrl.editText = history.length > 0 ? history[0] : defaultStreamUrlForProduct(appBridge.currentProduct)
        if (history.length > 0)
            playStream(history[0])
    }

    width: 1280
    height: 860
    visible: true
    title: "Skyvane " + appBridge.appVersion
    font.family: globalFontFamily

    Component.onCompleted: if (appBridge.runtimePage) startRuntimePage()

    Connections {
        target: appBridge
        function onRuntimePageChanged() {
            if (appBridge.runtimePage) {
                win.startRuntimePage()
            } else {
                win.startedProduct = ""
                videoItemRef.close()
            }
        }
    }

    StackLayout {
        id: pages

        anchors.fill: parent
        currentIndex: appBridge.runtimePage ? 1 : 0

        // Product selection
        Item {
            ColumnLayout {
                anchors.centerIn: parent
                spacing: 16

                Label {
                    Layout.alignment: Qt.AlignHCenter
                    text: win.zhText("选择产品型号", "Select product model")
                    font.pixelSize: 24
                }
                Repeater {
                    model: appBridge.products

                    Button {
                        Layout.alignment: Qt.AlignHCenter
                        Layout.preferredWidth: 240
                        text: modelData
                        highlighted: modelData === appBridge.currentProduct
                        onClicked: appBridge.selectProduct(modelData)
                    }
                }
                Button {
                    Layout.alignment: Qt.AlignHCenter
                    text: appBridge.language === "zh" ? "English" : "中文"
                    onClicked: appBridge.setLanguage(appBridge.language === "zh" ? "en" : "zh")
                }
            }
        }

        // Runtime page
        ColumnLayout {
            spacing: 4

            RowLayout {
                Layout.fillWidth: true
                Layout.margins: 6

                Button {
                    text: win.zhText("返回", "Back")
                    onClicked: appBridge.backToMain()
                }
                Label {
                    Layout.fillWidth: true
                    text: appBridge.currentProduct + "    " + appBridge.linkStatus + "    "
                          + win.zhText("云台版本 ", "Gimbal ") + appBridge.gimbalHwVersion + " / "
                          + appBridge.gimbalSwVersion + "    " + win.zhText("相机版本 ", "Camera ")
                          + appBridge.cameraVersion
                    font.pixelSize: 16
                    elide: Text.ElideRight
                }
                Button {
                    text: appBridge.language === "zh" ? "English" : "中文"
                    onClicked: appBridge.setLanguage(appBridge.language === "zh" ? "en" : "zh")
                }
            }

            RowLayout {
                Layout.fillWidth: true
                Layout.leftMargin: 6
                Layout.rightMargin: 6

                Label { text: "UDP IP" }
                TextField {
                    id: udpIp

                    Layout.preferredWidth: 150
                    selectByMouse: true
                }
                Label { text: win.zhText("端口", "Port") }
                TextField {
                    id: udpPort

                    Layout.preferredWidth: 70
                    text: "1030"
                    validator: IntValidator { bottom: 1; top: 65535 }
                    selectByMouse: true
                }
                Button {
                    text: appBridge.udpConnected ? win.zhText("断开", "Disconnect") : win.zhText("连接", "Connect")
                    onClicked: appBridge.udpConnected ? appBridge.disconnectUdp()
                                                      : appBridge.connectUdp(udpIp.text, parseInt(udpPort.text))
                }
                ToolSeparator {}
                Label { text: win.zhText("串口", "Serial") }
                ComboBox {
                    id: serialPort

                    Layout.preferredWidth: 200
                    editable: true
                    model: appBridge.serialPorts
                }
                ComboBox {
                    id: baudRate

                    Layout.preferredWidth: 110
                    model: win.baudRates
                    currentIndex: 4
                }
                Button {
                    text: appBridge.serialOpened ? win.zhText("关闭", "Close") : win.zhText("打开", "Open")
                    onClicked: appBridge.serialOpened ? appBridge.closeSerial()
                                                      : appBridge.openSerial(serialPort.editText,
                                                                             win.baudRates[baudRate.currentIndex])
                }
                Button {
                    text: win.zhText("刷新", "Refresh")
                    onClicked: appBridge.refreshSerialPorts()
                }
                Item { Layout.fillWidth: true }
            }

            RowLayout {
                Layout.fillWidth: true
                Layout.leftMargin: 6
                Layout.rightMargin: 6

                Label { text: win.zhText("视频地址", "Stream") }
                ComboBox {
                    id: streamUrl

                    Layout.fillWidth: true
                    editable: true
                    model: appBridge.streamHistory
                }
                Button {
                    text: win.zhText("播放", "Play")
                    onClicked: win.playStream(streamUrl.editText)
                }
                Button {
                    text: win.zhText("停止", "Stop")
                    onClicked: videoItemRef.close()
                }
            }

            Rectangle {
                Layout.fillWidth: true
                Layout.fillHeight: true
                color: "black"

                FFmpegItem {
                    id: videoItemRef

                    anchors.fill: parent
                }
            }

            RowLayout {
                Layout.fillWidth: true
                Layout.leftMargin: 6
                Layout.rightMargin: 6

                Label {
                    Layout.fillWidth: true
                    text: win.zhText("消息", "Messages")
                }
                Button {
                    text: win.zhText("清除", "Clear")
                    onClicked: appBridge.clearMessages()
                }
            }
            ScrollView {
                id: logView

                Layout.fillWidth: true
                Layout.preferredHeight: 200
                Layout.margins: 6

                TextArea {
                    readOnly: true
                    text: appBridge.messageLog
                    wrapMode: TextArea.Wrap
                    selectByMouse: true
                    onTextChanged: cursorPosition = length
                }
            }
        }
    }
}
