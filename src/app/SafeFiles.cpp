#include "SafeFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace SafeFiles {
namespace {

constexpr mode_t kPrivateFileMode = 0600;
constexpr mode_t kPrivateFolderMode = 0700;
constexpr mode_t kGroupAndOtherBits = 0077;

bool isFolder(const QByteArray& native) {
    struct stat info {};
    return ::stat(native.constData(), &info) == 0 && S_ISDIR(info.st_mode);
}

// mkdir applies the umask to its mode; the folder gets exactly 0700 whatever the umask is.
bool makeOneFolder(const QByteArray& native) {
    if (::mkdir(native.constData(), kPrivateFolderMode) == 0)
        return ::chmod(native.constData(), kPrivateFolderMode) == 0;
    return errno == EEXIST && isFolder(native);
}

}  // namespace

Kind kindOf(const QString& path) {
    const QFileInfo info(path);
    if (!info.exists())
        return Kind::Missing;
    return info.isFile() ? Kind::Regular : Kind::Other;
}

QString describe(const QString& path) {
    const QFileInfo info(path);
    if (info.isDir())
        return QStringLiteral("a directory");
    struct stat status {};
    if (::stat(QFile::encodeName(path).constData(), &status) == 0) {
        if (S_ISFIFO(status.st_mode))
            return QStringLiteral("a FIFO");
        if (S_ISCHR(status.st_mode) || S_ISBLK(status.st_mode))
            return QStringLiteral("a device");
        if (S_ISSOCK(status.st_mode))
            return QStringLiteral("a socket");
    }
    return QStringLiteral("not a regular file");
}

bool makePrivateFolder(const QString& dir) {
    const QString clean = QDir::cleanPath(QDir(dir).absolutePath());
    if (isFolder(QFile::encodeName(clean)))
        return true;
    // From the root down, so that every missing level is made here, with our mode.
    QString prefix;
    const QStringList parts = clean.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    for (const QString& part : parts) {
        prefix += QLatin1Char('/') + part;
        const QByteArray native = QFile::encodeName(prefix);
        if (!isFolder(native) && !makeOneFolder(native))
            return false;
    }
    return isFolder(QFile::encodeName(clean));
}

bool preparePrivateFile(const QString& path) {
    const QByteArray native = QFile::encodeName(path);
    const int fd = ::open(native.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, kPrivateFileMode);
    if (fd >= 0) {
        const bool exact = ::fchmod(fd, kPrivateFileMode) == 0;
        ::close(fd);
        return exact;
    }
    if (errno != EEXIST)
        return false;
    struct stat status {};
    if (::stat(native.constData(), &status) != 0 || !S_ISREG(status.st_mode))
        return false;
    // The owner's own bits stay: a file its owner made read-only is still refused by the write. A
    // file of another user that we may write but not chmod is written as its owner keeps it.
    if ((status.st_mode & kGroupAndOtherBits) != 0)
        ::chmod(native.constData(), status.st_mode & ~kGroupAndOtherBits & 07777);
    return true;
}

}  // namespace SafeFiles
