#pragma once

// Binary contract between the program and the RTSP player library (libEasyPlayer): the entry
// points, the frame callback and the frame-information record the library hands to it. Plain C
// types only, so that the player library itself can include this header.

#include <cstddef>
#include <cstdint>

namespace easyplayer {

// Frame types the program tells apart.
constexpr int kFrameTypeRgbPicture = 0x40;  // decoded picture, 24-bit RGB, rows of width * 3 bytes
constexpr int kFrameTypeReconnect = 0x100;  // the stream was lost; buffer = the stream URL (UTF-8)
// The stream was refused: its picture (the record's width and height) is larger than the limit given
// with EasyPlayer_SetMaxPictureSize. A reconnect notice follows as for a lost stream. Not sent by the
// vendor's library, which knows no such limit.
constexpr int kFrameTypePictureTooLarge = 0x200;

// The render format the program asks for (24-bit RGB pictures through the callback).
constexpr int kRenderFormatRgb24 = 26;

// Frame-information record as the library lays it out (little-endian).
struct FrameInfo {
    uint32_t codec;          // 0
    uint32_t type;           // 4
    uint8_t fps;             // 8
    uint8_t reserved0;       // 9
    uint16_t width;          // 10
    uint16_t height;         // 12
    uint16_t reserved1;      // 14
    uint32_t reserved2;      // 16 (not read by the program)
    uint32_t reserved3;      // 20 (not read by the program)
    uint32_t sampleRate;     // 24
    uint32_t channels;       // 28
    uint32_t bitsPerSample;  // 32
    uint32_t length;         // 36: bytes in the buffer
    uint32_t timestampUsec;  // 40
    uint32_t timestampSec;   // 44
    uint32_t bitrate;        // 48
    uint32_t lostPackets;    // 52
};
static_assert(offsetof(FrameInfo, width) == 10, "frame info layout");
static_assert(offsetof(FrameInfo, height) == 12, "frame info layout");
static_assert(offsetof(FrameInfo, sampleRate) == 24, "frame info layout");
static_assert(offsetof(FrameInfo, length) == 36, "frame info layout");
static_assert(offsetof(FrameInfo, lostPackets) == 52, "frame info layout");
static_assert(sizeof(FrameInfo) == 56, "frame info layout");

using FrameCallback = int (*)(int channelId, void* userPointer, int frameType, char* buffer, FrameInfo* info);

using InitFn = int (*)();
using InitWithKeyFn = int (*)(char* activationKey);
using ReleaseFn = void (*)();
using OpenStreamFn = int (*)(const char* url, void* window, int renderFormat, int overTcp, const char* user,
                             const char* password, FrameCallback callback, void* userPointer, bool hardwareDecode,
                             char* startTime, char* endTime, float scale);
using CloseStreamFn = void (*)(int channelId);
using SetFrameCacheFn = int (*)(int channelId, int frames);
// Optional: the largest picture the library may decode, for the streams opened from then on. A stream
// with a larger picture is refused before its pictures are allocated.
using SetMaxPictureSizeFn = int (*)(int width, int height);

}  // namespace easyplayer
