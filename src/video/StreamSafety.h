#pragma once

#include <QSize>
#include <QString>

// Limits that keep a hostile or broken RTSP server from taking the program down, shared by both
// video backends: how much one allocation may take, how long opening a stream may last and how
// large a picture may be. And the one way a stream URL is written to any log.

// Opening a stream (connection, RTSP handshake, probing) ends after this long even when the server
// keeps trickling bytes that reset every socket time-out.
constexpr int kStreamOpenDeadlineMs = 8000;

// The largest picture taken when Video/MaxPictureSize is not set or not understood.
constexpr int kDefaultMaxPictureSide = 8192;
// Bounds of Video/MaxPictureSize: smaller or larger values are not understood.
constexpr int kMinPictureSide = 16;
constexpr int kMaxPictureSide = 16384;

// "WxH" with both sides within the bounds above; an invalid size for anything else.
QSize parseMaxPictureSize(const QString& text);
// Video/MaxPictureSize, re-read on every call; a value not understood logs a line and gives the default.
QSize maxPictureSize();
// A picture of this size is within the limit.
bool pictureSizeAllowed(const QSize& picture, const QSize& limit);

// The largest block one FFmpeg allocation may take: room for one plane of the largest allowed picture
// at 16 bits per sample and the decoder's padding, never less than a floor that ordinary streams need.
qint64 allocationCapFor(const QSize& limit);
// Caps every FFmpeg allocation in the process (both backends share the libraries). The first call
// sets the cap from Video/MaxPictureSize; later calls do nothing.
void capVideoAllocations();
