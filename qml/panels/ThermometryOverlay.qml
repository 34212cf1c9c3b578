import QtQuick 2.9
import "."

// The thermometry read-outs drawn where the camera measured them: the measured region with its
// remove button, the chosen point's temperature and the hottest and coldest spots. Device
// positions are in a 1920 x 1080 frame and are mapped through `picture`, the rectangle the
// picture occupies, so they stay on their spot in a letter-boxed picture at any size.
Item {
    id: overlay

    property real uiScale: 1
    property rect picture: Qt.rect(0, 0, 0, 0)
    property string language: "zh"
    // The device went quiet: the readings are old, and say how old.
    readonly property bool stale: appBridge.deviceSilent
    readonly property bool regionShown: appBridge.irThermometryRectWidth > 0 && appBridge.irThermometryRectHeight > 0

    function viewX(x) {
        return picture.x + x / 1920 * picture.width
    }

    function viewY(y) {
        return picture.y + y / 1080 * picture.height
    }

    function celsius(value) {
        return Number(value).toFixed(1) + "°C"
    }
    function reading(prefix, value) {
        var age = stale ? "  · " + appBridge.deviceSilentSeconds + (language === "zh" ? " 秒前" : " s ago") : ""
        return prefix + celsius(value) + age
    }

    Rectangle {
        id: thermometryBox

        objectName: "thermometryBox"
        x: overlay.viewX(appBridge.irThermometryRectCenterX - appBridge.irThermometryRectWidth / 2)
        y: overlay.viewY(appBridge.irThermometryRectCenterY - appBridge.irThermometryRectHeight / 2)
        width: appBridge.irThermometryRectWidth / 1920 * overlay.picture.width
        height: appBridge.irThermometryRectHeight / 1080 * overlay.picture.height
        visible: overlay.regionShown
        color: "transparent"
        border.color: Theme.thermometryBox
        border.width: 2

        Rectangle {
            anchors.right: parent.right
            anchors.top: parent.top
            anchors.margins: 2
            width: 28 * overlay.uiScale
            height: width
            radius: Theme.radiusSmall * overlay.uiScale
            color: Theme.hudBacking

            Text {
                anchors.centerIn: parent
                text: "×"
                color: Theme.thermometryBox
                font.pixelSize: Theme.fontLarge * overlay.uiScale
                font.bold: true
            }
            // Back to measuring the region's centre as a point.
            MouseArea {
                objectName: "thermometryBoxRemove"
                anchors.fill: parent
                onClicked: appBridge.setIrTempMeasurePoint(appBridge.irThermometryRectCenterX,
                                                           appBridge.irThermometryRectCenterY)
            }
        }
    }

    ThermometryMark {
        id: hotMark

        objectName: "thermMaxLabel"
        uiScale: overlay.uiScale
        language: overlay.language
        bounds: overlay.picture
        stale: overlay.stale
        markX: overlay.viewX(appBridge.irThermometryMaxX)
        markY: overlay.viewY(appBridge.irThermometryMaxY)
        visible: appBridge.irThermometryValid && overlay.regionShown
        color: Theme.thermometryHot
        textColor: Theme.markHotText
        text: overlay.reading("H ", appBridge.irThermometryMaxTemp)
    }
    // Close to the hottest spot the coldest one's chip takes another side.
    ThermometryMark {
        id: coldMark

        objectName: "thermMinLabel"
        uiScale: overlay.uiScale
        language: overlay.language
        bounds: overlay.picture
        avoid: [hotMark.chipRect]
        stale: overlay.stale
        markX: overlay.viewX(appBridge.irThermometryMinX)
        markY: overlay.viewY(appBridge.irThermometryMinY)
        visible: appBridge.irThermometryValid && overlay.regionShown
        color: Theme.markColdText
        textColor: Theme.markColdText
        text: overlay.reading("L ", appBridge.irThermometryMinTemp)
    }
    ThermometryMark {
        id: thermPLabel

        objectName: "thermPLabel"
        uiScale: overlay.uiScale
        language: overlay.language
        bounds: overlay.picture
        avoid: [hotMark.chipRect, coldMark.chipRect]
        stale: overlay.stale
        markX: overlay.viewX(appBridge.irThermometryPointX)
        markY: overlay.viewY(appBridge.irThermometryPointY)
        visible: appBridge.irThermometryPointSelected && appBridge.irThermometryValid
        color: Theme.thermometryBox
        textColor: Theme.markPointText
        text: overlay.reading("", appBridge.irThermometryPointTemp)
    }
}
