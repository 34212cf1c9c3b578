#pragma once

#include <QString>

// Which decoding backend the video item uses, from Video/Backend in skyvane.cfg.
QString videoConfigFilePath();
// True selects FFmpeg. Re-reads the file and logs the result on every call.
bool resolveVideoBackendIsFfmpeg();
QString videoBackendName();
bool ffmpegBackendBuilt();
