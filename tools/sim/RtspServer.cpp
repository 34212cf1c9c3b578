// GLib headers use "signals" as an identifier: they come before any Qt header defines it.
#include <gst/app/gstappsrc.h>
#include <gst/gst.h>
#include <gst/rtsp-server/rtsp-server.h>

#include "RtspServer.h"

#include <QDateTime>
#include <QStringList>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

namespace {
constexpr const char* kSourceName = "simsrc";
constexpr const char* kSourceKey = "skyvane-sim-src";
}  // namespace

struct RtspServer::Impl {
    Config config;
    GMainContext* context = nullptr;
    GMainLoop* loop = nullptr;
    GstRTSPServer* server = nullptr;
    GstRTSPMountPoints* mounts = nullptr;
    guint sourceId = 0;
    std::thread glibThread;
    std::thread pacer;
    std::atomic<bool> running{false};

    struct Source {
        GstElement* element = nullptr;  // referenced appsrc of one prepared stream
        QSize size;                     // the picture size its pipeline was made for
    };

    std::mutex mutex;             // guards what follows
    std::vector<Source> sources;  // one per prepared stream
    QSize size;                   // the size of streams prepared from now on
    VideoState state;
    quint32 frameCounter = 0;

    QString launch(const QSize& pictureSize) const;
    void addFactories();
    void removeFactoriesAndClients();
    void pace();
    void pushFrame();

    static void onMediaConfigure(GstRTSPMediaFactory*, GstRTSPMedia* media, gpointer self);
    static void onMediaUnprepared(GstRTSPMedia* media, gpointer self);
};

// Parameter sets go in-band before every key frame (the parser inserts them), so a client joining
// mid-stream decodes from the next key frame, at most half a second away. The payloader must not
// insert them a second time: FFmpeg then splits the multi-slice key frame into two pictures.
QString RtspServer::Impl::launch(const QSize& pictureSize) const {
    const int keyInterval = qBound(10, config.fps / 2, 15);
    const int pixels = pictureSize.width() * pictureSize.height();
    const int bitrateKbps = pixels >= 1920 * 1080 ? 8000 : 4000;
    const QString source =
        QStringLiteral(
            "appsrc name=%1 is-live=true format=time do-timestamp=true max-buffers=2 leaky-type=downstream "
            "caps=video/x-raw,format=BGRx,width=%2,height=%3,framerate=%4/1 ! videoconvert ! video/x-raw,format=I420")
            .arg(QLatin1String(kSourceName))
            .arg(pictureSize.width())
            .arg(pictureSize.height())
            .arg(config.fps);
    const QString encoder = config.codec == Codec::H265
                                ? QStringLiteral(
                                      "x265enc tune=zerolatency speed-preset=ultrafast key-int-max=%1 bitrate=%2 ! "
                                      "h265parse config-interval=-1 ! rtph265pay name=pay0 pt=96")
                                : QStringLiteral(
                                      "x264enc tune=zerolatency speed-preset=ultrafast key-int-max=%1 bitrate=%2 ! "
                                      "h264parse config-interval=-1 ! rtph264pay name=pay0 pt=96");
    return QStringLiteral("( %1 ! %2 )").arg(source, encoder.arg(keyInterval).arg(bitrateKbps));
}

void RtspServer::Impl::addFactories() {
    QSize pictureSize;
    {
        std::lock_guard<std::mutex> lock(mutex);
        pictureSize = size;
    }
    const QByteArray description = launch(pictureSize).toUtf8();
    for (const QString& path : mountPaths()) {
        GstRTSPMediaFactory* factory = gst_rtsp_media_factory_new();
        gst_rtsp_media_factory_set_launch(factory, description.constData());
        // One pipeline per client, as a camera serves each viewer: a shared one is taken down when its
        // last client leaves, and a client that arrives meanwhile (a player told to open again at
        // once) is refused with 503.
        gst_rtsp_media_factory_set_shared(factory, FALSE);
        g_signal_connect(factory, "media-configure", G_CALLBACK(onMediaConfigure), this);
        gst_rtsp_mount_points_add_factory(mounts, path.toUtf8().constData(), factory);  // takes the factory
    }
}

static GstRTSPFilterResult dropClient(GstRTSPServer*, GstRTSPClient*, gpointer) {
    return GST_RTSP_FILTER_REMOVE;
}

void RtspServer::Impl::removeFactoriesAndClients() {
    for (const QString& path : mountPaths())
        gst_rtsp_mount_points_remove_factory(mounts, path.toUtf8().constData());
    GList* kept = gst_rtsp_server_client_filter(server, dropClient, nullptr);
    g_list_free_full(kept, g_object_unref);
}

void RtspServer::Impl::onMediaConfigure(GstRTSPMediaFactory*, GstRTSPMedia* media, gpointer self) {
    auto* impl = static_cast<Impl*>(self);
    GstElement* bin = gst_rtsp_media_get_element(media);
    GstElement* source = gst_bin_get_by_name_recurse_up(GST_BIN(bin), kSourceName);
    gst_object_unref(bin);
    if (!source)
        return;
    g_object_set_data(G_OBJECT(media), kSourceKey, source);
    g_signal_connect(media, "unprepared", G_CALLBACK(onMediaUnprepared), impl);
    std::lock_guard<std::mutex> lock(impl->mutex);
    impl->sources.push_back({source, impl->size});  // keeps the reference taken by get_by_name
}

void RtspServer::Impl::onMediaUnprepared(GstRTSPMedia* media, gpointer self) {
    auto* impl = static_cast<Impl*>(self);
    auto* source = static_cast<GstElement*>(g_object_steal_data(G_OBJECT(media), kSourceKey));
    if (!source)
        return;
    {
        std::lock_guard<std::mutex> lock(impl->mutex);
        impl->sources.erase(std::remove_if(impl->sources.begin(), impl->sources.end(),
                                           [source](const Source& known) { return known.element == source; }),
                            impl->sources.end());
    }
    gst_object_unref(source);
}

// The source stamps each frame with its pipeline's clock time minus the base time, and the base time
// is only set when the pipeline starts playing: a frame pushed before that carries the clock's
// absolute time (hours), and the stream's sink would hold that frame, and the stream, for hours.
static bool isPlaying(GstElement* source) {
    GST_OBJECT_LOCK(source);
    const bool playing = GST_STATE(source) == GST_STATE_PLAYING;
    GST_OBJECT_UNLOCK(source);
    return playing;
}

void RtspServer::Impl::pushFrame() {
    std::vector<GstElement*> targets;
    VideoState snapshot;
    QSize pictureSize;
    quint32 counter = 0;
    {
        std::lock_guard<std::mutex> lock(mutex);
        // A stream of the size before a change (its client not yet gone) gets no more frames.
        for (const Source& source : sources) {
            if (source.size == size && isPlaying(source.element))
                targets.push_back(GST_ELEMENT(gst_object_ref(source.element)));
        }
        if (targets.empty())
            return;
        snapshot = state;
        pictureSize = size;
        counter = frameCounter++;
    }
    auto* image = new QImage(VideoScene::render(snapshot, pictureSize, QDateTime::currentMSecsSinceEpoch(), counter));
    GstBuffer* buffer = gst_buffer_new_wrapped_full(GST_MEMORY_FLAG_READONLY, const_cast<uchar*>(image->constBits()),
                                                    size_t(image->sizeInBytes()), 0, size_t(image->sizeInBytes()),
                                                    image, [](gpointer data) { delete static_cast<QImage*>(data); });
    for (GstElement* source : targets) {
        gst_app_src_push_buffer(GST_APP_SRC(source), gst_buffer_ref(buffer));
        gst_object_unref(source);
    }
    gst_buffer_unref(buffer);
}

// Frames at a steady rate by the wall clock; a late frame is not made up for with a burst.
void RtspServer::Impl::pace() {
    using Clock = std::chrono::steady_clock;
    const auto period = std::chrono::microseconds(1000000 / qMax(1, config.fps));
    auto next = Clock::now();
    while (running) {
        next += period;
        const auto now = Clock::now();
        if (now > next + period)
            next = now;
        std::this_thread::sleep_until(next);
        if (running)
            pushFrame();
    }
}

RtspServer::RtspServer(const Config& config) : d(std::make_unique<Impl>()) {
    d->config = config;
    d->size = config.size;
}

RtspServer::~RtspServer() {
    d->running = false;
    if (d->pacer.joinable())
        d->pacer.join();
    if (d->loop) {
        g_main_context_invoke(
            d->context,
            [](gpointer self) -> gboolean {
                auto* impl = static_cast<Impl*>(self);
                impl->removeFactoriesAndClients();
                g_main_loop_quit(impl->loop);
                return G_SOURCE_REMOVE;
            },
            d.get());
        if (d->glibThread.joinable())
            d->glibThread.join();
        if (GSource* source = g_main_context_find_source_by_id(d->context, d->sourceId))
            g_source_destroy(source);
    }
    for (const Impl::Source& source : d->sources)
        gst_object_unref(source.element);
    if (d->mounts)
        g_object_unref(d->mounts);
    if (d->server)
        g_object_unref(d->server);
    if (d->loop)
        g_main_loop_unref(d->loop);
    if (d->context)
        g_main_context_unref(d->context);
}

bool RtspServer::start(QString* error) {
    if (!gst_is_initialized())
        gst_init(nullptr, nullptr);
    for (const char* element : {"appsrc", "videoconvert", d->config.codec == Codec::H265 ? "x265enc" : "x264enc"}) {
        GstElementFactory* factory = gst_element_factory_find(element);
        if (!factory) {
            if (error)
                *error = QStringLiteral("GStreamer element %1 is not installed").arg(element);
            return false;
        }
        gst_object_unref(factory);
    }
    d->context = g_main_context_new();
    d->loop = g_main_loop_new(d->context, FALSE);
    d->server = gst_rtsp_server_new();
    gst_rtsp_server_set_address(d->server, "127.0.0.1");
    gst_rtsp_server_set_service(d->server, QByteArray::number(d->config.port).constData());
    d->mounts = gst_rtsp_server_get_mount_points(d->server);
    d->addFactories();
    d->sourceId = gst_rtsp_server_attach(d->server, d->context);
    if (d->sourceId == 0) {
        if (error)
            *error = QStringLiteral("cannot listen on 127.0.0.1:%1").arg(d->config.port);
        return false;
    }
    d->glibThread = std::thread([impl = d.get()] {
        g_main_context_push_thread_default(impl->context);
        g_main_loop_run(impl->loop);
        g_main_context_pop_thread_default(impl->context);
    });
    d->running = true;
    d->pacer = std::thread([impl = d.get()] { impl->pace(); });
    return true;
}

void RtspServer::setState(const VideoState& state) {
    std::lock_guard<std::mutex> lock(d->mutex);
    d->state = state;
}

void RtspServer::setServing(bool serving) {
    if (!d->context)
        return;
    g_main_context_invoke(d->context,
                          serving ? GSourceFunc([](gpointer self) -> gboolean {
                              static_cast<Impl*>(self)->addFactories();
                              return G_SOURCE_REMOVE;
                          })
                                  : GSourceFunc([](gpointer self) -> gboolean {
                                        static_cast<Impl*>(self)->removeFactoriesAndClients();
                                        return G_SOURCE_REMOVE;
                                    }),
                          d.get());
}

void RtspServer::setVideoSize(const QSize& size) {
    std::lock_guard<std::mutex> lock(d->mutex);
    d->size = size;
}

QString RtspServer::url(const QString& path) const {
    return QStringLiteral("rtsp://127.0.0.1:%1%2").arg(d->config.port).arg(path);
}

QStringList RtspServer::mountPaths() {
    return {QStringLiteral("/live0"), QStringLiteral("/live/single"), QStringLiteral("/videoh264_chn0")};
}

QString RtspServer::launchDescription() const {
    QSize pictureSize;
    {
        std::lock_guard<std::mutex> lock(d->mutex);
        pictureSize = d->size;
    }
    return d->launch(pictureSize);
}
