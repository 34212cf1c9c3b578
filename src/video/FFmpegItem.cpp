#include "FFmpegItem.h"

#include <QCoreApplication>
#include <QQuickWindow>
#include <algorithm>

#include "FFmpegThread.h"
#include "LocalCapture.h"
#include "StreamSafety.h"
#include "VideoBackend.h"
#include "app/AppUrls.h"
#include "app/elog.h"

namespace {

// Often enough for a countdown in whole seconds.
constexpr int kStatsIntervalMs = 250;

}  // namespace

FFmpegItem::FFmpegItem(QQuickItem* parent)
    : VideoFrameItem(parent),
      m_thread(new FFmpegThread(this)),
      m_capture(new LocalCapture([this] { return image(); }, this)) {
    m_thread->setRecorder(m_capture->recorder());
    qRegisterMetaType<FFmpegDecodeStats>("FFmpegDecodeStats");

    const LatencyLogSettings settings = LatencyLogSettings::read();
    m_latencyLogEnabled = settings.enabled;
    const QByteArray configPath = videoConfigFilePath().toUtf8();
    if (m_latencyLogEnabled) {
        m_latencyClock.start();
        connect(m_thread, &FFmpegThread::decodeStatsReady, this, &FFmpegItem::onDecodeStatsReady);
        connect(this, &QQuickItem::windowChanged, this, &FFmpegItem::onWindowChanged);
        if (window())
            onWindowChanged(window());
        elog_i("video", "延迟统计日志已开启, 汇总间隔=%d秒 (配置: %s)", settings.intervalSec, configPath.constData());
    } else {
        elog_i("video", "延迟统计日志已关闭 (配置: %s)", configPath.constData());
    }
    connect(m_thread, &FFmpegThread::receiveImage, this, &FFmpegItem::updateImage);
    connect(m_thread, &FFmpegThread::receiveImageSize, this, qOverload<int, int>(&FFmpegItem::setSize));
    connect(m_thread, &QThread::finished, this, &FFmpegItem::onThreadFinished);
    connect(m_thread, &FFmpegThread::pictureTooLarge, this, &FFmpegItem::refusePictureSize);
    // The thread keeps the URL for its next open; setting it never reopens.
    connect(this, &VideoFrameItem::urlChanged, this, [this] { m_thread->setUrl(url()); });
    m_thread->setUrl(url());

    m_statsClock.start();
    m_statsTimer.setInterval(kStatsIntervalMs);
    connect(&m_statsTimer, &QTimer::timeout, this, &FFmpegItem::updateStreamStats);
    m_statsTimer.start();
}

FFmpegItem::~FFmpegItem() {
    elog_i("video", "FFmpegItem close");
    m_reopenPending = false;
    // The base class still reports window changes while it takes the item out of its window.
    disconnect(this, &QQuickItem::windowChanged, this, &FFmpegItem::onWindowChanged);
    if (m_frameSwappedConnection)
        disconnect(m_frameSwappedConnection);
    disconnect(m_thread, nullptr, this, nullptr);
    stopThread(true);
}

bool FFmpegItem::isPlaying() const {
    return m_thread->isRunning();
}

void FFmpegItem::open() {
    elog_i("video", "FFmpegItem open url=%s", AppUrls::withoutPassword(url()).toUtf8().constData());
    if (!m_thread->isRunning()) {
        startThread();
        return;
    }
    // Asked again for the stream it is still connecting to (the interface may ask twice while it comes
    // up): starting over would only throw the connection away and delay the first picture.
    if (!m_reopenPending && isConnecting() && m_connectingUrl == url()) {
        elog_i("video", "FFmpegItem already opening url=%s", AppUrls::withoutPassword(url()).toUtf8().constData());
        return;
    }
    m_reopenPending = true;
    m_thread->stop();
    m_thread->quit();
}

void FFmpegItem::close() {
    elog_i("video", "FFmpegItem close");
    m_reopenPending = false;
    stopThread(false);
    setConnecting(false);
}

void FFmpegItem::startThread() {
    // What the previous run queued before it stopped (pictures, sizes, statistics, its end) belongs to
    // the old stream: it must not land on the new run's blank item nor restart it once more.
    QCoreApplication::removePostedEvents(this, QEvent::MetaCall);
    clear();
    setConnecting(true);
    m_connectingUrl = url();
    m_thread->setUrl(url());
    m_thread->play();
    m_thread->start(QThread::InheritPriority);
}

// Reads blocked on the network are interrupted by stop(), so the thread ends well within the wait.
// On destruction it is waited for in any case: a running thread is never destroyed.
void FFmpegItem::stopThread(bool waitForEnd) {
    if (!m_thread->isRunning())
        return;
    m_thread->stop();
    m_thread->quit();
    if (m_thread->wait(500) || !waitForEnd)
        return;
    elog_w("video", "FFmpegItem decode thread still running after 500 ms, waiting for it");
    m_thread->wait();
}

void FFmpegItem::onThreadFinished() {
    if (!m_reopenPending) {
        // The retries ended (the address changed) or the stream was closed.
        setConnecting(false);
        return;
    }
    m_reopenPending = false;
    startThread();
}

// The decode thread hands over images that own their pixels, so keeping one is enough.
void FFmpegItem::updateImage(const QImage& image) {
    writePicture([&image](QImage& picture) {
        picture = image;
        return true;
    });
}

void FFmpegItem::setSize(int width, int height) {
    setVideoSize(width, height);
}

void FFmpegItem::pictureArrived() {
    if (!m_latencyLogEnabled)
        return;
    m_imageArrivedNs = m_latencyClock.nsecsElapsed();
    m_paintPending = true;
}

void FFmpegItem::pictureDrawn() {
    if (!m_latencyLogEnabled || !m_paintPending)
        return;
    const qint64 d = m_latencyClock.nsecsElapsed() - m_imageArrivedNs;
    m_paintPending = false;
    ++m_paintCount;
    m_paintSumNs += d;
    m_paintMaxNs = std::max(m_paintMaxNs, d);
    m_paintedImageArrivedNs = m_imageArrivedNs;
    m_swapPending = true;
}

void FFmpegItem::onWindowChanged(QQuickWindow* window) {
    if (m_frameSwappedConnection)
        disconnect(m_frameSwappedConnection);
    m_frameSwappedConnection = QMetaObject::Connection();
    if (window) {
        m_frameSwappedConnection =
            connect(window, &QQuickWindow::frameSwapped, this, &FFmpegItem::onFrameSwapped, Qt::DirectConnection);
    }
}

void FFmpegItem::onFrameSwapped() {
    QMutexLocker locker(&pictureLock());
    if (!m_latencyLogEnabled || !m_swapPending)
        return;
    const qint64 d = m_latencyClock.nsecsElapsed() - m_paintedImageArrivedNs;
    m_swapPending = false;
    ++m_swapCount;
    m_swapSumNs += d;
    m_swapMaxNs = std::max(m_swapMaxNs, d);
}

void FFmpegItem::onDecodeStatsReady(const FFmpegDecodeStats& stats) {
    // Pictures of this window: handed over by the thread, given to the scene graph, replaced unseen.
    const FrameCounts counts = frameCounts();
    const qint64 framesDecoded = counts.decoded - m_loggedCounts.decoded;
    const qint64 framesDrawn = counts.drawn - m_loggedCounts.drawn;
    const qint64 framesReplaced = counts.replaced - m_loggedCounts.replaced;
    m_loggedCounts = counts;
    QMutexLocker locker(&pictureLock());
    const double paintAvgMs = m_paintCount < 1 ? 0 : m_paintSumNs / 1e6 / m_paintCount;
    const double paintMaxMs = m_paintMaxNs / 1e6;
    const double swapAvgMs = m_swapCount < 1 ? 0 : m_swapSumNs / 1e6 / m_swapCount;
    const double swapMaxMs = m_swapMaxNs / 1e6;
    const double paintFps = stats.windowSeconds > 0 ? m_paintCount / stats.windowSeconds : 0;
    const double swapFps = stats.windowSeconds > 0 ? m_swapCount / stats.windowSeconds : 0;
    const double inAppMs = stats.pipelineAvgMs + swapAvgMs;
    m_latencyMs = inAppMs + std::max(0.0, stats.backlogAvgMs);
    if (stats.backlogSamples > 0 && stats.backlogAvgMs >= 0) {
        const double e2eMs = stats.backlogAvgMs + stats.pipelineAvgMs + swapAvgMs;
        elog_i("video",
               "延迟统计[窗口%.1f秒]: 解码帧率%.1f帧/秒(共%d帧) | 读包耗时均%.1f毫秒最大%.1f毫秒 | "
               "解码耗时均%.1f毫秒最大%.1f毫秒 | 色彩转换均%.1f毫秒最大%.1f毫秒 | 解码管线合计均%.1f毫秒 | "
               "缓冲积压均%.1f毫秒最大%.1f毫秒(PTS样本%d个) | 到绘制均%.1f毫秒最大%.1f毫秒@%.1f帧/秒 | "
               "到上屏均%.1f毫秒最大%.1f毫秒@%.1f帧/秒 | 应用内处理约%.1f毫秒 | 端到端估计约%.1f毫秒 | "
               "画面帧: 解码%lld 绘制%lld 替换%lld",
               stats.windowSeconds, stats.decodeFps, stats.decodedFrames, stats.readAvgMs, stats.readMaxMs,
               stats.decodeAvgMs, stats.decodeMaxMs, stats.convertAvgMs, stats.convertMaxMs, stats.pipelineAvgMs,
               stats.backlogAvgMs, stats.backlogMaxMs, stats.backlogSamples, paintAvgMs, paintMaxMs, paintFps,
               swapAvgMs, swapMaxMs, swapFps, inAppMs, e2eMs, framesDecoded, framesDrawn, framesReplaced);
    } else {
        elog_i("video",
               "延迟统计[窗口%.1f秒]: 解码帧率%.1f帧/秒(共%d帧) | 读包耗时均%.1f毫秒最大%.1f毫秒 | "
               "解码耗时均%.1f毫秒最大%.1f毫秒 | 色彩转换均%.1f毫秒最大%.1f毫秒 | 解码管线合计均%.1f毫秒 | "
               "缓冲积压无有效PTS | 到绘制均%.1f毫秒最大%.1f毫秒@%.1f帧/秒 | 到上屏均%.1f毫秒最大%.1f毫秒@%.1f帧/秒 | "
               "应用内处理约%.1f毫秒 | 画面帧: 解码%lld 绘制%lld 替换%lld",
               stats.windowSeconds, stats.decodeFps, stats.decodedFrames, stats.readAvgMs, stats.readMaxMs,
               stats.decodeAvgMs, stats.decodeMaxMs, stats.convertAvgMs, stats.convertMaxMs, stats.pipelineAvgMs,
               paintAvgMs, paintMaxMs, paintFps, swapAvgMs, swapMaxMs, swapFps, inAppMs, framesDecoded, framesDrawn,
               framesReplaced);
    }
    m_paintCount = 0;
    m_paintSumNs = 0;
    m_paintMaxNs = 0;
    m_swapCount = 0;
    m_swapSumNs = 0;
    m_swapMaxNs = 0;
}

QVariantMap FFmpegItem::streamStats() const {
    const FrameCounts counts = frameCounts();
    return QVariantMap{
        {QStringLiteral("width"), videoSize().width()},
        {QStringLiteral("height"), videoSize().height()},
        {QStringLiteral("codec"), m_thread->codecName()},
        {QStringLiteral("receivedFps"), m_rates.receivedFps()},
        {QStringLiteral("shownFps"), m_rates.shownFps()},
        {QStringLiteral("bitrateKbps"), m_rates.bitrateKbps()},
        {QStringLiteral("latencyMs"), m_latencyMs},
        {QStringLiteral("dropped"), counts.replaced + m_thread->droppedPictures()},
        {QStringLiteral("reconnects"), m_thread->reopenCount()},
    };
}

void FFmpegItem::updateStreamStats() {
    const qint64 reconnectInMs = m_thread->isRunning() ? m_thread->reconnectInMs() : -1;
    const int reconnectIn = reconnectInMs < 0 ? -1 : int((reconnectInMs + 999) / 1000);
    const StreamRateMeter::Totals totals{m_thread->receivedPackets(), m_thread->receivedBytes(), frameCounts().drawn};
    const bool renewed = m_rates.sample(totals, m_statsClock.elapsed());
    if (!renewed && reconnectIn == m_reconnectInSeconds)
        return;
    m_reconnectInSeconds = reconnectIn;
    emit streamStatsChanged();
}
