import QtQuick 2.9
import "."

// Measures the labels of a form so that its label column fits the widest one in the current language.
FontMetrics {
    id: metrics

    property real uiScale: 1

    function widest(texts) {
        var width = 0
        for (var i = 0; i < texts.length; ++i)
            width = Math.max(width, metrics.advanceWidth(texts[i]))
        return Math.ceil(width) + 2
    }

    font.pixelSize: Theme.fontNormal * uiScale
}
