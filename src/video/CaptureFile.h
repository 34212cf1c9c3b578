#pragma once

#include <QString>

// Recordings and snapshots go into a folder others may write to as well (a shared, non-sticky one
// among them), under names anyone can predict. A name is therefore taken only by creating the file
// ourselves: exclusively, without following a symbolic link planted there, and readable by the
// owner alone. A name that exists in any form is passed over for the next free one.
namespace CaptureFile {

// Names tried before giving up (a folder with this many files of the same second is not normal).
constexpr int kMaxNameAttempts = 1000;

struct Created {
    int fd = -1;    // open for writing, owner-only; -1 when nothing was created
    QString path;   // the file made, or the folder when nothing was
    QString error;  // the system's reason when nothing was made
};

// Creates prefix + local time (yyyyMMdd_HHmmss) + suffix in folder, or the first of "_2", "_3", …
// inserted before the suffix that does not exist yet.
Created create(const QString& folder, const QString& prefix, const QString& suffix);

// Removes path, but only while it is still the file behind fd (not a file or link put in its place).
void removeIfSame(int fd, const QString& path);

}  // namespace CaptureFile
