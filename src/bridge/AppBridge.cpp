#include "AppBridge.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QFileInfo>

#include <vector>

#include "ProductModel.h"
#include "app/AppConfig.h"
#include "app/AppConsole.h"
#include "app/AppLog.h"
#include "app/AppUrls.h"
#include "app/elog.h"
#include "video/VideoBackend.h"

namespace {

constexpr int kStreamHistoryLimit = 10;
const char kImagesSubdir[] = "icon/images";

QString streamHistoryKey(const QString& product) {
    return QStringLiteral("streamHistory/") + product;
}

QString normalizedLanguage(const QString& lang) {
    return lang.trimmed().toLower() == QLatin1String("en") ? QStringLiteral("en") : QStringLiteral("zh");
}

// The two themes the interface has; anything else is the default, light.
QString themeName(const QString& theme) {
    return theme.trimmed().toLower() == QLatin1String("dark") ? QStringLiteral("dark") : QStringLiteral("light");
}

}  // namespace

AppBridge::AppBridge(QObject* parent)
    : QObject(parent),
      m_cameraIpAddr(kDeviceAddressA),
      m_cameraSubnetMask(kCameraDefaultSubnetMask),
      m_cameraGateway(kCameraDefaultGateway) {
    const QString storedLanguage =
        AppConfig::stringValue(QStringLiteral("general/language"), m_language).trimmed().toLower();
    if (storedLanguage == QLatin1String("en") || storedLanguage == QLatin1String("zh"))
        m_language = storedLanguage;
    m_theme = themeName(AppConfig::stringValue(QStringLiteral("Display/Theme")));
    const QString storedProduct = AppConfig::stringValue(QStringLiteral("general/currentProduct"));
    if (!storedProduct.isEmpty())
        m_currentProduct = storedProduct;
    if (!m_currentProduct.isEmpty())
        m_streamHistory = AppConfig::stringListValue(streamHistoryKey(m_currentProduct));

    m_deviceAddress = AppConfig::stringValue(QStringLiteral("Device/Address")).trimmed();
    const int devicePort = AppConfig::intValue(QStringLiteral("Device/Port"), 0);
    m_devicePort = (devicePort > 0 && devicePort <= 65535) ? devicePort : 0;

    m_videoBackend = videoBackendName();
    m_showStreamStats = AppConfig::boolValue(QStringLiteral("Video/ShowStats"), false);
    m_showHud = AppConfig::boolValue(QStringLiteral("Video/ShowHud"), true);
    elog_i("app", "Video backend=%s (see [Video] in %s), log file=%s", m_videoBackend.toUtf8().constData(),
           videoConfigFilePath().toUtf8().constData(), AppLog::logFilePathUtf8());

    connect(&m_udpSocket, &QUdpSocket::readyRead, this, &AppBridge::udpReceiveHandler);
    connect(&m_uart, &Uartcore::rawBytesReceived, this, &AppBridge::serialReceiveHandler);
    connect(&m_uart, &Uartcore::portLost, this, &AppBridge::onSerialPortLost);
    connect(this, &AppBridge::serialOpenedChanged, this, &AppBridge::linkOpenChanged);
    connect(this, &AppBridge::udpConnectedChanged, this, &AppBridge::linkOpenChanged);
    m_irSettingsPollTimer.setInterval(500);
    // A coarse timer may fire 25 ms early, ahead of the link-up requests that are due at 500 ms.
    m_irSettingsPollTimer.setTimerType(Qt::PreciseTimer);
    m_statsTimer.setInterval(30000);
    connect(&m_irSettingsPollTimer, &QTimer::timeout, this, &AppBridge::requestIrSettings);
    connect(&m_statsTimer, &QTimer::timeout, this, &AppBridge::writeProtocolStats);
    m_inboundContinuation.setSingleShot(true);
    m_inboundContinuation.setInterval(0);
    connect(&m_inboundContinuation, &QTimer::timeout, this, &AppBridge::continueInbound);
    setUpSilenceWatch();
    setUpTelemetryFeed();
    wordMessageLogNotices();

    appendMessage(tr2(QStringLiteral("应用已启动"), QStringLiteral("Application started")));
    logImageDirectory();
    refreshSerialPorts();

    if (isKnownProduct(m_currentProduct)) {
        m_runtimePage = true;
        emitLater({&AppBridge::currentProductChanged, &AppBridge::runtimePageChanged});
    }
}

AppBridge::~AppBridge() = default;

QStringList AppBridge::products() const {
    return productModels();
}

QString AppBridge::tr2(const QString& cn, const QString& en) const {
    return m_language == QLatin1String("zh") ? cn : en;
}

void AppBridge::emitLater(std::initializer_list<Notifier> notifiers) {
    const std::vector<Notifier> pending(notifiers);
    QTimer::singleShot(0, this, [this, pending] {
        for (Notifier signal : pending)
            emit(this->*signal)();
    });
}

QString AppBridge::linkStatus() const {
    if (m_serialOpened)
        return tr2(QStringLiteral("当前连接: UART"), QStringLiteral("Connected: UART"));
    if (m_udpConnected)
        return tr2(QStringLiteral("当前连接: UDP"), QStringLiteral("Connected: UDP"));
    return tr2(QStringLiteral("当前连接: 未连接"), QStringLiteral("Connected: None"));
}

// Local time goes through the C library's time-zone lookup, which looks at the zone file on every
// call; lines come in bursts, so the stamp ("yyyy-MM-dd hh:mm:ss") is made once per second.
QString AppBridge::messageStamp() {
    const qint64 second = QDateTime::currentSecsSinceEpoch();
    if (second != m_stampSecond) {
        m_stampSecond = second;
        m_stamp = QDateTime::fromSecsSinceEpoch(second).toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
    }
    return m_stamp;
}

// Every line goes to the session log; the on-screen log merges repeats and floods (MessageLogModel)
// and shows the date once per day, the time on each line. Only the lines it shows as lines of their
// own are echoed to the console, with date and time.
void AppBridge::appendMessage(const QString& text) {
    const QString stamp = messageStamp();
    elog_i("app", "Message: %s", text.toUtf8().constData());
    m_messageLines.noteDate(stamp.left(10));
    if (m_messageLines.append(stamp.mid(11), text, m_stampSecond)) {
        const QString line = QStringLiteral("[%1] %2").arg(stamp, text);
        if (AppConsole::isAttached()) {
            AppConsole::writeLine(line);
        } else {
            qDebug().noquote() << line;
        }
    }
    announceMessageLogChange();
}

// Floods append thousands of lines a second; one change signal per turn of the event loop is enough.
void AppBridge::announceMessageLogChange() {
    if (m_messageLogChangePending)
        return;
    m_messageLogChangePending = true;
    QTimer::singleShot(0, this, [this] {
        m_messageLogChangePending = false;
        emit messageLogChanged();
    });
}

void AppBridge::wordMessageLogNotices() {
    m_messageLines.setSummaryFormat(tr2(QStringLiteral("… 本秒另有 %1 条同类消息，最后一条: %2"),
                                        QStringLiteral("… %1 more lines like this in this second, the last: %2")));
    m_messageLines.setEarlierLinesFormat(tr2(QStringLiteral("… 更早的 %1 条消息只在会话日志中: %2"),
                                             QStringLiteral("… %1 earlier lines are only in the session log: %2"))
                                             .arg(QStringLiteral("%1"), AppLog::logFilePath()));
}

void AppBridge::announceLinkStatus() {
    appendMessage(tr2(QStringLiteral("连接状态: "), QStringLiteral("Link status: ")) + linkStatus());
}

bool AppBridge::pictureExists(const QString& fileName) const {
    if (fileName.isEmpty() || fileName.contains(QLatin1Char('/')) || fileName.contains(QLatin1Char('\\')))
        return false;
    return QFileInfo::exists(applicationDirPath() + QLatin1Char('/') + fileName);
}

void AppBridge::clearMessages() {
    m_messageLines.clear();
    announceMessageLogChange();
}

void AppBridge::setLanguage(const QString& lang) {
    const QString language = normalizedLanguage(lang);
    if (language == m_language)
        return;
    m_language = language;
    AppConfig::setValue(QStringLiteral("general/language"), m_language);
    wordMessageLogNotices();
    clearMessages();
    emit languageChanged();
    emit irColorSchemeModelChanged();
    emit linkStatusChanged();
}

void AppBridge::setTheme(const QString& theme) {
    setRememberedAndNotify(m_theme, themeName(theme), QStringLiteral("Display/Theme"), &AppBridge::themeChanged);
}

void AppBridge::remember(const QString& key, const QVariant& value) {
    AppConfig::setValue(key, value);
}

void AppBridge::selectProduct(const QString& product) {
    m_currentProduct = product;
    AppConfig::setValue(QStringLiteral("general/currentProduct"), product);
    m_streamHistory = AppConfig::stringListValue(streamHistoryKey(product));
    emit streamHistoryChanged();

    resetDeviceStateForProduct();
    emitLater({&AppBridge::cameraStatusChanged, &AppBridge::resetZoomRequested, &AppBridge::currentVisibleZoomChanged,
               &AppBridge::visibleZoomTypeChanged, &AppBridge::currentIrZoomChanged,
               &AppBridge::currentIrColorSchemeChanged, &AppBridge::irColorSchemeModelChanged,
               &AppBridge::isZoomingChanged, &AppBridge::continuousZoomJustStoppedChanged, &AppBridge::recordingChanged,
               &AppBridge::recordingTimeSecondsChanged, &AppBridge::irTempMeasureOnChanged,
               &AppBridge::irThermometryChanged, &AppBridge::laserRangeChanged});

    m_runtimePage = true;
    emit currentProductChanged();
    emit runtimePageChanged();
    appendMessage(tr2(QStringLiteral("选择产品型号: %1"), QStringLiteral("Select Product Model: %1")).arg(product));
    elog_i("app", "产品切换 -> %s", product.toUtf8().constData());
}

void AppBridge::resetDeviceStateForProduct() {
    m_cameraStatusAvailable = false;
    m_cameraVideoBitrateIndex = -1;
    m_cameraRtspResolutionIndex = -1;
    m_cameraVideoEncodingIndex = -1;
    m_cameraStreamModeIndex = -1;
    m_cameraPhotoVideoMode = -1;
    m_sdStatus = -1;
    m_lastSdStatusCode = -1;
    m_cameraPhotoResolutionIndex = -1;
    m_pendingPhotoResolutionIndex = -1;
    m_cameraRecordResolutionIndex = -1;
    m_currentVisibleZoom = 1.0;
    m_visibleZoomType.clear();
    m_currentIrZoom = 1.0;
    m_isZooming = false;
    m_continuousZoomJustStopped = false;
    m_visibleZoomAckPending = false;
    m_visibleZoomRetried = false;
    m_visibleZoomSettlePending = false;
    m_recording = false;
    m_recordingTimeSeconds = 0;
    m_currentIrColorSchemeCode = 1;
    m_irPaletteSet = -1;
    m_irTempMeasureOn = false;
    m_thermo = Thermometry();
    m_laserRangeDistance = 0.0;
    m_laserRangeValid = false;
    m_laserPeriodicActive = false;
    m_laserResultShown = false;
    forgetGimbalAttitude();
}

// The page change comes first, while the link is still up: what it stops on the device (gimbal,
// tracking, continuous ranging) must reach the device before the link closes.
void AppBridge::backToMain() {
    if (!m_runtimePage)
        return;
    clearMessages();
    m_runtimePage = false;
    emit runtimePageChanged();
    if (m_laserPeriodicActive && linkOpen())
        laserPeriodicOff();
    if (m_serialOpened)
        closeSerial();
    if (m_udpConnected || m_udpSocket.state() != QAbstractSocket::UnconnectedState)
        disconnectUdp();
    emit resetZoomRequested();
}

void AppBridge::rememberStreamUrl(const QString& url) {
    const QString u = url.trimmed();
    if (u.isEmpty() || m_currentProduct.isEmpty())
        return;
    QStringList list = m_streamHistory;
    list.removeAll(u);
    list.prepend(u);
    while (list.size() > kStreamHistoryLimit)
        list.removeLast();
    m_streamHistory = list;
    emit streamHistoryChanged();
    if (!writeStreamHistory()) {
        // The list still holds it for this run; the operator learns that the next start will not.
        appendMessage(tr2(QStringLiteral("视频流地址 %1 未能保存：无法写入配置文件 %2"),
                          QStringLiteral("Stream address %1 could not be saved: cannot write %2"))
                          .arg(AppUrls::withoutPassword(u), AppConfig::filePath()));
    }
}

void AppBridge::removeStreamUrl(const QString& url) {
    const QString u = url.trimmed();
    if (u.isEmpty() || m_currentProduct.isEmpty() || !m_streamHistory.contains(u))
        return;
    m_streamHistory.removeAll(u);
    emit streamHistoryChanged();
    writeStreamHistory();
}

bool AppBridge::writeStreamHistory() const {
    return AppConfig::setValue(streamHistoryKey(m_currentProduct), m_streamHistory);
}

double AppBridge::maxVisibleZoom() const {
    return productMaxVisibleZoom(m_currentProduct);
}

QString AppBridge::videoConfigPath() const {
    return videoConfigFilePath();
}

QString AppBridge::applicationDirPath() const {
    const QString appDir = QCoreApplication::applicationDirPath();
    QDir dir(appDir);
    if (dir.exists(QString::fromLatin1(kImagesSubdir)))
        return dir.absoluteFilePath(QString::fromLatin1(kImagesSubdir));
    for (int level = 0; level < 4; ++level) {
        if (!dir.cdUp())
            break;
        if (dir.exists(QString::fromLatin1(kImagesSubdir))) {
            return dir.absoluteFilePath(QString::fromLatin1(kImagesSubdir));
        }
        if (dir.exists(QStringLiteral("Skyvane/icon/images"))) {
            return dir.absoluteFilePath(QStringLiteral("Skyvane/icon/images"));
        }
    }
    return appDir + QStringLiteral("/icon/images");
}

void AppBridge::logImageDirectory() const {
    const QString path = applicationDirPath();
    qDebug() << "[DEBUG] Image directory path:" << path;
    const QDir dir(path);
    if (!dir.exists()) {
        qDebug() << "[WARNING] Image directory does NOT exist:" << path;
        return;
    }
    const QStringList pngs = dir.entryList({QStringLiteral("*.png")}, QDir::Files);
    qDebug() << "[DEBUG] Image directory exists";
    qDebug() << "[DEBUG] Found" << pngs.size() << "PNG files:" << pngs;
}
