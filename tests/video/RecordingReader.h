#pragma once

// Reads a recording back the way a player would, every picture's stamp and every KLV packet of the
// data stream taken apart item by item (the local set's own rules, written out here afresh).

#include <QFile>
#include <QMap>
#include <QString>
#include <QTime>
#include <QVector>
#include <cmath>

#include "../sim/StreamReader.h"

// One KLV packet of the data stream and what its items say.
struct LocalSet {
    double ptsS = 0;  // its presentation time, in seconds on the file's time line
    QByteArray bytes;
    QString fault;                // "" when the key, the length and the checksum are right
    QMap<int, QByteArray> items;  // tag -> value

    bool has(int tag) const { return items.contains(tag); }
    quint64 unsignedValue(int tag) const {
        quint64 value = 0;
        for (char byte : items.value(tag))
            value = (value << 8) | quint8(byte);
        return value;
    }
    // Items 18 and 20 (0..360), 19 (±180) and 21 (0..5,000,000 m) back in their units.
    double degrees0To360(int tag) const { return unsignedValue(tag) * 360.0 / 4294967295.0; }
    double degreesSigned(int tag) const { return qint32(quint32(unsignedValue(tag))) * 360.0 / 4294967294.0; }
    double metres(int tag) const { return unsignedValue(tag) * 5000000.0 / 4294967295.0; }
    QString text(int tag) const { return QString::fromLatin1(items.value(tag)); }
    qint64 timeMs() const { return qint64(unsignedValue(2) / 1000); }
};

inline LocalSet decodeLocalSet(const QByteArray& bytes, double ptsS) {
    static const QByteArray key = QByteArray::fromHex("060E2B34020B01010E01030101000000");
    LocalSet set;
    set.bytes = bytes;
    set.ptsS = ptsS;
    if (!bytes.startsWith(key) || bytes.size() < key.size() + 1)
        return set.fault = QStringLiteral("no local set key: %1").arg(QString::fromLatin1(bytes.left(20).toHex())), set;
    int at = key.size();
    int length = quint8(bytes[at++]);
    if (length & 0x80) {
        const int lengthBytes = length & 0x7F;
        length = 0;
        for (int i = 0; i < lengthBytes && at < bytes.size(); ++i)
            length = (length << 8) | quint8(bytes[at++]);
    }
    if (at + length != bytes.size())
        return set.fault = QStringLiteral("length %1, %2 bytes follow").arg(length).arg(bytes.size() - at), set;
    while (at + 2 <= bytes.size()) {
        const int tag = quint8(bytes[at]);
        const int itemLength = quint8(bytes[at + 1]);
        if (at + 2 + itemLength > bytes.size())
            return set.fault = QStringLiteral("item %1 runs past the end").arg(tag), set;
        set.items.insert(tag, bytes.mid(at + 2, itemLength));
        if (tag == 1) {
            quint16 sum = 0;
            for (int i = 0; i < at + 2; ++i)
                sum = quint16(sum + (quint8(bytes[i]) << (8 * ((i + 1) % 2))));
            if (at + 4 != bytes.size())
                return set.fault = QStringLiteral("checksum is not the last item"), set;
            if (sum != set.unsignedValue(1))
                return set.fault = QStringLiteral("checksum %1, computed %2").arg(set.unsignedValue(1)).arg(sum), set;
        }
        at += 2 + itemLength;
    }
    if (!set.has(1))
        set.fault = QStringLiteral("no checksum");
    return set;
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
    int dataStreams = 0;                  // KLV streams beside the video
    QVector<LocalSet> localSets;          // the KLV packets, in file order
};

inline RecordingContents readRecording(const QString& path) {
    RecordingContents contents;
    StreamReader reader;
    QString error;
    if (!reader.open(path, &error))
        return contents;
    const AVFormatContext* input = reader.format();
    int dataIndex = -1;
    for (unsigned i = 0; i < input->nb_streams; ++i) {
        if (input->streams[i]->codecpar->codec_id == AV_CODEC_ID_SMPTE_KLV) {
            ++contents.dataStreams;
            dataIndex = int(i);
        }
    }
    // A video stream, and nothing else but the telemetry.
    if (input->nb_streams != unsigned(1 + contents.dataStreams))
        return contents;
    const AVStream* stream = reader.videoStream();
    contents.opened = true;
    contents.codec = stream->codecpar->codec_id;
    contents.width = stream->codecpar->width;
    contents.height = stream->codecpar->height;
    int64_t firstPts = AV_NOPTS_VALUE;
    int64_t lastPts = AV_NOPTS_VALUE;
    auto drain = [&] {
        while (reader.nextPicture()) {
            const AVFrame* frame = reader.frame();
            ++contents.pictures;
            if (frame->width != contents.width || frame->height != contents.height)
                ++contents.picturesOfOtherSize;
            if (frame->best_effort_timestamp != AV_NOPTS_VALUE) {
                if (firstPts == AV_NOPTS_VALUE)
                    firstPts = frame->best_effort_timestamp;
                lastPts = frame->best_effort_timestamp;
            }
            const FrameStamp::Decoded stamp = reader.stamp();
            if (stamp.ok)
                contents.stamps << stamp;
        }
    };
    while (reader.readPacket()) {
        const AVPacket* packet = reader.packet();
        if (packet->stream_index == dataIndex) {
            const double ptsS = packet->pts == AV_NOPTS_VALUE
                                    ? std::nan("")
                                    : packet->pts * av_q2d(input->streams[dataIndex]->time_base);
            contents.localSets << decodeLocalSet(QByteArray(reinterpret_cast<const char*>(packet->data), packet->size),
                                                 ptsS);
        } else if (packet->stream_index == stream->index) {
            ++contents.packets;
            drain();
        }
    }
    reader.flush();
    drain();
    if (firstPts != AV_NOPTS_VALUE)
        contents.durationS = (lastPts - firstPts) * av_q2d(stream->time_base) + 1.0 / 30;
    return contents;
}

// One cue of a recording's subtitle file.
struct SubtitleCue {
    int number = 0;
    qint64 startMs = 0;
    qint64 endMs = 0;
    QString text;
};

// The cues of an .srt file, numbered in order with rising times that cover durationS; fault tells
// the first cue that is not so.
inline QVector<SubtitleCue> readSubtitles(const QString& path, double durationS, QString* fault) {
    QVector<SubtitleCue> cues;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *fault = QStringLiteral("cannot open %1").arg(path);
        return cues;
    }
    const auto ms = [](const QString& time) {
        const QTime t = QTime::fromString(time, QStringLiteral("hh:mm:ss,zzz"));
        return t.isValid() ? qint64(t.msecsSinceStartOfDay()) : qint64(-1);
    };
    const QStringList blocks = QString::fromUtf8(file.readAll()).split(QStringLiteral("\n\n"), Qt::SkipEmptyParts);
    for (const QString& block : blocks) {
        const QStringList lines = block.split(QLatin1Char('\n'));
        const QStringList times = lines.value(1).split(QStringLiteral(" --> "));
        SubtitleCue cue;
        cue.number = lines.value(0).toInt();
        cue.startMs = ms(times.value(0));
        cue.endMs = ms(times.value(1));
        cue.text = lines.mid(2).join(QLatin1Char('\n'));
        const qint64 previousEndMs = cues.isEmpty() ? 0 : cues.last().endMs;
        if (cue.number != cues.size() + 1 || times.size() != 2 || cue.startMs < previousEndMs ||
            cue.endMs <= cue.startMs || lines.size() < 3) {
            *fault = QStringLiteral("cue %1 after %2 cues: %3").arg(cue.number).arg(cues.size()).arg(block);
            return cues;
        }
        cues << cue;
    }
    if (cues.isEmpty() || cues.last().endMs < (durationS - 1.5) * 1000)
        *fault = QStringLiteral("%1 cues for %2 s").arg(cues.size()).arg(durationS);
    return cues;
}
