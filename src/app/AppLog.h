#pragma once

#include <QDateTime>
#include <QString>

// The per-run session log under logs/ of the data folders (DataLocations: the application directory
// or the user's XDG state folder), written through elog,
// and the protocol-trace switches read from skyvane.cfg when it starts.
namespace AppLog {

// Creates logs/skyvane_<yyyyMMdd_HHmmss>.log, starts elog on it and writes the session banner.
// True when the log file is in use; calling it again after a success changes nothing. The folders
// it creates are owner-only (0700), as is the log file (0600).
bool start();

// The folder the session logs go to (logs/ of the state folder), also when start() failed.
QString logFolder();

QString logFilePath();
const char* logFilePathUtf8();

struct ProtocolSwitches {
    bool enabled = false;
    bool tx = true;
    bool rx = true;
    bool statusFrames = false;
    bool hex = false;
};
const ProtocolSwitches& protocolSwitches();
// Tests set the switches directly instead of restarting the process.
void setProtocolSwitches(const ProtocolSwitches& switches);

// Builds the log file path for a start with the given state folder; exposed for tests.
QString logFilePathFor(const QString& stateDir, const QDateTime& startTime);

}  // namespace AppLog
