#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

#include "Klv0601.h"

// What the device last told about itself, as the recordings and snapshots of the picture carry it.
// A plain value: the controller fills it, TelemetryFeed hands it across threads, and the recorder
// and the snapshot take a copy at the moment of each frame. Times are milliseconds since the epoch.
struct Telemetry {
    QString product;
    QString sensor;             // "EO", "IR", "EO/IR"; "" while the device has not said which camera it shows
    bool chinese = false;       // the operator's language, for the texts a player shows
    bool deviceSilent = false;  // no frame from the device for the silence time-out
    int staleAfterMs = 3000;    // a reading older than this is no longer shown

    bool hasAttitude = false;
    double yawDeg = 0;
    double pitchDeg = 0;
    double rollDeg = 0;
    qint64 attitudeMs = 0;

    bool hasSlantRange = false;  // the laser's last reading was valid
    double slantRangeM = 0;
    qint64 slantRangeMs = 0;

    bool hasZoom = false;
    double zoom = 1;

    bool thermometryOn = false;
    double maxTempC = 0;
    double minTempC = 0;

    // A copy without what is stale at nowMs: everything the device reported while it is silent,
    // readings older than staleAfterMs.
    Telemetry freshAt(qint64 nowMs) const;
    // Anything at all reported by the device (after freshAt).
    bool hasDeviceValues() const;

    // The local set of a frame that arrived at arrivalUs (µs since the epoch), from fresh values.
    Klv0601::Values klvValues(qint64 arrivalUs) const;
    // The text of one subtitle cue: the time, then the values or "no data".
    QString subtitleText(qint64 timeMs) const;
    // PNG text chunks (keyword, text) for a snapshot taken at timeMs; the keywords are in the README.
    QList<QPair<QString, QString>> pngText(qint64 timeMs) const;
};

// The latest telemetry of this ground station, published by the controller on the GUI thread and
// read by the decode thread for every frame.
namespace TelemetryFeed {
void publish(const Telemetry& telemetry);
Telemetry latest();
}  // namespace TelemetryFeed
