import QtQuick 2.9
import "."

// Where the gimbal points on one axis against its travel: a track from `minimum` to `maximum` with
// a tick every `step` degrees (the zero tick longer) and a marker at `value`. Horizontal for yaw,
// vertical for pitch (up is the track's top).
Rectangle {
    id: scale

    property real uiScale: 1
    property bool vertical: false
    property real minimum: -180
    property real maximum: 180
    property real step: 45
    property real value: 0
    property bool stale: false
    property real length: 200 * uiScale
    readonly property real thickness: 22 * uiScale
    readonly property real inset: 8 * uiScale
    readonly property real span: length - 2 * inset
    // The marker's distance from the track's start (left, or top for pitch).
    readonly property real markerAt: {
        var clamped = Math.max(minimum, Math.min(maximum, value))
        var share = (clamped - minimum) / (maximum - minimum)
        return inset + (vertical ? 1 - share : share) * span
    }

    width: vertical ? thickness : length
    height: vertical ? length : thickness
    radius: Theme.radiusSmall * uiScale
    color: Theme.hudBacking

    Rectangle {
        x: scale.vertical ? scale.thickness / 2 - 1 : scale.inset
        y: scale.vertical ? scale.inset : scale.thickness / 2 - 1
        width: scale.vertical ? 2 : scale.span
        height: scale.vertical ? scale.span : 2
        color: scale.stale ? Theme.hudStale : Theme.hudScaleTrack
    }
    Repeater {
        model: Math.floor((scale.maximum - scale.minimum) / scale.step) + 1

        Rectangle {
            readonly property real degrees: scale.minimum + index * scale.step
            readonly property real along: scale.inset + (scale.vertical ? 1 - index * scale.step / (scale.maximum
                                                                                                     - scale.minimum)
                                                                         : index * scale.step / (scale.maximum
                                                                                                 - scale.minimum))
                                          * scale.span
            readonly property real reach: (degrees === 0 ? 0.7 : 0.4) * scale.thickness

            x: scale.vertical ? (scale.thickness - reach) / 2 : along - 1
            y: scale.vertical ? along - 1 : (scale.thickness - reach) / 2
            width: scale.vertical ? reach : 2
            height: scale.vertical ? 2 : reach
            color: scale.stale ? Theme.hudStale : Theme.hudScaleTrack
        }
    }
    // The marker: a bar across the track with a dark edge, so it stands out from the ticks.
    Rectangle {
        objectName: scale.objectName + "Marker"
        x: scale.vertical ? 1 * scale.uiScale : scale.markerAt - width / 2
        y: scale.vertical ? scale.markerAt - height / 2 : 1 * scale.uiScale
        width: scale.vertical ? scale.thickness - 2 * scale.uiScale : 6 * scale.uiScale
        height: scale.vertical ? 6 * scale.uiScale : scale.thickness - 2 * scale.uiScale
        radius: 2 * scale.uiScale
        color: scale.stale ? Theme.hudStale : Theme.hudScaleMarker
        border.color: Theme.hudOutline
        border.width: 1
    }
}
