#include "PlatformLibrary.h"

#include <dlfcn.h>

#include <QFile>

namespace {

QString takeLoaderError() {
    const char* text = dlerror();
    return text ? QString::fromLocal8Bit(text) : QStringLiteral("unknown loader error");
}

PlatformLibrary::Handle loadWithMode(const QString& path, int mode, QString* error) {
    dlerror();
    PlatformLibrary::Handle handle = dlopen(QFile::encodeName(path).constData(), mode);
    if (!handle && error)
        *error = takeLoaderError();
    return handle;
}

}  // namespace

QStringList PlatformLibrary::playerLibraryNames() {
    return {QStringLiteral("libEasyPlayer.so"), QStringLiteral("libEasyPlayer-RTSP.so")};
}

QStringList PlatformLibrary::companionLibraryNames() {
    return {QStringLiteral("libSaveJpg.so"),        QStringLiteral("libEasyRTSPClient.so"),
            QStringLiteral("libEasyAACEncoder.so"), QStringLiteral("libavutil.so.55"),
            QStringLiteral("libswresample.so.2"),   QStringLiteral("libavcodec.so.57"),
            QStringLiteral("libavformat.so.57"),    QStringLiteral("libswscale.so.4"),
            QStringLiteral("libavfilter.so.6"),     QStringLiteral("libavdevice.so.57"),
            QStringLiteral("libcrypto.so.1.0.0"),   QStringLiteral("libssl.so.1.0.0")};
}

QChar PlatformLibrary::pathListSeparator() {
    return QLatin1Char(':');
}

PlatformLibrary::Handle PlatformLibrary::load(const QString& path, QString* error) {
    return loadWithMode(path, RTLD_NOW | RTLD_LOCAL, error);
}

PlatformLibrary::Handle PlatformLibrary::loadGlobal(const QString& path, QString* error) {
    return loadWithMode(path, RTLD_NOW | RTLD_GLOBAL, error);
}

void* PlatformLibrary::resolve(Handle handle, const char* name) {
    return handle ? dlsym(handle, name) : nullptr;
}

void PlatformLibrary::unload(Handle handle) {
    if (handle)
        dlclose(handle);
}

bool PlatformLibrary::isLoaded(const QString& path) {
    Handle handle = dlopen(QFile::encodeName(path).constData(), RTLD_NOW | RTLD_NOLOAD);
    if (!handle)
        return false;
    dlclose(handle);
    return true;
}

bool PlatformLibrary::isMissingSymbolError(const QString& error) {
    return error.contains(QLatin1String("undefined symbol"));
}

void PlatformLibrary::prependToPath(const QStringList& directories) {
    if (directories.isEmpty())
        return;
    const QString front = directories.join(pathListSeparator());
    const QByteArray old = qgetenv("PATH");
    QByteArray value = QFile::encodeName(front);
    if (!old.isEmpty())
        value += pathListSeparator().toLatin1() + old;
    qputenv("PATH", value);
}
