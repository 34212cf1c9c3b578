// Stand-in RTSP player library. Honours the vendor player's five entry points and its callback
// contract: per channel a decode thread pulls and decodes the stream with FFmpeg and a delivery thread
// hands tightly packed 24-bit RGB pictures (frame type 0x40) to the caller's callback; when the stream
// is lost, after a growing pause, a reconnect notice (0x100) carrying the URL is sent and the channel
// goes quiet until the caller closes it. EasyPlayer_SetFrameCache bounds the pictures waiting for
// delivery (the oldest is dropped when the caller is slower than the stream).
//
// A hostile server is kept at bay: opening a stream ends after a deadline however slowly the server
// trickles, and a picture larger than EasyPlayer_SetMaxPictureSize allows (8192 x 8192 unless told
// otherwise) is refused with a notice (0x200) before it is decoded, followed by the usual reconnect.

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "EasyPlayerAbi.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/time.h>
#include <libswscale/swscale.h>
}

#define EASYPLAYER_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

using easyplayer::FrameInfo;

constexpr int kDefaultFrameCache = 3;
constexpr int kMaxFrameCache = 50;
constexpr int kReconnectMinDelayMs = 500;
constexpr int kReconnectMaxDelayMs = 5000;
constexpr uint32_t kCodecH264 = 0x1C;
constexpr uint32_t kCodecH265 = 0xAE;
constexpr int kOpenDeadlineMs = 8000;
constexpr int kDefaultMaxPictureSide = 8192;

std::atomic<int> g_maxPictureWidth{kDefaultMaxPictureSide};
std::atomic<int> g_maxPictureHeight{kDefaultMaxPictureSide};

struct Picture {
    std::vector<uint8_t> rgb;
    int width = 0;
    int height = 0;
    int64_t ptsUs = 0;
};

struct Channel {
    int id = 0;
    std::string url;
    bool overTcp = true;
    easyplayer::FrameCallback callback = nullptr;
    void* userPointer = nullptr;

    std::atomic<bool> stopRequested{false};
    std::atomic<int64_t> openDeadlineUs{0};  // while opening: when to give up (av_gettime_relative); else 0
    std::thread decodeThread;
    std::thread deliveryThread;

    std::mutex queueLock;
    std::condition_variable queueChanged;
    std::deque<Picture> queue;
    size_t frameCache = kDefaultFrameCache;
    uint32_t codec = 0;
    uint8_t fps = 0;
    uint32_t droppedPictures = 0;
};

std::mutex g_lock;
std::map<int, std::shared_ptr<Channel>> g_channels;
std::map<std::string, int> g_failuresByUrl;  // consecutive losses per URL, for the pause before a notice
int g_nextChannelId = 1;
int g_initCount = 0;

int interruptCallback(void* opaque) {
    const auto* channel = static_cast<Channel*>(opaque);
    if (channel->stopRequested.load())
        return 1;
    const int64_t deadline = channel->openDeadlineUs.load();
    return deadline != 0 && av_gettime_relative() > deadline ? 1 : 0;
}

void sendNotice(Channel& channel, int frameType, char* buffer, FrameInfo* info) {
    channel.callback(channel.id, channel.userPointer, frameType, buffer, info);
}

// Sleeps up to ms, returning early (false) when the channel is being closed.
bool pause(Channel& channel, int ms) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!channel.stopRequested && std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return !channel.stopRequested;
}

class Decoder {
public:
    explicit Decoder(Channel& channel) : m_channel(channel) {}
    ~Decoder() {
        sws_freeContext(m_scaler);
        av_frame_free(&m_frame);
        av_packet_free(&m_packet);
        avcodec_free_context(&m_decoder);
        avformat_close_input(&m_input);
    }

    // The stream's picture when open() refused it for its size; 0 x 0 otherwise.
    int refusedWidth = 0;
    int refusedHeight = 0;

    bool open() {
        m_channel.openDeadlineUs = av_gettime_relative() + int64_t(kOpenDeadlineMs) * 1000;
        const bool opened = openInput();
        m_channel.openDeadlineUs = 0;
        return opened;
    }

private:
    bool openInput() {
        AVDictionary* options = nullptr;
        av_dict_set(&options, "buffer_size", "1024000", 0);
        av_dict_set(&options, "rtsp_transport", m_channel.overTcp ? "tcp" : "udp", 0);
        av_dict_set(&options, "timeout", "3000000", 0);
        av_dict_set(&options, "max_delay", "200000", 0);
        av_dict_set(&options, "fflags", "nobuffer", 0);
        av_dict_set(&options, "reorder_queue_size", "0", 0);
        av_dict_set(&options, "probesize", "32768", 0);
        av_dict_set(&options, "analyzeduration", "100000", 0);
        m_input = avformat_alloc_context();
        m_input->interrupt_callback.callback = interruptCallback;
        m_input->interrupt_callback.opaque = &m_channel;
        const int result = avformat_open_input(&m_input, m_channel.url.c_str(), nullptr, &options);
        av_dict_free(&options);
        if (result < 0)
            return false;
        const int64_t maxPixels = int64_t(g_maxPictureWidth) * g_maxPictureHeight;
        std::vector<AVDictionary*> probeOptions(m_input->nb_streams, nullptr);
        for (AVDictionary*& streamOptions : probeOptions)
            av_dict_set_int(&streamOptions, "max_pixels", maxPixels, 0);
        const int probed = avformat_find_stream_info(m_input, probeOptions.data());
        for (AVDictionary*& streamOptions : probeOptions)
            av_dict_free(&streamOptions);
        if (probed < 0)
            return false;
        m_streamIndex = av_find_best_stream(m_input, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
        if (m_streamIndex < 0)
            return false;
        const AVStream* stream = m_input->streams[m_streamIndex];
        if (stream->codecpar->width > g_maxPictureWidth || stream->codecpar->height > g_maxPictureHeight) {
            refusedWidth = stream->codecpar->width;
            refusedHeight = stream->codecpar->height;
            return false;
        }
        const AVCodec* codec = avcodec_find_decoder(stream->codecpar->codec_id);
        if (!codec)
            return false;
        m_decoder = avcodec_alloc_context3(codec);
        if (!m_decoder || avcodec_parameters_to_context(m_decoder, stream->codecpar) < 0)
            return false;
        m_decoder->pkt_timebase = stream->time_base;
        m_decoder->flags |= AV_CODEC_FLAG_LOW_DELAY;
        m_decoder->flags2 |= AV_CODEC_FLAG2_FAST;
        m_decoder->thread_count = 0;
        m_decoder->thread_type = FF_THREAD_SLICE;
        m_decoder->max_pixels = maxPixels;
        if (avcodec_open2(m_decoder, codec, nullptr) < 0)
            return false;
        m_channel.codec = stream->codecpar->codec_id == AV_CODEC_ID_HEVC ? kCodecH265 : kCodecH264;
        const AVRational rate = av_guess_frame_rate(m_input, const_cast<AVStream*>(stream), nullptr);
        m_channel.fps = rate.den > 0 ? uint8_t(std::min(255, rate.num / rate.den)) : 0;
        m_packet = av_packet_alloc();
        m_frame = av_frame_alloc();
        return m_packet && m_frame;
    }

public:
    // Reads and decodes until the stream ends, fails or the channel closes; true when any picture came.
    bool play(const std::function<void(Picture&&)>& deliver) {
        bool anyPicture = false;
        int readErrors = 0;
        while (!m_channel.stopRequested) {
            const int result = av_read_frame(m_input, m_packet);
            if (result == AVERROR(EAGAIN)) {
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
                continue;
            }
            if (result < 0) {
                if (result == AVERROR_EOF || ++readErrors >= 3)
                    break;
                continue;
            }
            readErrors = 0;
            if (m_packet->stream_index == m_streamIndex && avcodec_send_packet(m_decoder, m_packet) >= 0) {
                while (avcodec_receive_frame(m_decoder, m_frame) == 0) {
                    Picture picture;
                    if (convert(&picture)) {
                        anyPicture = true;
                        deliver(std::move(picture));
                    }
                    av_frame_unref(m_frame);
                }
            }
            av_packet_unref(m_packet);
        }
        return anyPicture;
    }

private:
    bool convert(Picture* picture) {
        const int w = m_frame->width;
        const int h = m_frame->height;
        if (w <= 0 || h <= 0 || w > g_maxPictureWidth || h > g_maxPictureHeight || w > 0xFFFF || h > 0xFFFF)
            return false;
        m_scaler = sws_getCachedContext(m_scaler, w, h, AVPixelFormat(m_frame->format), w, h, AV_PIX_FMT_RGB24,
                                        SWS_FAST_BILINEAR, nullptr, nullptr, nullptr);
        if (!m_scaler)
            return false;
        picture->rgb.resize(size_t(w) * size_t(h) * 3);
        uint8_t* planes[4] = {picture->rgb.data(), nullptr, nullptr, nullptr};
        const int strides[4] = {w * 3, 0, 0, 0};
        sws_scale(m_scaler, m_frame->data, m_frame->linesize, 0, h, planes, strides);
        picture->width = w;
        picture->height = h;
        const int64_t pts = m_frame->best_effort_timestamp;
        picture->ptsUs = pts == AV_NOPTS_VALUE
                             ? 0
                             : av_rescale_q(pts, m_input->streams[m_streamIndex]->time_base, AVRational{1, 1000000});
        return true;
    }

    Channel& m_channel;
    AVFormatContext* m_input = nullptr;
    AVCodecContext* m_decoder = nullptr;
    AVPacket* m_packet = nullptr;
    AVFrame* m_frame = nullptr;
    SwsContext* m_scaler = nullptr;
    int m_streamIndex = -1;
};

void enqueue(Channel& channel, Picture&& picture) {
    {
        std::lock_guard<std::mutex> locker(channel.queueLock);
        while (channel.queue.size() >= channel.frameCache) {
            channel.queue.pop_front();
            ++channel.droppedPictures;
        }
        channel.queue.push_back(std::move(picture));
    }
    channel.queueChanged.notify_one();
}

int reconnectDelayMs(const std::string& url) {
    std::lock_guard<std::mutex> locker(g_lock);
    const int failures = g_failuresByUrl[url]++;
    int delay = kReconnectMinDelayMs;
    for (int i = 0; i < failures && delay < kReconnectMaxDelayMs; ++i)
        delay *= 2;
    return std::min(delay, kReconnectMaxDelayMs);
}

// Tells the caller that the stream's picture is larger than it allows.
void refuse(Channel& channel, int width, int height) {
    FrameInfo info = {};
    info.width = uint16_t(std::min(width, 0xFFFF));
    info.height = uint16_t(std::min(height, 0xFFFF));
    info.length = 1;
    char none[1] = {0};
    sendNotice(channel, easyplayer::kFrameTypePictureTooLarge, none, &info);
}

void decodeLoop(std::shared_ptr<Channel> channel) {
    {
        Decoder decoder(*channel);
        const bool opened = decoder.open();
        if (!opened && decoder.refusedWidth > 0 && !channel->stopRequested)
            refuse(*channel, decoder.refusedWidth, decoder.refusedHeight);
        if (opened) {
            const bool played = decoder.play([&channel](Picture&& picture) { enqueue(*channel, std::move(picture)); });
            if (played) {
                std::lock_guard<std::mutex> locker(g_lock);
                g_failuresByUrl.erase(channel->url);
            }
        }
    }
    if (channel->stopRequested)
        return;
    // The stream is lost (or never came): ask the caller to reconnect, after a pause that grows with
    // every loss in a row so that a dead server is not hammered.
    if (!pause(*channel, reconnectDelayMs(channel->url)))
        return;
    std::vector<char> url(channel->url.begin(), channel->url.end());
    url.push_back('\0');
    FrameInfo info = {};
    info.length = uint32_t(channel->url.size());
    sendNotice(*channel, easyplayer::kFrameTypeReconnect, url.data(), &info);
}

void deliveryLoop(std::shared_ptr<Channel> channel) {
    while (true) {
        Picture picture;
        {
            std::unique_lock<std::mutex> locker(channel->queueLock);
            channel->queueChanged.wait(locker,
                                       [&channel] { return channel->stopRequested || !channel->queue.empty(); });
            if (channel->stopRequested)
                return;
            picture = std::move(channel->queue.front());
            channel->queue.pop_front();
        }
        FrameInfo info = {};
        info.codec = channel->codec;
        info.type = 1;
        info.fps = channel->fps;
        info.width = uint16_t(picture.width);
        info.height = uint16_t(picture.height);
        info.length = uint32_t(picture.rgb.size());
        info.timestampSec = uint32_t(picture.ptsUs / 1000000);
        info.timestampUsec = uint32_t(picture.ptsUs % 1000000);
        info.lostPackets = channel->droppedPictures;
        channel->callback(channel->id, channel->userPointer, easyplayer::kFrameTypeRgbPicture,
                          reinterpret_cast<char*>(picture.rgb.data()), &info);
    }
}

void joinOrDetach(std::thread& thread) {
    if (!thread.joinable())
        return;
    // A callback that closes its own channel must not wait for itself.
    if (thread.get_id() == std::this_thread::get_id()) {
        thread.detach();
    } else {
        thread.join();
    }
}

void shutDown(const std::shared_ptr<Channel>& channel) {
    channel->stopRequested = true;
    { std::lock_guard<std::mutex> locker(channel->queueLock); }
    channel->queueChanged.notify_all();
    joinOrDetach(channel->decodeThread);
    joinOrDetach(channel->deliveryThread);
}

}  // namespace

EASYPLAYER_EXPORT int EasyPlayer_Init() {
    std::lock_guard<std::mutex> locker(g_lock);
    if (g_initCount++ == 0)
        avformat_network_init();
    return 0;
}

EASYPLAYER_EXPORT void EasyPlayer_Release() {
    std::vector<std::shared_ptr<Channel>> closing;
    {
        std::lock_guard<std::mutex> locker(g_lock);
        if (g_initCount == 0 || --g_initCount > 0)
            return;
        for (auto& entry : g_channels)
            closing.push_back(entry.second);
        g_channels.clear();
    }
    for (auto& channel : closing)
        shutDown(channel);
}

EASYPLAYER_EXPORT int EasyPlayer_OpenStream(const char* url, void* window, int renderFormat, int overTcp,
                                            const char* user, const char* password, easyplayer::FrameCallback callback,
                                            void* userPointer, bool hardwareDecode, char* startTime, char* endTime,
                                            float scale) {
    (void)window, (void)renderFormat, (void)user, (void)password, (void)hardwareDecode;
    (void)startTime, (void)endTime, (void)scale;
    if (!url || !*url || !callback)
        return -1;
    auto channel = std::make_shared<Channel>();
    channel->url = url;
    channel->overTcp = overTcp != 0;
    channel->callback = callback;
    channel->userPointer = userPointer;
    {
        std::lock_guard<std::mutex> locker(g_lock);
        if (g_initCount == 0)
            return -2;
        channel->id = g_nextChannelId++;
        g_channels[channel->id] = channel;
    }
    channel->deliveryThread = std::thread(deliveryLoop, channel);
    channel->decodeThread = std::thread(decodeLoop, channel);
    return channel->id;
}

EASYPLAYER_EXPORT void EasyPlayer_CloseStream(int channelId) {
    std::shared_ptr<Channel> channel;
    {
        std::lock_guard<std::mutex> locker(g_lock);
        auto it = g_channels.find(channelId);
        if (it == g_channels.end())
            return;
        channel = it->second;
        g_channels.erase(it);
    }
    shutDown(channel);
}

EASYPLAYER_EXPORT int EasyPlayer_SetMaxPictureSize(int width, int height) {
    if (width <= 0 || height <= 0)
        return -1;
    g_maxPictureWidth = width;
    g_maxPictureHeight = height;
    return 0;
}

EASYPLAYER_EXPORT int EasyPlayer_SetFrameCache(int channelId, int frames) {
    std::lock_guard<std::mutex> locker(g_lock);
    auto it = g_channels.find(channelId);
    if (it == g_channels.end())
        return -1;
    std::lock_guard<std::mutex> queueLocker(it->second->queueLock);
    it->second->frameCache = size_t(std::clamp(frames, 1, kMaxFrameCache));
    return 0;
}
