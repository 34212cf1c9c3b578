#pragma once

#include <QMetaType>

// One latency window's decode-side figures, sent from the decode thread to the item.
struct FFmpegDecodeStats {
    double windowSeconds = 0;
    int decodedFrames = 0;
    double decodeFps = 0;
    double readAvgMs = 0;
    double readMaxMs = 0;
    double decodeAvgMs = 0;
    double decodeMaxMs = 0;
    double convertAvgMs = 0;
    double convertMaxMs = 0;
    double pipelineAvgMs = 0;
    double backlogAvgMs = -1.0;  // -1: no packet had a usable time stamp
    double backlogMaxMs = -1.0;
    int backlogSamples = 0;
};
Q_DECLARE_METATYPE(FFmpegDecodeStats)

// Accumulates one window of decode-side timings (all in microseconds) and turns it into FFmpegDecodeStats.
class FFmpegStatsWindow {
public:
    void addPicture(qint64 readUs, qint64 decodeUs, qint64 convertUs, qint64 backlogUs);
    bool empty() const { return m_decodedFrames == 0; }
    FFmpegDecodeStats summary(qint64 elapsedUs) const;
    void reset() { *this = FFmpegStatsWindow(); }

private:
    int m_decodedFrames = 0;
    qint64 m_readSumUs = 0, m_readMaxUs = 0;
    qint64 m_decodeSumUs = 0, m_decodeMaxUs = 0;
    qint64 m_convertSumUs = 0, m_convertMaxUs = 0;
    qint64 m_backlogSumUs = 0, m_backlogMaxUs = 0;
    int m_backlogSamples = 0;
};

// Latency settings from skyvane.cfg (Video/LatencyLogEnabled, Video/LatencyLogIntervalSec, clamped to 1..300 s).
struct LatencyLogSettings {
    bool enabled = true;
    int intervalSec = 5;
    static LatencyLogSettings read();
};

// Backlog of one packet: how far the wall clock has run ahead of the media clock since a baseline.
// The baseline restarts when the media clock jumps back by more than half a second.
class BacklogClock {
public:
    // Returns the backlog in µs (never negative).
    qint64 sample(qint64 ptsUs, qint64 nowUs);
    void reset() { *this = BacklogClock(); }

private:
    // Media times may be negative (streams that start before zero), so "none yet" is a flag of its
    // own rather than -1.
    bool m_hasBaseline = false;
    qint64 m_ptsBaseUs = 0;
    qint64 m_wallBaseUs = 0;
    bool m_hasLastPts = false;
    qint64 m_lastPtsUs = 0;
};

// Rates of the stream over the last second or so, from running totals sampled now and then.
class StreamRateMeter {
public:
    struct Totals {
        qint64 packets = 0;  // video packets received
        qint64 bytes = 0;    // their bytes
        qint64 shown = 0;    // pictures given to the screen
    };
    static constexpr qint64 kMinIntervalMs = 1000;

    // True when the rates were renewed (at least kMinIntervalMs after the previous renewal).
    bool sample(const Totals& totals, qint64 nowMs);
    double receivedFps() const { return m_receivedFps; }
    double shownFps() const { return m_shownFps; }
    double bitrateKbps() const { return m_bitrateKbps; }

private:
    bool m_started = false;
    Totals m_last;
    qint64 m_lastMs = 0;
    double m_receivedFps = 0;
    double m_shownFps = 0;
    double m_bitrateKbps = 0;
};
