#pragma once

#include <QElapsedTimer>
#include <QString>
#include <QVector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include "FrameStamp.h"

// A video read the way the application pulls it (RTSP over TCP) or a player opens a file: the
// container with libavformat, the pictures decoded with libavcodec, each one's frame stamp read from
// its luma plane (the stamp is black and white).
class StreamReader {
public:
    ~StreamReader() { close(); }

    // Gives up whatever it is doing giveUpAfterMs after open() starts (0: never), like a client that
    // is stopped in the middle of setting up the stream.
    bool open(const QString& url, QString* error, int giveUpAfterMs = 0) {
        m_giveUpAfterMs = giveUpAfterMs;
        m_clock.start();
        m_format = avformat_alloc_context();
        m_format->interrupt_callback.callback = &StreamReader::interrupted;
        m_format->interrupt_callback.opaque = this;
        AVDictionary* options = nullptr;
        if (url.startsWith(QLatin1String("rtsp:"))) {
            av_dict_set(&options, "rtsp_transport", "tcp", 0);
            // Generous: a busy machine may take seconds to bring a stream up.
            av_dict_set(&options, "timeout", "15000000", 0);
            av_dict_set(&options, "fflags", "nobuffer", 0);
            av_dict_set(&options, "analyzeduration", "500000", 0);
        }
        const int opened = avformat_open_input(&m_format, url.toUtf8().constData(), nullptr, &options);
        av_dict_free(&options);
        if (opened < 0)
            return fail(error, QStringLiteral("avformat_open_input %1").arg(opened));
        if (avformat_find_stream_info(m_format, nullptr) < 0)
            return fail(error, QStringLiteral("no stream info"));
        m_video = av_find_best_stream(m_format, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
        if (m_video < 0)
            return fail(error, QStringLiteral("no video stream"));
        const AVCodecParameters* parameters = m_format->streams[m_video]->codecpar;
        const AVCodec* codec = avcodec_find_decoder(parameters->codec_id);
        m_codec = avcodec_alloc_context3(codec);
        avcodec_parameters_to_context(m_codec, parameters);
        if (!codec || avcodec_open2(m_codec, codec, nullptr) < 0)
            return fail(error, QStringLiteral("no decoder"));
        m_frame = av_frame_alloc();
        m_packet = av_packet_alloc();
        return true;
    }

    // The next packet of any stream into packet(), a video one handed to the decoder; false when the
    // input ends or breaks.
    bool readPacket() {
        av_packet_unref(m_packet);
        if ((m_lastRead = av_read_frame(m_format, m_packet)) < 0)
            return false;
        if (m_packet->stream_index == m_video) {
            ++m_packetsRead;
            avcodec_send_packet(m_codec, m_packet);
        }
        return true;
    }
    // The next picture the decoder has ready, into frame(); false when it needs more packets.
    bool nextPicture() { return avcodec_receive_frame(m_codec, m_frame) == 0; }
    // After the last packet: the decoder gives out the pictures it still holds.
    void flush() { avcodec_send_packet(m_codec, nullptr); }
    FrameStamp::Decoded stamp() const {
        return FrameStamp::decode(m_frame->data[0], m_frame->width, m_frame->height, m_frame->linesize[0],
                                  FrameStamp::PixelFormat::Gray8);
    }

    // Next decoded picture's stamp (the picture in frame()); false when the stream ends or breaks.
    bool nextStamp(FrameStamp::Decoded* stamp) {
        while (!nextPicture()) {
            if (!readPacket())
                return false;
        }
        *stamp = this->stamp();
        return true;
    }

    // Reads until `wanted` pictures with a readable stamp came (at most 90 pictures); what went
    // wrong otherwise goes to *why.
    bool readStamped(int wanted, QString* why) {
        int stamped = 0;
        int pictures = 0;
        FrameStamp::Decoded stamp;
        for (; pictures < 90 && stamped < wanted; ++pictures) {
            if (!nextStamp(&stamp)) {
                char error[AV_ERROR_MAX_STRING_SIZE] = {};
                av_strerror(m_lastRead, error, sizeof error);
                *why = QStringLiteral("stream ended after %1 pictures (%2 stamped, %3 packets): %4")
                           .arg(pictures)
                           .arg(stamped)
                           .arg(m_packetsRead)
                           .arg(QString::fromUtf8(error));
                return false;
            }
            stamped += stamp.ok ? 1 : 0;
        }
        *why = QStringLiteral("%1 of %2 pictures stamped").arg(stamped).arg(pictures);
        return stamped == wanted;
    }

    const AVFormatContext* format() const { return m_format; }
    const AVStream* videoStream() const { return m_format->streams[m_video]; }
    const AVPacket* packet() const { return m_packet; }
    const AVFrame* frame() const { return m_frame; }

    void close() {
        av_packet_free(&m_packet);
        av_frame_free(&m_frame);
        avcodec_free_context(&m_codec);
        avformat_close_input(&m_format);
    }

private:
    // Nothing a test client does may take longer than this: a stalled stream fails the test with a
    // message instead of running into the test's watchdog.
    static constexpr qint64 kLifetimeMs = 60000;

    static int interrupted(void* opaque) {
        const auto* self = static_cast<StreamReader*>(opaque);
        const qint64 elapsed = self->m_clock.elapsed();
        return (self->m_giveUpAfterMs > 0 && elapsed >= self->m_giveUpAfterMs) || elapsed >= kLifetimeMs ? 1 : 0;
    }

    bool fail(QString* error, const QString& what) {
        *error = what;
        close();
        return false;
    }

    AVFormatContext* m_format = nullptr;
    AVCodecContext* m_codec = nullptr;
    AVFrame* m_frame = nullptr;
    AVPacket* m_packet = nullptr;
    int m_video = -1;
    int m_giveUpAfterMs = 0;
    int m_lastRead = 0;
    int m_packetsRead = 0;
    QElapsedTimer m_clock;
};

// The first place where the stamps' frame counters do not rise, or "" when they always do.
inline QString counterFault(const QVector<FrameStamp::Decoded>& stamps) {
    for (int i = 1; i < stamps.size(); ++i) {
        if (stamps[i].frameCounter <= stamps[i - 1].frameCounter)
            return QStringLiteral("counter %1 after %2 at picture %3")
                .arg(stamps[i].frameCounter)
                .arg(stamps[i - 1].frameCounter)
                .arg(i);
    }
    return QString();
}
