import QtQuick 2.9
import QtQuick.Controls 2.2
import QtQuick.Layouts 1.3
import QtQuick.Window 2.2
import Skyvane 1.0

ApplicationWindow {
    id: win

    property string globalFontFamily: (typeof appFontFamily !== "undefined" && appFontFamily.length > 0)
                                      ? appFontFamily : "Source Han Sans SC"

    function zhText(cn, en) {
        return appBridge.language === "zh" ? cn : en
    }

    width: 1280
    height: 800
    visible: true
    title: "Skyvane " + appBridge.appVersion
    font.family: globalFontFamily

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
            spacing: 8

            RowLayout {
                Layout.fillWidth: true
                Layout.margins: 8

                Button {
                    text: win.zhText("返回", "Back")
                    onClicked: appBridge.backToMain()
                }
                Label {
                    Layout.fillWidth: true
                    text: appBridge.currentProduct + "    " + appBridge.linkStatus
                    font.pixelSize: 18
                }
                Button {
                    text: win.zhText("清除", "Clear")
                    onClicked: appBridge.clearMessages()
                }
            }
            FFmpegItem {
                id: videoItemRef

                Layout.fillWidth: true
                Layout.fillHeight: true
            }
            ScrollView {
                Layout.fillWidth: true
                Layout.preferredHeight: 220
                Layout.margins: 8

                TextArea {
                    readOnly: true
                    text: appBridge.messageLog
                    wrapMode: TextArea.Wrap
                }
            }
        }
    }
}
