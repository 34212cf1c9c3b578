#pragma once

#include <QString>

// Where the program keeps what it writes. A portable copy (the build folder, an unpacked archive)
// keeps everything in its application directory, as it always has. An installed copy cannot write
// there (/usr/lib/skyvane belongs to root), so it keeps its configuration under the user's XDG
// config folder, its logs and protocol statistics under the XDG state folder and local recordings in
// the user's videos folder. Every reader and writer of these files asks here.
namespace DataLocations {

// What the decision depends on, read from the process (currentEnvironment) or made up by a test.
struct Environment {
    QString appDir;
    QString home;
    QString xdgConfigHome;  // as the variable is set; empty or relative values are ignored
    QString xdgStateHome;
    QString videosDir;  // the desktop's videos folder (XDG_VIDEOS_DIR); empty when unknown
};

struct Layout {
    bool portable = true;  // everything beside the executable
    QString configFile;    // skyvane.cfg
    QString stateDir;      // logs/ and protocol_stats.log
    QString recordingsDir;

    QString logDir() const { return stateDir + QStringLiteral("/logs"); }
    QString protocolStatsFile() const { return stateDir + QStringLiteral("/protocol_stats.log"); }
};

Environment currentEnvironment();

// True when a file can really be created in the directory (a probe file is made and removed):
// a read-only mount stops root too, which the directory's mode bits would not tell.
bool isWritableDirectory(const QString& dir);

// The one decision: the application directory when it is writable, the user's folders otherwise.
Layout decide(const Environment& env);

// The layout of this process, decided on first use and kept for the rest of the run.
const Layout& current();

// The recordings folder with Video/RecordingDir's value: the layout's own when empty, a relative
// value taken from the application directory (portable) or the layout's folder (installed).
QString recordingsFolder(const Layout& layout, const QString& configured);

}  // namespace DataLocations
