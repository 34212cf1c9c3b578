#pragma once

#include <QString>

// How the program touches the files it reads at start and the files it writes.
//
// Reading: only a regular file (or a symbolic link to one) is opened. A FIFO at the path of the
// configuration file would block the open until some writer appears, a device may never end and
// a directory cannot be parsed; such paths are skipped with a log line instead.
//
// Writing: the configuration keeps the camera's RTSP password and the logs tell what the operator
// did, so files the program writes are its user's alone (0600) and the folders it creates for
// them 0700. A folder that already exists is the user's business and is left as it is.
namespace SafeFiles {

enum class Kind {
    Missing,
    Regular,
    Other,  // a FIFO, device, socket or directory
};

// Follows symbolic links; works for Qt resource paths (":/...") too.
Kind kindOf(const QString& path);

// "a FIFO", "a directory", "a device", "a socket", "not a regular file": for the line that
// tells why a path was skipped.
QString describe(const QString& path);

// Creates the folder and its missing parents; each folder created here gets mode 0700, the ones
// that exist keep theirs. False when the folder does not exist afterwards.
bool makePrivateFolder(const QString& dir);

// Readies a file the program is about to write: a missing file is created empty with mode 0600,
// an existing regular file loses every group and other permission bit. False for a path that is
// not a regular file, or one that cannot be created.
bool preparePrivateFile(const QString& path);

}  // namespace SafeFiles
