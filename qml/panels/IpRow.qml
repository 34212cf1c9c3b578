import QtQuick 2.9
import QtQuick.Controls 2.2
import QtQuick.Layouts 1.3
import "."

// Four octet fields separated by dots. The fields keep what the operator typed; checking the
// address is the controller's job.
RowLayout {
    id: ipRow

    property real uiScale: 1
    property string namePrefix: ""
    property alias text1: octet1.text
    property alias text2: octet2.text
    property alias text3: octet3.text
    property alias text4: octet4.text

    function joined() {
        return [octet1.text, octet2.text, octet3.text, octet4.text].join(".")
    }

    // Fills the four fields from a dotted address; anything but four parts leaves them alone.
    function fill(address) {
        var parts = String(address).split(".")
        if (parts.length !== 4)
            return
        octet1.text = parts[0]
        octet2.text = parts[1]
        octet3.text = parts[2]
        octet4.text = parts[3]
    }

    function clear() {
        octet1.text = ""
        octet2.text = ""
        octet3.text = ""
        octet4.text = ""
    }

    spacing: 2 * uiScale

    component Octet: TextField {
        Layout.fillWidth: true
        Layout.minimumWidth: 40 * ipRow.uiScale
        implicitHeight: Theme.controlHeight * ipRow.uiScale
        font.pixelSize: Theme.fontNormal * ipRow.uiScale
        horizontalAlignment: TextInput.AlignHCenter
        maximumLength: 3
        selectByMouse: true
    }
    component Dot: FieldLabel {
        uiScale: ipRow.uiScale
        text: "."
    }

    Octet {
        id: octet1

        objectName: ipRow.namePrefix + "1"
    }
    Dot { }
    Octet {
        id: octet2

        objectName: ipRow.namePrefix + "2"
    }
    Dot { }
    Octet {
        id: octet3

        objectName: ipRow.namePrefix + "3"
    }
    Dot { }
    Octet {
        id: octet4

        objectName: ipRow.namePrefix + "4"
    }
}
