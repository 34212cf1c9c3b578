#include "FFmpegThread.h"

#include <QDebug>
#include <QElapsedTimer>
#include <QTime>
#include <algorithm>

#include "FFmpegError.h"
#include "StreamRecorder.h"
#include "StreamSafety.h"
#include "app/AppUrls.h"
#include "app/elog.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/avutil.h>
#include <libavutil/time.h>
#include <libswscale/swscale.h>
}

namespace {

QMutex g_libraryInitLock;
bool g_libraryInitDone = false;

// Read errors in a row after which the input counts as lost (a stalled server gives one per socket time-out).
constexpr int kMaxConsecutiveReadErrors = 3;
// Images the thread may have in flight to the GUI; beyond that a picture is dropped, not queued.
constexpr int kImagePoolSize = 4;
// Probing limits: enough for the parameter sets of a camera stream, short enough for a quick first picture.
const char kProbeSize[] = "8192";
const char kAnalyzeDurationUs[] = "100000";

// A broken or timed-out connection does not come back by reading again.
bool isConnectionLost(int code) {
    return code == AVERROR(ETIMEDOUT) || code == AVERROR(ECONNRESET) || code == AVERROR(EPIPE) || code == AVERROR(EIO);
}

}  // namespace

FFmpegThread::FFmpegThread(QObject* parent) : QThread(parent) {
    setObjectName(QStringLiteral("FFmpegThread"));
    qRegisterMetaType<FFmpegDecodeStats>("FFmpegDecodeStats");
    initLibraryOnce();
}

FFmpegThread::~FFmpegThread() {
    // Blocking reads are interrupted by stop(), so waiting for the end is short and never skipped.
    stop();
    wait();
}

QString FFmpegThread::libraryVersion() {
    return QString::fromUtf8(av_version_info());
}

QString FFmpegThread::decodeApiName() {
    const unsigned v = avcodec_version();
    return QStringLiteral("send_packet/receive_frame (libavcodec %1.%2.%3)")
        .arg(AV_VERSION_MAJOR(v))
        .arg(AV_VERSION_MINOR(v))
        .arg(AV_VERSION_MICRO(v));
}

void FFmpegThread::initLibraryOnce() {
    QMutexLocker locker(&g_libraryInitLock);
    if (g_libraryInitDone)
        return;
    avformat_network_init();
    capVideoAllocations();
    g_libraryInitDone = true;
    const QByteArray version = libraryVersion().toUtf8();
    elog_i("video", "FFmpeg lib init ok version=%s decode_api=%s", version.constData(),
           decodeApiName().toUtf8().constData());
    qDebug().noquote() << QTime::currentTime().toString(QStringLiteral("HH:mm:ss zzz")) << "init ffmpeg lib ok"
                       << " version:" << libraryVersion();
}

int FFmpegThread::reopenDelayMs(int attempt) {
    int delay = kReopenMinDelayMs;
    for (int i = 0; i < attempt && delay < kReopenMaxDelayMs; ++i)
        delay *= 2;
    return std::min(delay, kReopenMaxDelayMs);
}

void FFmpegThread::debugLine(const QString& message) const {
    qDebug().noquote() << QTime::currentTime().toString(QStringLiteral("HH:mm:ss zzz")) << message;
}

void FFmpegThread::setUrl(const QString& url) {
    QMutexLocker locker(&m_urlLock);
    m_url = url;
}

QString FFmpegThread::currentUrl() const {
    QMutexLocker locker(&m_urlLock);
    return m_url;
}

void FFmpegThread::play() {
    m_stopRequested = false;
    m_openRequested = true;
}
void FFmpegThread::pause() {}
void FFmpegThread::next() {}
void FFmpegThread::stop() {
    m_stopRequested = true;
}

QString FFmpegThread::codecName() const {
    return QString::fromUtf8(m_codecName.load());
}

qint64 FFmpegThread::reconnectInMs() const {
    if (!m_streamDown)
        return -1;
    return std::max<qint64>(0, (m_reconnectAtUs.load() - av_gettime_relative()) / 1000);
}

// Ends any blocking FFmpeg call when the thread is asked to stop, and an open that outlasts its deadline.
int FFmpegThread::interruptCallback(void* opaque) {
    const auto* thread = static_cast<FFmpegThread*>(opaque);
    if (thread->m_stopRequested.load())
        return 1;
    const qint64 deadline = thread->m_openDeadlineUs.load();
    return deadline != 0 && av_gettime_relative() > deadline ? 1 : 0;
}

bool FFmpegThread::init() {
    free();
    const QString url = currentUrl();
    av_dict_set(&m_openOptions, "buffer_size", "1024000", 0);
    av_dict_set(&m_openOptions, "rtsp_transport", "tcp", 0);
    // Socket I/O time-out in µs; FFmpeg 5 calls the RTSP option "timeout" (formerly "stimeout").
    av_dict_set(&m_openOptions, "timeout", "3000000", 0);
    av_dict_set(&m_openOptions, "max_delay", "200000", 0);
    av_dict_set(&m_openOptions, "fflags", "nobuffer", 0);
    av_dict_set(&m_openOptions, "reorder_queue_size", "0", 0);
    av_dict_set(&m_openOptions, "threads", "auto", 0);
    av_dict_set(&m_openOptions, "probesize", kProbeSize, 0);
    av_dict_set(&m_openOptions, "analyzeduration", kAnalyzeDurationUs, 0);

    m_maxPicture = maxPictureSize();
    m_input = avformat_alloc_context();
    m_input->interrupt_callback.callback = &FFmpegThread::interruptCallback;
    m_input->interrupt_callback.opaque = this;
    const QByteArray urlUtf8 = url.toUtf8();
    const QByteArray shownUrl = AppUrls::withoutPassword(url).toUtf8();
    QElapsedTimer openClock;
    openClock.start();
    m_openDeadlineUs = av_gettime_relative() + qint64(kStreamOpenDeadlineMs) * 1000;
    int result = avformat_open_input(&m_input, urlUtf8.constData(), nullptr, &m_openOptions);
    if (result < 0) {
        const QString reason = openDeadlinePassed()
                                   ? QStringLiteral("no stream within %1 ms").arg(kStreamOpenDeadlineMs)
                                   : ffmpegErrorText(result);
        debugLine(QStringLiteral("open input error ") + AppUrls::withoutPassword(url));
        elog_w("video", "FFmpeg open input error url=%s (%s)", shownUrl.constData(), reason.toUtf8().constData());
        return false;
    }
    if (m_openOptions)
        av_dict_free(&m_openOptions);
    const qint64 openMs = openClock.elapsed();

    // Probe with the packets kept: with "nobuffer" the probe would throw away the key frame it read,
    // and the first picture would wait for the next one (a whole GOP later).
    const int inputFlags = m_input->flags;
    m_input->flags &= ~AVFMT_FLAG_NOBUFFER;
    result = findStreamInfo();
    m_input->flags = inputFlags;
    if (result < 0) {
        debugLine(QStringLiteral("find stream info error"));
        elog_w("video", "FFmpeg stream info error url=%s (%s)", shownUrl.constData(),
               (openDeadlinePassed() ? QStringLiteral("no stream within %1 ms").arg(kStreamOpenDeadlineMs)
                                     : ffmpegErrorText(result))
                   .toUtf8()
                   .constData());
        return false;
    }
    m_videoStreamIndex = av_find_best_stream(m_input, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (m_videoStreamIndex < 0) {
        debugLine(QStringLiteral("find video stream index error"));
        return false;
    }
    if (!acceptPictureSize(m_input->streams[m_videoStreamIndex]->codecpar->width,
                           m_input->streams[m_videoStreamIndex]->codecpar->height, shownUrl))
        return false;
    if (!openVideoDecoder())
        return false;
    debugLine(QStringLiteral("open input %1 ms, stream info %2 ms").arg(openMs).arg(openClock.elapsed() - openMs));

    emit receiveImageSize(m_videoWidth, m_videoHeight);
    const char* decoderName = m_videoCodec->name ? m_videoCodec->name : "?";
    const char* formatName = m_input->iformat && m_input->iformat->name ? m_input->iformat->name : "?";
    debugLine(QStringLiteral("视频流信息 -> 索引: %1  解码: %2  格式: %3  时长: %4 秒  分辨率: %5*%6")
                  .arg(m_videoStreamIndex)
                  .arg(QString::fromUtf8(decoderName), QString::fromUtf8(formatName))
                  .arg(m_input->duration / 1000000)
                  .arg(m_videoWidth)
                  .arg(m_videoHeight));
    elog_i("video", "FFmpeg open url=%s decoder=%s %dx%d format=%s", shownUrl.constData(), decoderName, m_videoWidth,
           m_videoHeight, formatName);

    if (!openAudioDecoder())
        return false;

    m_packet = av_packet_alloc();
    m_decodedFrame = av_frame_alloc();
    m_backlog.reset();
    m_recordedSize = QSize();
    if (m_recorder)
        announceStreamToRecorder(m_input->streams[m_videoStreamIndex]->codecpar);
    return true;
}

// Probing decodes a picture or two: its decoders get the same picture limit as ours.
int FFmpegThread::findStreamInfo() {
    const QByteArray maxPixels = QByteArray::number(qint64(m_maxPicture.width()) * m_maxPicture.height());
    QVector<AVDictionary*> options(int(m_input->nb_streams), nullptr);
    for (AVDictionary*& streamOptions : options)
        av_dict_set(&streamOptions, "max_pixels", maxPixels.constData(), 0);
    const int result = avformat_find_stream_info(m_input, options.data());
    for (AVDictionary*& streamOptions : options)
        av_dict_free(&streamOptions);
    return result;
}

bool FFmpegThread::openDeadlinePassed() const {
    const qint64 deadline = m_openDeadlineUs.load();
    return deadline != 0 && av_gettime_relative() > deadline;
}

// A picture beyond Video/MaxPictureSize is refused before anything of its size is allocated; the
// stream is tried again with the usual back-off (the camera may be set to a smaller size meanwhile).
bool FFmpegThread::acceptPictureSize(int width, int height, const QByteArray& shownUrl) {
    if (pictureSizeAllowed(QSize(width, height), m_maxPicture))
        return true;
    debugLine(QStringLiteral("picture too large %1x%2").arg(width).arg(height));
    elog_w("video", "FFmpeg stream refused, picture %dx%d larger than %dx%d (Video/MaxPictureSize) url=%s", width,
           height, m_maxPicture.width(), m_maxPicture.height(), shownUrl.constData());
    emit pictureTooLarge(width, height, m_maxPicture.width(), m_maxPicture.height());
    return false;
}

// The recorder keeps one picture size per file: it hears of the stream on every open and of every size
// change within the stream, before the packet that brought the change.
void FFmpegThread::announceStreamToRecorder(const AVCodecParameters* parameters) {
    const AVStream* stream = m_input->streams[m_videoStreamIndex];
    AVCodecParameters* announced = avcodec_parameters_alloc();
    if (!announced || avcodec_parameters_copy(announced, parameters) < 0) {
        avcodec_parameters_free(&announced);
        return;
    }
    announced->width = m_videoWidth;
    announced->height = m_videoHeight;
    m_recorder->setStream(announced, stream->time_base.num, stream->time_base.den);
    avcodec_parameters_free(&announced);
    m_recordedSize = QSize(m_videoWidth, m_videoHeight);
}

bool FFmpegThread::openVideoDecoder() {
    const AVStream* stream = m_input->streams[m_videoStreamIndex];
    m_videoCodec = avcodec_find_decoder(stream->codecpar->codec_id);
    if (!m_videoCodec) {
        debugLine(QStringLiteral("video decoder not found"));
        return false;
    }
    m_videoDecoder = avcodec_alloc_context3(m_videoCodec);
    if (!m_videoDecoder || avcodec_parameters_to_context(m_videoDecoder, stream->codecpar) < 0) {
        debugLine(QStringLiteral("open video codec error"));
        return false;
    }
    m_videoDecoder->pkt_timebase = stream->time_base;
    m_videoDecoder->lowres = m_videoCodec->max_lowres;
    m_videoDecoder->flags2 |= AV_CODEC_FLAG2_FAST;
    // Low delay and slice threads only: frame threading would hold pictures back.
    m_videoDecoder->flags |= AV_CODEC_FLAG_LOW_DELAY;
    m_videoDecoder->thread_count = 0;
    m_videoDecoder->thread_type = FF_THREAD_SLICE;
    m_videoDecoder->max_pixels = qint64(m_maxPicture.width()) * m_maxPicture.height();
    if (avcodec_open2(m_videoDecoder, m_videoCodec, nullptr) < 0) {
        debugLine(QStringLiteral("open video codec error"));
        return false;
    }
    m_codecName = m_videoCodec->name ? m_videoCodec->name : "";
    m_videoWidth = m_videoDecoder->width;
    m_videoHeight = m_videoDecoder->height;
    if (m_videoWidth == 0 || m_videoHeight == 0) {
        debugLine(QStringLiteral("find width height error"));
        return false;
    }
    return true;
}

bool FFmpegThread::openAudioDecoder() {
    m_audioStreamIndex = -1;
    for (unsigned i = 0; i < m_input->nb_streams; ++i) {
        if (m_input->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_AUDIO) {
            m_audioStreamIndex = int(i);
            break;
        }
    }
    if (m_audioStreamIndex < 0) {
        debugLine(QStringLiteral("find audio stream index error"));
        return true;
    }
    const AVCodecParameters* params = m_input->streams[m_audioStreamIndex]->codecpar;
    m_audioCodec = avcodec_find_decoder(params->codec_id);
    if (!m_audioCodec) {
        debugLine(QStringLiteral("audio codec not found"));
        return false;
    }
    m_audioDecoder = avcodec_alloc_context3(m_audioCodec);
    if (!m_audioDecoder || avcodec_parameters_to_context(m_audioDecoder, params) < 0 ||
        avcodec_open2(m_audioDecoder, m_audioCodec, nullptr) < 0) {
        debugLine(QStringLiteral("open audio codec error"));
        return false;
    }
    debugLine(QStringLiteral("音频流信息 -> 索引: %1  解码: %2  比特率: %3  声道数: %4  采样: %5")
                  .arg(m_audioStreamIndex)
                  .arg(QString::fromUtf8(m_audioCodec->name))
                  .arg(m_input->bit_rate)
                  .arg(m_audioDecoder->ch_layout.nb_channels)
                  .arg(m_audioDecoder->sample_rate));
    return true;
}

void FFmpegThread::free() {
    if (m_scaler) {
        sws_freeContext(m_scaler);
        m_scaler = nullptr;
    }
    if (m_packet)
        av_packet_free(&m_packet);
    if (m_decodedFrame)
        av_frame_free(&m_decodedFrame);
    if (m_videoDecoder)
        avcodec_free_context(&m_videoDecoder);
    if (m_audioDecoder)
        avcodec_free_context(&m_audioDecoder);
    if (m_input)
        avformat_close_input(&m_input);
    if (m_openOptions)
        av_dict_free(&m_openOptions);
    m_videoCodec = nullptr;
    m_audioCodec = nullptr;
    m_videoStreamIndex = -1;
    m_audioStreamIndex = -1;
}

QImage* FFmpegThread::acquireImage(int width, int height) {
    const QSize size(width, height);
    m_imagePool.erase(std::remove_if(m_imagePool.begin(), m_imagePool.end(),
                                     [&](const QImage& image) { return image.size() != size; }),
                      m_imagePool.end());
    for (QImage& image : m_imagePool) {
        if (image.isDetached()) {
            // The GUI dropped its last copy: its reads of these pixels happened before we write them.
            std::atomic_thread_fence(std::memory_order_acquire);
            return &image;
        }
    }
    if (m_imagePool.size() >= kImagePoolSize)
        return nullptr;
    QImage image(size, QImage::Format_RGB32);
    if (image.isNull())
        return nullptr;
    m_imagePool.append(image);
    return &m_imagePool.last();
}

qint64 FFmpegThread::packetBacklogUs() {
    if (!m_latencyLogEnabled || !m_input || m_videoStreamIndex < 0)
        return -1;
    int64_t stamp = m_packet->pts;
    if (stamp == AV_NOPTS_VALUE)
        stamp = m_packet->dts;
    if (stamp == AV_NOPTS_VALUE)
        return -1;
    const qint64 ptsUs = av_rescale_q(stamp, m_input->streams[m_videoStreamIndex]->time_base, AVRational{1, 1000000});
    return m_backlog.sample(ptsUs, av_gettime());
}

bool FFmpegThread::deliverPicture(qint64* convertUs) {
    const AVFrame* frame = m_decodedFrame;
    if (frame->width <= 0 || frame->height <= 0)
        return false;
    if (!pictureSizeAllowed(QSize(frame->width, frame->height), m_maxPicture))
        return false;
    if (frame->width != m_videoWidth || frame->height != m_videoHeight) {
        m_videoWidth = frame->width;
        m_videoHeight = frame->height;
        emit receiveImageSize(m_videoWidth, m_videoHeight);
    }
    if (m_recorder && m_recordedSize != QSize(m_videoWidth, m_videoHeight))
        announceStreamToRecorder(m_input->streams[m_videoStreamIndex]->codecpar);
    const qint64 start = m_latencyLogEnabled ? av_gettime_relative() : 0;
    m_scaler = sws_getCachedContext(m_scaler, frame->width, frame->height, AVPixelFormat(frame->format), frame->width,
                                    frame->height, AV_PIX_FMT_RGB32, SWS_FAST_BILINEAR, nullptr, nullptr, nullptr);
    if (!m_scaler)
        return false;
    QImage* image = acquireImage(frame->width, frame->height);
    if (!image) {
        ++m_droppedPictures;
        return false;
    }
    uint8_t* planes[4] = {image->bits(), nullptr, nullptr, nullptr};
    const int strides[4] = {int(image->bytesPerLine()), 0, 0, 0};
    sws_scale(m_scaler, frame->data, frame->linesize, 0, frame->height, planes, strides);
    if (m_latencyLogEnabled)
        *convertUs = av_gettime_relative() - start;
    emit receiveImage(*image);
    return true;
}

bool FFmpegThread::decodePacket(qint64 readUs, qint64 backlogUs, FFmpegStatsWindow* window) {
    const qint64 start = m_latencyLogEnabled ? av_gettime_relative() : 0;
    if (avcodec_send_packet(m_videoDecoder, m_packet) < 0)
        return false;
    bool pictureDelivered = false;
    qint64 decodeStart = start;
    while (avcodec_receive_frame(m_videoDecoder, m_decodedFrame) == 0) {
        const qint64 decodeUs = m_latencyLogEnabled ? av_gettime_relative() - decodeStart : 0;
        qint64 convertUs = 0;
        m_lastReadResult = 1;
        if (deliverPicture(&convertUs)) {
            pictureDelivered = true;
            if (m_latencyLogEnabled)
                window->addPicture(readUs, decodeUs, convertUs, backlogUs);
        }
        av_frame_unref(m_decodedFrame);
        if (m_latencyLogEnabled)
            decodeStart = av_gettime_relative();
    }
    return pictureDelivered;
}

bool FFmpegThread::waitBeforeReopen(int attempt, const QString& openedUrl, bool played, const char* reason) {
    const int delayMs = reopenDelayMs(attempt);
    const QByteArray url = AppUrls::withoutPassword(openedUrl).toUtf8();
    if (played) {
        elog_w("video", "FFmpeg stream lost (%s), reopen attempt %d in %d ms url=%s", reason, attempt + 1, delayMs,
               url.constData());
    } else {
        elog_w("video", "FFmpeg stream not available yet, open attempt %d in %d ms url=%s", attempt + 2, delayMs,
               url.constData());
    }
    free();
    if (played) {
        m_reconnectAtUs = av_gettime_relative() + qint64(delayMs) * 1000;
        m_streamDown = true;
    }
    QElapsedTimer waited;
    waited.start();
    while (!m_stopRequested && waited.elapsed() < delayMs)
        msleep(20);
    // A new address is not this stream's business: the item opens that one when asked to.
    if (currentUrl() != openedUrl) {
        elog_i("video", "FFmpeg stops retrying url=%s: the address changed", url.constData());
        return false;
    }
    return !m_stopRequested;
}

void FFmpegThread::run() {
    const LatencyLogSettings settings = LatencyLogSettings::read();
    m_latencyLogEnabled = settings.enabled;
    const qint64 intervalUs = qint64(settings.intervalSec) * 1000000;
    FFmpegStatsWindow window;
    qint64 windowStartUs = m_latencyLogEnabled ? av_gettime_relative() : 0;

    // The stream this run was started for; retries stop when the item is given another address.
    const QString openedUrl = currentUrl();
    QElapsedTimer sinceStart;
    sinceStart.start();
    bool played = false;       // the input was opened once in this run
    bool firstPicture = true;  // no picture delivered yet in this run
    int reopenAttempt = 0;     // failed (re)open attempts since the last picture
    int readErrors = 0;

    while (!m_stopRequested) {
        if (m_openRequested) {
            const bool opened = init();
            m_openDeadlineUs = 0;
            m_openRequested = false;
            if (opened) {
                if (played) {
                    ++m_reopenCount;
                    elog_i("video", "FFmpeg stream reopened url=%s",
                           AppUrls::withoutPassword(openedUrl).toUtf8().constData());
                }
                played = true;
                readErrors = 0;
            } else if (!m_stopRequested && waitBeforeReopen(reopenAttempt++, openedUrl, played, "open failed")) {
                // A camera that is still booting, or a server that refused one client, comes up later.
                m_openRequested = true;
            } else {
                m_stopRequested = true;
            }
            continue;
        }

        const qint64 readStart = m_latencyLogEnabled ? av_gettime_relative() : 0;
        m_lastReadResult = av_read_frame(m_input, m_packet);
        const qint64 readUs = m_latencyLogEnabled ? av_gettime_relative() - readStart : 0;
        if (m_lastReadResult < 0) {
            if (m_stopRequested)
                break;
            const bool ended = m_lastReadResult == AVERROR_EOF;
            if (m_lastReadResult == AVERROR(EAGAIN)) {
                msleep(5);
            } else if (ended || isConnectionLost(m_lastReadResult) || ++readErrors >= kMaxConsecutiveReadErrors) {
                const QByteArray reason =
                    (ended ? QStringLiteral("end of stream") : ffmpegErrorText(m_lastReadResult)).toUtf8();
                if (waitBeforeReopen(reopenAttempt++, openedUrl, true, reason.constData()))
                    m_openRequested = true;
                else
                    m_stopRequested = true;
                continue;
            }
        } else {
            readErrors = 0;
            if (m_packet->stream_index == m_videoStreamIndex) {
                ++m_receivedPackets;
                m_receivedBytes += m_packet->size;
                const qint64 backlogUs = packetBacklogUs();
                // Decoded first: a packet that changes the picture size tells the recorder so before
                // it is recorded, and goes into the new size's file.
                const bool delivered = decodePacket(readUs, backlogUs, &window);
                if (m_recorder)
                    m_recorder->pushPacket(m_packet);
                if (!delivered) {
                    av_packet_unref(m_packet);
                    continue;
                }
                reopenAttempt = 0;
                m_streamDown = false;
                if (firstPicture) {
                    firstPicture = false;
                    elog_i("video", "FFmpeg first picture %dx%d after %lld ms url=%s", m_videoWidth, m_videoHeight,
                           static_cast<long long>(sinceStart.elapsed()),
                           AppUrls::withoutPassword(openedUrl).toUtf8().constData());
                }
            }
        }

        if (m_latencyLogEnabled) {
            const qint64 nowUs = av_gettime_relative();
            if (nowUs - windowStartUs >= intervalUs) {
                if (!window.empty())
                    emit decodeStatsReady(window.summary(nowUs - windowStartUs));
                window.reset();
                windowStartUs = nowUs;
            }
        }
        if (m_packet)
            av_packet_unref(m_packet);
    }

    free();
    m_streamDown = false;
    m_stopRequested = false;
    m_openRequested = false;
    debugLine(QStringLiteral("stop ffmpeg thread"));
}
