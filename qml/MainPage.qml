import QtQuick 2.9
import QtQuick.Controls 2.2
import QtQuick.Layouts 1.3
import "panels"

// The product selection page: the language switch, one button per product model and a preview
// picture of the model under the pointer, which slides in from the side of its button.
Item {
    id: mainPage

    objectName: "mainPage"
    property real uiScale: 1
    property string fontFamily: ""
    property string language: appBridge.language
    property string hoveredProduct: ""
    property int hoveredProductIndex: -1
    property real previewSlideX: 0
    property int _lastIndex: -1

    function dp(v) {
        return v * uiScale
    }

    function zhText(cn, en) {
        return language === "zh" ? cn : en
    }

    function langIndex() {
        return language === "zh" ? 0 : 1
    }

    // The application directory as a file URL, with a drive letter kept intact.
    function applicationDirUrl() {
        var dir = String(appBridge.applicationDirPath).replace(/\\/g, "/")
        return (dir.indexOf(":") === 1 ? "file:///" : "file://") + dir
    }

    // A picture that is not there gives an empty source: the page then shows what it has.
    function productImageSource(model) {
        if (!model || model.length === 0 || !appBridge.pictureExists(model + ".png"))
            return ""
        return applicationDirUrl() + "/" + model + ".png"
    }

    function defaultPreviewImageSource() {
        return appBridge.pictureExists("qzt_log.png") ? applicationDirUrl() + "/qzt_log.png" : ""
    }

    Rectangle {
        anchors.fill: parent
        color: Theme.windowBackground
    }

    ComboBox {
        id: langMain

        visible: false
        model: ["中文", "English"]
        currentIndex: mainPage.langIndex()
        onCurrentIndexChanged: appBridge.setLanguage(currentIndex === 0 ? "zh" : "en")
    }

    ColumnLayout {
        anchors.centerIn: parent
        width: Math.min(parent.width - mainPage.dp(80), mainPage.dp(980))
        spacing: mainPage.dp(28)

        RowLayout {
            Layout.fillWidth: true

            Text {
                Layout.fillWidth: true
                text: mainPage.zhText("选择产品型号", "Select Product Model")
                font.pixelSize: mainPage.dp(Theme.fontTitle)
                font.bold: true
                color: Theme.textPrimary
            }
            LanguagePill {
                id: langSwitcher

                objectName: "langSwitcher"
                uiScale: mainPage.uiScale
                currentIndex: langMain.currentIndex
                onSegmentClicked: langMain.currentIndex = index
            }
        }

        RowLayout {
            Layout.fillWidth: true
            spacing: mainPage.dp(36)

            GridLayout {
                id: productGrid

                Layout.alignment: Qt.AlignVCenter
                columns: 2
                columnSpacing: mainPage.dp(16)
                rowSpacing: mainPage.dp(16)

                Repeater {
                    model: appBridge.products

                    ProductButton {
                        objectName: "productButton_" + modelData
                        uiScale: mainPage.uiScale
                        text: modelData
                        onClicked: appBridge.selectProduct(modelData)
                        onHoveredChanged: {
                            if (hovered) {
                                mainPage.hoveredProductIndex = index
                                mainPage.hoveredProduct = modelData
                            } else if (mainPage.hoveredProduct === modelData) {
                                mainPage.hoveredProduct = ""
                                mainPage.hoveredProductIndex = -1
                            }
                        }
                    }
                }
            }

            Rectangle {
                id: productPreviewBox

                Layout.fillWidth: true
                Layout.preferredHeight: mainPage.dp(300)
                Layout.minimumWidth: mainPage.dp(300)
                radius: Theme.radiusLarge * mainPage.uiScale
                color: Theme.panelBackground
                border.color: Theme.panelBorder
                clip: true

                Image {
                    id: logoPreviewImage

                    objectName: "logoPreviewImage"
                    anchors.fill: parent
                    anchors.margins: mainPage.dp(16)
                    fillMode: Image.PreserveAspectFit
                    smooth: true
                    mipmap: true
                    source: mainPage.defaultPreviewImageSource()
                    visible: !productPreviewImage.visible
                }

                Image {
                    id: productPreviewImage

                    objectName: "productPreviewImage"
                    property int shownIndex: -1

                    x: mainPage.dp(16) + mainPage.previewSlideX
                    y: mainPage.dp(16)
                    width: parent.width - mainPage.dp(32)
                    height: parent.height - mainPage.dp(32)
                    fillMode: Image.PreserveAspectFit
                    smooth: true
                    mipmap: true
                    source: mainPage.productImageSource(mainPage.hoveredProduct)
                    visible: mainPage.hoveredProduct !== "" && status === Image.Ready
                    onSourceChanged: {
                        var previous = mainPage._lastIndex
                        var next = mainPage.hoveredProductIndex
                        if (previous >= 0 && next >= 0 && previous !== next) {
                            slideBehavior.enabled = false
                            mainPage.previewSlideX = next > previous ? productPreviewBox.width
                                                                     : -productPreviewBox.width
                            slideBehavior.enabled = true
                            slideToZero.restart()
                        } else {
                            slideBehavior.enabled = false
                            mainPage.previewSlideX = 0
                            slideBehavior.enabled = true
                        }
                        if (next >= 0)
                            mainPage._lastIndex = next
                    }
                }

                Timer {
                    id: slideToZero

                    interval: 20
                    onTriggered: mainPage.previewSlideX = 0
                }
            }
        }
    }

    Behavior on previewSlideX {
        id: slideBehavior

        NumberAnimation { duration: 260; easing.type: Easing.OutCubic }
    }
}
