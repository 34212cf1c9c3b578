#pragma once

#include <QString>

// FFmpeg's own text for an error code (AVERROR), for the logs and the operator's messages.
QString ffmpegErrorText(int code);
