#include "CaptureFile.h"

#include <QDateTime>
#include <QFile>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace CaptureFile {

Created create(const QString& folder, const QString& prefix, const QString& suffix) {
    const QString stem =
        folder + QLatin1Char('/') + prefix + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd_HHmmss"));
    Created created;
    created.path = folder;
    for (int n = 1; n <= kMaxNameAttempts; ++n) {
        const QString path = n == 1 ? stem + suffix : stem + QStringLiteral("_%1").arg(n) + suffix;
        const QByteArray encoded = QFile::encodeName(path);
        const int fd = ::open(encoded.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd >= 0) {
            created.fd = fd;
            created.path = path;
            return created;
        }
        if (errno != EEXIST) {
            created.error = QString::fromLocal8Bit(std::strerror(errno));
            return created;
        }
    }
    created.error = QString::fromLocal8Bit(std::strerror(EEXIST));
    return created;
}

void removeIfSame(int fd, const QString& path) {
    struct stat opened {};
    struct stat named {};
    const QByteArray encoded = QFile::encodeName(path);
    if (::fstat(fd, &opened) != 0 || ::lstat(encoded.constData(), &named) != 0)
        return;
    if (opened.st_dev == named.st_dev && opened.st_ino == named.st_ino)
        ::unlink(encoded.constData());
}

}  // namespace CaptureFile
