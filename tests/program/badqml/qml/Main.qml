import QtQuick 2.9
import QtQuick.Controls 2.2

ApplicationWindow {
    visible: true
    width: 200
    height: 100
    Label { text: "unterminated
}
