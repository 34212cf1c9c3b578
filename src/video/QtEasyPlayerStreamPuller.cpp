#include "QtEasyPlayerStreamPuller.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <cstring>

#include "StreamSafety.h"
#include "app/AppUrls.h"
#include "app/elog.h"

namespace {

// Pullers that may still receive callbacks. The callback checks its user pointer here under the lock,
// so a puller being destroyed (removed first) is never touched by a late library thread.
QMutex g_livePullersLock;
QSet<const void*> g_livePullers;

bool isDir(const QString& path) {
    return !path.isEmpty() && QFileInfo(path).isDir();
}
bool isFile(const QString& path) {
    return !path.isEmpty() && QFileInfo(path).isFile();
}
QString clean(const QString& path) {
    return QDir::cleanPath(path);
}

QString ancestor(const QString& dir, int levels) {
    QString path = dir;
    for (int i = 0; i < levels; ++i)
        path += QStringLiteral("/..");
    return clean(path);
}

const char kSdkFolder[] = "EasyPlayer-RTSP-Win";

// Walks up from appDir (at most 9 directories, never the file-system root) looking for the vendor SDK.
QString findSdkRoot(const QString& appDir) {
    QString dir = clean(appDir);
    for (int i = 0; i < 9; ++i) {
        const QString parent = clean(dir + QStringLiteral("/.."));
        if (QDir(dir).isRoot())
            break;
        for (const QString& prefix : {QStringLiteral("/"), QStringLiteral("/Skyvane/")}) {
            const QString root = dir + prefix + QLatin1String(kSdkFolder);
            if (isDir(root + QStringLiteral("/Bin/C++")) ||
                isDir(root + QStringLiteral("/Src/C++/QtEasyPlayerAdapter"))) {
                qDebug() << "[EasyPlayer] found EasyPlayer-RTSP-Win at:" << clean(root);
                return clean(root);
            }
        }
        if (QDir(parent).isRoot())
            break;
        dir = parent;
    }
    return QString();
}

}  // namespace

QtRtspFrameInfo QtRtspFrameInfo::fromLibraryRecord(const easyplayer::FrameInfo& info) {
    QtRtspFrameInfo copy;
    const auto* source = reinterpret_cast<const unsigned char*>(&info);
    std::memcpy(copy.bytes, source, 16);
    std::memcpy(copy.bytes + 16, source + 24, 32);
    return copy;
}

int QtRtspFrameInfo::width() const {
    return bytes[10] | (bytes[11] << 8);
}
int QtRtspFrameInfo::height() const {
    return bytes[12] | (bytes[13] << 8);
}
quint32 QtRtspFrameInfo::length() const {
    // The library's length (offset 36) is the fourth of the eight values copied to offset 16.
    return quint32(bytes[28]) | (quint32(bytes[29]) << 8) | (quint32(bytes[30]) << 16) | (quint32(bytes[31]) << 24);
}

QtEasyPlayerStreamPuller::QtEasyPlayerStreamPuller(QObject* parent) : QObject(parent) {
    qRegisterMetaType<QtRtspFrameInfo>("QtRtspFrameInfo");
    capVideoAllocations();
    QMutexLocker locker(&g_livePullersLock);
    g_livePullers.insert(this);
}

QtEasyPlayerStreamPuller::~QtEasyPlayerStreamPuller() {
    {
        QMutexLocker locker(&g_livePullersLock);
        g_livePullers.remove(this);
    }
    if (m_channelId >= 1) {
        closeChannel();
        emit streamStopped();
    }
    if (m_libraryInitialised && m_release)
        m_release();
    m_libraryInitialised = false;
    clearEntryPoints();
    PlatformLibrary::unload(m_module);
    m_module = nullptr;
    for (PlatformLibrary::Handle module : qAsConst(m_preloadedModules))
        PlatformLibrary::unload(module);
    m_preloadedModules.clear();
}

bool QtEasyPlayerStreamPuller::entryPointsResolved() const {
    return (m_init || m_initWithKey) && m_release && m_openStream && m_closeStream;
}

void QtEasyPlayerStreamPuller::clearEntryPoints() {
    m_init = nullptr;
    m_initWithKey = nullptr;
    m_release = nullptr;
    m_openStream = nullptr;
    m_closeStream = nullptr;
    m_setFrameCache = nullptr;
    m_setMaxPictureSize = nullptr;
}

bool QtEasyPlayerStreamPuller::resolveEntryPoints(PlatformLibrary::Handle module) {
    auto resolve = [module](const char* plain, const char* decorated) {
        void* symbol = PlatformLibrary::resolve(module, plain);
        return symbol ? symbol : PlatformLibrary::resolve(module, decorated);
    };
    m_init = reinterpret_cast<easyplayer::InitFn>(resolve("EasyPlayer_Init", "?EasyPlayer_Init@@YAHXZ"));
    m_initWithKey = m_init ? nullptr
                           : reinterpret_cast<easyplayer::InitWithKeyFn>(
                                 PlatformLibrary::resolve(module, "?EasyPlayer_Init@@YAHPAD@Z"));
    m_release = reinterpret_cast<easyplayer::ReleaseFn>(resolve("EasyPlayer_Release", "?EasyPlayer_Release@@YAXXZ"));
    m_openStream = reinterpret_cast<easyplayer::OpenStreamFn>(
        resolve("EasyPlayer_OpenStream",
                "?EasyPlayer_OpenStream@@YAHPBDPAUHWND__@@W4__RENDER_FORMAT@@H00P6GHHPAHHPADPAUtagEASY_FRAME_INFO@@@"
                "ZPAX_N44M@Z"));
    m_closeStream = reinterpret_cast<easyplayer::CloseStreamFn>(
        resolve("EasyPlayer_CloseStream", "?EasyPlayer_CloseStream@@YAXH@Z"));
    m_setFrameCache = reinterpret_cast<easyplayer::SetFrameCacheFn>(
        resolve("EasyPlayer_SetFrameCache", "?EasyPlayer_SetFrameCache@@YAHHH@Z"));
    m_setMaxPictureSize = reinterpret_cast<easyplayer::SetMaxPictureSizeFn>(
        PlatformLibrary::resolve(module, "EasyPlayer_SetMaxPictureSize"));
    if (entryPointsResolved())
        return true;
    clearEntryPoints();
    return false;
}

void QtEasyPlayerStreamPuller::preloadCompanions(const QStringList& directories) {
    for (const QString& dir : directories) {
        if (!isDir(dir))
            continue;
        for (const QString& name : PlatformLibrary::companionLibraryNames()) {
            const QString path = clean(dir + QLatin1Char('/') + name);
            if (!isFile(path))
                continue;
            // A companion that does not load is left out; the player library reports what it misses.
            if (PlatformLibrary::Handle module = PlatformLibrary::loadGlobal(path, nullptr)) {
                m_preloadedModules.append(module);
            }
        }
    }
}

bool QtEasyPlayerStreamPuller::tryCandidate(const QString& path) {
    if (!QFileInfo::exists(path)) {
        if (m_lastError.isEmpty())
            m_lastError = QStringLiteral("candidate not exists: %1").arg(path);
        return false;
    }
    QString loaderError;
    PlatformLibrary::Handle module = PlatformLibrary::load(path, &loaderError);
    if (!module) {
        m_lastError = QStringLiteral("LoadLibrary failed: %1 (%2)").arg(path, loaderError);
        if (PlatformLibrary::isMissingSymbolError(loaderError)) {
            m_lastError += QStringLiteral(
                " A library it depends on does not export what it needs (typically a mixed set of FFmpeg "
                "libraries): make sure every library beside the executable comes from one release package and "
                "that no other libraries of the same names are found first.");
        }
        return false;
    }
    if (!resolveEntryPoints(module)) {
        m_lastError = QStringLiteral("resolve api failed: %1").arg(path);
        PlatformLibrary::unload(module);
        return false;
    }
    m_module = module;
    m_loadedPath = path;
    qDebug() << "[EasyPlayer] load success:" << path;
    return true;
}

bool QtEasyPlayerStreamPuller::loadLibrary(const QString& preferredPath) {
    m_lastError.clear();
    if (m_module && entryPointsResolved())
        return true;

    QStringList candidates;
    const QString preferred = preferredPath.trimmed();
    if (!preferred.isEmpty())
        candidates << preferred;
    const QString fromEnvironment = QString::fromLocal8Bit(qgetenv("EASYPLAYER_DLL_PATH")).trimmed();
    if (!fromEnvironment.isEmpty())
        candidates << fromEnvironment;

    const QString appDir = clean(QCoreApplication::applicationDirPath());
    const QString sdkRoot = findSdkRoot(appDir);
    const QString sdkBin = sdkRoot.isEmpty() ? QString() : clean(sdkRoot + QStringLiteral("/Bin/C++"));
    const QString up2 = ancestor(appDir, 2);
    QString sdkBase;
    for (int levels = 3; levels <= 6 && sdkBase.isEmpty(); ++levels) {
        const QString dir = ancestor(appDir, levels);
        if (isDir(dir + QStringLiteral("/Bin/C++")))
            sdkBase = dir;
    }
    if (sdkBase.isEmpty())
        sdkBase = ancestor(appDir, 4);
    const QString baseBin = clean(sdkBase + QStringLiteral("/Bin/C++"));
    const QString pluginDir = clean(up2 + QStringLiteral("/EasyPlayerPlugin/libEasyPlayer"));
    const QString sdkPluginDir = clean(sdkBase + QStringLiteral("/Src/C++/EasyPlayerPlugin/libEasyPlayer"));
    const QStringList libraryNames = PlatformLibrary::playerLibraryNames();

    bool libraryInAppDir = false;
    for (const QString& name : libraryNames)
        libraryInAppDir = libraryInAppDir || isFile(appDir + '/' + name);

    QStringList searchDirs;
    for (const QString& dir : {appDir, sdkBin, pluginDir, baseBin, sdkPluginDir}) {
        if (isDir(dir))
            searchDirs << dir;
    }
    if (libraryInAppDir && !searchDirs.isEmpty())
        searchDirs = QStringList{appDir};
    if (!searchDirs.isEmpty()) {
        PlatformLibrary::prependToPath(searchDirs);
        qDebug() << "[EasyPlayer] prepend PATH with:" << searchDirs.join(PlatformLibrary::pathListSeparator());
    }

    QString libraryDir;
    if (libraryInAppDir) {
        libraryDir = appDir;
    } else if (isDir(sdkBin)) {
        libraryDir = sdkBin;
    } else if (isDir(baseBin)) {
        libraryDir = baseBin;
    }
    preloadCompanions(libraryDir.isEmpty() ? QStringList{pluginDir, sdkPluginDir, baseBin} : QStringList{libraryDir});

    QStringList further;
    for (const QString& name : libraryNames)
        further << appDir + '/' + name;
    if (isDir(sdkBin)) {
        further << sdkBin + '/' + libraryNames.value(1) << sdkBin + '/' + libraryNames.value(0);
    }
    further << baseBin + '/' + libraryNames.value(0);
    if (!isDir(sdkBin) && !isDir(baseBin)) {
        further << sdkPluginDir + '/' + libraryNames.value(0) << pluginDir + '/' + libraryNames.value(0);
    }
    for (const QString& path : qAsConst(further)) {
        if (isFile(path))
            candidates << clean(path);
    }

    for (const QString& candidate : qAsConst(candidates)) {
        if (tryCandidate(candidate))
            return true;
    }
    if (m_lastError.isEmpty())
        m_lastError = QStringLiteral("all candidates failed");
    if (isDir(baseBin) && !isFile(baseBin + '/' + libraryNames.value(0))) {
        m_lastError =
            QStringLiteral("%1 is missing from %2: put the player library there").arg(libraryNames.value(0), baseBin);
    }
    return false;
}

bool QtEasyPlayerStreamPuller::startPull(const QString& url, QWidget* renderWidget, bool overTcp, const QString& user,
                                         const QString& password, bool hardwareDecode, int renderFormat) {
    qDebug() << "[EasyPlayer] startPull called, hardDecode =" << hardwareDecode
             << ", url =" << AppUrls::withoutPassword(url);
    if (!loadLibrary()) {
        emit streamStartFailed(-100,
                               m_lastError.isEmpty() ? QStringLiteral("Load libEasyPlayer.dll failed") : m_lastError);
        return false;
    }
    if (!m_libraryInitialised) {
        int result = -101;
        if (m_init) {
            result = m_init();
        } else if (m_initWithKey) {
            char noKey[] = "";
            result = m_initWithKey(noKey);
        }
        if (result < 0) {
            emit streamStartFailed(result, QStringLiteral("EasyPlayer_Init failed, code=%1").arg(result));
            return false;
        }
        m_libraryInitialised = true;
    }
    if (!renderWidget) {
        emit streamStartFailed(-2, QStringLiteral("renderWidget is null"));
        return false;
    }
    if (!m_openStream) {
        emit streamStartFailed(-102, QStringLiteral("EasyPlayer_OpenStream not resolved"));
        return false;
    }
    if (m_channelId >= 1)
        stopPull();
    m_sinceStart.start();
    m_awaitingFirstPicture = true;
    m_url = url;
    m_renderWidget = renderWidget;
    m_overTcp = overTcp;
    m_user = user;
    m_password = password;
    m_hardwareDecode = hardwareDecode;
    m_renderFormat = renderFormat;
    const QSize maxPicture = maxPictureSize();
    m_maxPictureWidth = maxPicture.width();
    m_maxPictureHeight = maxPicture.height();
    if (m_setMaxPictureSize)
        m_setMaxPictureSize(maxPicture.width(), maxPicture.height());
    renderWidget->setAttribute(Qt::WA_NativeWindow);
    void* window = reinterpret_cast<void*>(renderWidget->winId());

    const QByteArray urlUtf8 = url.toUtf8();
    const QByteArray userUtf8 = user.toUtf8();
    const QByteArray passwordUtf8 = password.toUtf8();
    m_channelId = m_openStream(urlUtf8.constData(), window, renderFormat, overTcp ? 1 : 0,
                               user.isEmpty() ? nullptr : userUtf8.constData(),
                               password.isEmpty() ? nullptr : passwordUtf8.constData(),
                               &QtEasyPlayerStreamPuller::frameCallback, this, hardwareDecode, nullptr, nullptr, 1.0f);
    qDebug() << "[EasyPlayer] EasyPlayer_OpenStream result channelId =" << m_channelId;
    if (m_channelId < 1) {
        const int code = m_channelId;
        m_channelId = -1;
        emit streamStartFailed(code, QStringLiteral("EasyPlayer_OpenStream failed"));
        return false;
    }
    if (m_setFrameCache) {
        const int result = m_setFrameCache(m_channelId, 2);
        qDebug() << "[EasyPlayer] Frame cache set to 2 (runtime), result:" << result;
    } else {
        qDebug() << "[EasyPlayer] WARNING: SetFrameCache function not resolved!";
    }
    emit streamStarted(m_channelId);
    return true;
}

void QtEasyPlayerStreamPuller::closeChannel() {
    if (m_channelId < 1)
        return;
    if (m_closeStream)
        m_closeStream(m_channelId);
    m_channelId = -1;
}

void QtEasyPlayerStreamPuller::stopPull() {
    if (m_channelId < 1)
        return;
    closeChannel();
    emit streamStopped();
}

QByteArray QtEasyPlayerStreamPuller::frameBuffer(int index) const {
    if (index != 0 && index != 1)
        return QByteArray();
    QMutexLocker locker(&m_bufferLock);
    return m_frameBuffers[index];
}

int QtEasyPlayerStreamPuller::frameCallback(int channelId, void* userPointer, int frameType, char* buffer,
                                            easyplayer::FrameInfo* info) {
    if (!userPointer)
        return 0;
    QMutexLocker locker(&g_livePullersLock);
    if (!g_livePullers.contains(userPointer))
        return 0;
    auto* puller = static_cast<QtEasyPlayerStreamPuller*>(userPointer);
    if (frameType == easyplayer::kFrameTypeReconnect) {
        const QString url = buffer ? QString::fromUtf8(buffer) : QString();
        QMetaObject::invokeMethod(
            puller,
            [puller, channelId, url] {
                if (puller->isCurrentChannel(channelId))
                    puller->doReconnectRequested(url);
            },
            Qt::QueuedConnection);
        return 0;
    }
    if (frameType == easyplayer::kFrameTypePictureTooLarge && info) {
        puller->reportPictureTooLarge(channelId, info->width, info->height);
        return 0;
    }
    if (buffer && info && info->length != 0)
        puller->handleFrame(channelId, frameType, buffer, *info);
    return 0;
}

// Notices are queued to the GUI thread, where the channel may have been closed meanwhile (close(), a
// new open() or an earlier reconnect). Such a notice is stale: acting on it would reopen a stream the
// operator closed, or paint the old stream's picture over the new one.
bool QtEasyPlayerStreamPuller::isCurrentChannel(int channelId) const {
    return m_channelId >= 1 && channelId == m_channelId;
}

void QtEasyPlayerStreamPuller::handleFrame(int channelId, int frameType, const char* buffer,
                                           const easyplayer::FrameInfo& info) {
    if (frameType == easyplayer::kFrameTypeRgbPicture && info.width != 0 && info.height != 0) {
        if (info.width > m_maxPictureWidth || info.height > m_maxPictureHeight) {
            reportPictureTooLarge(channelId, info.width, info.height);
            return;
        }
        const int length = int(info.length);
        int index = 0;
        {
            QMutexLocker locker(&m_bufferLock);
            index = m_nextBufferIndex;
            QByteArray& target = m_frameBuffers[index];
            if (target.size() != length)
                target.resize(length);
            // data() gives a fresh copy when the GUI still holds the previous bytes of this buffer.
            std::memcpy(target.data(), buffer, size_t(length));
            m_nextBufferIndex = 1 - index;
        }
        const int width = info.width;
        const int height = info.height;
        QMetaObject::invokeMethod(
            this,
            [this, channelId, index, width, height] {
                if (isCurrentChannel(channelId))
                    onFrameBufferReady(index, width, height);
            },
            Qt::QueuedConnection);
        return;
    }
    QMetaObject::invokeMethod(this, "frameArrived", Qt::QueuedConnection, Q_ARG(int, frameType),
                              Q_ARG(QByteArray, QByteArray()),
                              Q_ARG(QtRtspFrameInfo, QtRtspFrameInfo::fromLibraryRecord(info)));
}

// Library thread: the refusal reaches the GUI thread like every other notice.
void QtEasyPlayerStreamPuller::reportPictureTooLarge(int channelId, int width, int height) {
    if (m_refusedChannel.exchange(channelId) == channelId)
        return;
    const int maxWidth = m_maxPictureWidth;
    const int maxHeight = m_maxPictureHeight;
    QMetaObject::invokeMethod(
        this,
        [this, channelId, width, height, maxWidth, maxHeight] {
            if (!isCurrentChannel(channelId))
                return;
            elog_w("video", "EasyPlayer stream refused, picture %dx%d larger than %dx%d (Video/MaxPictureSize) url=%s",
                   width, height, maxWidth, maxHeight, AppUrls::withoutPassword(m_url).toUtf8().constData());
            emit pictureTooLarge(width, height, maxWidth, maxHeight);
        },
        Qt::QueuedConnection);
}

void QtEasyPlayerStreamPuller::onFrameBufferReady(int bufferIndex, int width, int height) {
    if (m_awaitingFirstPicture) {
        m_awaitingFirstPicture = false;
        elog_i("video", "EasyPlayer first picture %dx%d after %lld ms url=%s", width, height,
               static_cast<long long>(m_sinceStart.elapsed()), AppUrls::withoutPassword(m_url).toUtf8().constData());
    }
    emit frameBufferReady(bufferIndex, width, height);
}

void QtEasyPlayerStreamPuller::doReconnectRequested(const QString& url) {
    const QString target = url.isEmpty() ? m_url : url;
    if (target.isEmpty() || !m_renderWidget)
        return;
    // The library asks again after a growing pause, until the stream plays or the channel is closed.
    elog_w("video", "EasyPlayer stream lost or not available yet, reconnecting url=%s",
           AppUrls::withoutPassword(target).toUtf8().constData());
    emit reconnectRequested(target);
    if (m_channelId >= 1) {
        closeChannel();
        emit streamStopped();
    }
    const QElapsedTimer sinceStart = m_sinceStart;
    const bool awaitingFirstPicture = m_awaitingFirstPicture;
    startPull(target, m_renderWidget, m_overTcp, m_user, m_password, m_hardwareDecode, m_renderFormat);
    m_sinceStart = sinceStart;
    m_awaitingFirstPicture = awaitingFirstPicture;
}
