#include "FFmpegDecodeStats.h"

#include <QtGlobal>
#include <algorithm>

#include "app/AppConfig.h"

void FFmpegStatsWindow::addPicture(qint64 readUs, qint64 decodeUs, qint64 convertUs, qint64 backlogUs) {
    ++m_decodedFrames;
    m_readSumUs += readUs;
    m_readMaxUs = std::max(m_readMaxUs, readUs);
    m_decodeSumUs += decodeUs;
    m_decodeMaxUs = std::max(m_decodeMaxUs, decodeUs);
    m_convertSumUs += convertUs;
    m_convertMaxUs = std::max(m_convertMaxUs, convertUs);
    if (backlogUs >= 0) {
        m_backlogSumUs += backlogUs;
        m_backlogMaxUs = std::max(m_backlogMaxUs, backlogUs);
        ++m_backlogSamples;
    }
}

FFmpegDecodeStats FFmpegStatsWindow::summary(qint64 elapsedUs) const {
    FFmpegDecodeStats stats;
    stats.windowSeconds = elapsedUs / 1000000.0;
    stats.decodedFrames = m_decodedFrames;
    if (m_decodedFrames <= 0)
        return stats;
    const double frames = m_decodedFrames;
    stats.decodeFps = stats.windowSeconds > 0 ? frames / stats.windowSeconds : 0;
    stats.readAvgMs = m_readSumUs / 1000.0 / frames;
    stats.readMaxMs = m_readMaxUs / 1000.0;
    stats.decodeAvgMs = m_decodeSumUs / 1000.0 / frames;
    stats.decodeMaxMs = m_decodeMaxUs / 1000.0;
    stats.convertAvgMs = m_convertSumUs / 1000.0 / frames;
    stats.convertMaxMs = m_convertMaxUs / 1000.0;
    stats.pipelineAvgMs = (m_readSumUs + m_decodeSumUs + m_convertSumUs) / 1000.0 / frames;
    if (m_backlogSamples > 0) {
        stats.backlogAvgMs = m_backlogSumUs / double(m_backlogSamples) / 1000.0;
        stats.backlogMaxMs = m_backlogMaxUs / 1000.0;
        stats.backlogSamples = m_backlogSamples;
    }
    return stats;
}

LatencyLogSettings LatencyLogSettings::read() {
    LatencyLogSettings settings;
    settings.enabled = AppConfig::boolValue(QStringLiteral("Video/LatencyLogEnabled"), true);
    settings.intervalSec = qBound(1, AppConfig::intValue(QStringLiteral("Video/LatencyLogIntervalSec"), 5), 300);
    return settings;
}

qint64 BacklogClock::sample(qint64 ptsUs, qint64 nowUs) {
    if (m_hasLastPts && ptsUs + 500000 < m_lastPtsUs)
        m_hasBaseline = false;
    m_hasLastPts = true;
    m_lastPtsUs = ptsUs;
    if (!m_hasBaseline) {
        m_hasBaseline = true;
        m_ptsBaseUs = ptsUs;
        m_wallBaseUs = nowUs;
    }
    const qint64 backlog = nowUs - (m_wallBaseUs + (ptsUs - m_ptsBaseUs));
    return backlog < 0 ? 0 : backlog;
}

bool StreamRateMeter::sample(const Totals& totals, qint64 nowMs) {
    if (!m_started) {
        m_started = true;
        m_last = totals;
        m_lastMs = nowMs;
        return false;
    }
    const qint64 elapsedMs = nowMs - m_lastMs;
    if (elapsedMs < kMinIntervalMs)
        return false;
    const double seconds = elapsedMs / 1000.0;
    m_receivedFps = (totals.packets - m_last.packets) / seconds;
    m_shownFps = (totals.shown - m_last.shown) / seconds;
    m_bitrateKbps = (totals.bytes - m_last.bytes) * 8 / 1000.0 / seconds;
    m_last = totals;
    m_lastMs = nowMs;
    return true;
}
