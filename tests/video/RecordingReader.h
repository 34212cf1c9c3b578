#pragma once

// Reads a recording back the way a player would: container and stream with libavformat, every
// picture decoded with libavcodec and its frame stamp read from the luma plane.

#include <QString>
#include <QVector>

#include "FrameStamp.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

struct RecordingContents {
    bool opened = false;
    AVCodecID codec = AV_CODEC_ID_NONE;
    int width = 0;
    int height = 0;
    double durationS = 0;                 // from the last picture's time stamp; a file cut off has no duration field
    int packets = 0;                      // compressed pictures in the container
    int pictures = 0;                     // pictures that decoded
    int picturesOfOtherSize = 0;          // pictures that decoded at another size than the header's
    QVector<FrameStamp::Decoded> stamps;  // the stamps that decoded, in file order
};

inline RecordingContents readRecording(const QString& path) {
    RecordingContents contents;
    AVFormatContext* input = nullptr;
    if (avformat_open_input(&input, path.toUtf8().constData(), nullptr, nullptr) < 0)
        return contents;
    if (avformat_find_stream_info(input, nullptr) < 0 || input->nb_streams != 1) {
        avformat_close_input(&input);
        return contents;
    }
    const AVStream* stream = input->streams[0];
    contents.opened = true;
    contents.codec = stream->codecpar->codec_id;
    contents.width = stream->codecpar->width;
    contents.height = stream->codecpar->height;
    const AVCodec* codec = avcodec_find_decoder(contents.codec);
    AVCodecContext* decoder = avcodec_alloc_context3(codec);
    avcodec_parameters_to_context(decoder, stream->codecpar);
    avcodec_open2(decoder, codec, nullptr);
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    int64_t firstPts = AV_NOPTS_VALUE;
    int64_t lastPts = AV_NOPTS_VALUE;
    auto drain = [&] {
        while (avcodec_receive_frame(decoder, frame) == 0) {
            ++contents.pictures;
            if (frame->width != contents.width || frame->height != contents.height)
                ++contents.picturesOfOtherSize;
            const int64_t pts = frame->best_effort_timestamp;
            if (pts != AV_NOPTS_VALUE) {
                if (firstPts == AV_NOPTS_VALUE)
                    firstPts = pts;
                lastPts = pts;
            }
            const FrameStamp::Decoded stamp = FrameStamp::decode(frame->data[0], frame->width, frame->height,
                                                                 frame->linesize[0], FrameStamp::PixelFormat::Gray8);
            if (stamp.ok)
                contents.stamps << stamp;
            av_frame_unref(frame);
        }
    };
    while (av_read_frame(input, packet) >= 0) {
        ++contents.packets;
        avcodec_send_packet(decoder, packet);
        av_packet_unref(packet);
        drain();
    }
    avcodec_send_packet(decoder, nullptr);
    drain();
    if (firstPts != AV_NOPTS_VALUE)
        contents.durationS = (lastPts - firstPts) * av_q2d(stream->time_base) + 1.0 / 30;
    av_frame_free(&frame);
    av_packet_free(&packet);
    avcodec_free_context(&decoder);
    avformat_close_input(&input);
    return contents;
}

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
