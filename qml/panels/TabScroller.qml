import QtQuick 2.9
import QtQuick.Controls 2.2

// A tab's content that scrolls when the tab is shorter than it, with a scroll bar that stays in
// view while there is more to see, so that a small window never hides controls without a hint.
Flickable {
    id: scroller

    property real uiScale: 1
    // The width the content may take beside the scroll bar.
    readonly property real contentAreaWidth: width - 12 * uiScale

    clip: true
    contentWidth: width
    interactive: contentHeight > height
    boundsBehavior: Flickable.StopAtBounds

    ScrollBar.vertical: ScrollBar { policy: scroller.interactive ? ScrollBar.AlwaysOn : ScrollBar.AlwaysOff }
}
