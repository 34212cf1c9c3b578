#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QUdpSocket>
#include <QVariantList>

#include <array>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <vector>

#include "MessageLogModel.h"
#include "link/Uartcore.h"
#include "protocol/ProtocolStats.h"

struct ParsedFrame;

// The application's one controller, published to QML as appBridge: product selection, language,
// message log and the device's reported state.
class AppBridge : public QObject {
    Q_OBJECT
    // Product, language, pages, message log
    Q_PROPERTY(QString language READ language WRITE setLanguage NOTIFY languageChanged)
    // The interface's colours: "light" (the default) or "dark", remembered in Display/Theme.
    Q_PROPERTY(QString theme READ theme WRITE setTheme NOTIFY themeChanged)
    Q_PROPERTY(QString currentProduct READ currentProduct NOTIFY currentProductChanged)
    Q_PROPERTY(bool runtimePage READ runtimePage NOTIFY runtimePageChanged)
    Q_PROPERTY(QString messageLog READ messageLog NOTIFY messageLogChanged)
    // The same log line by line, for the log view (one inserted row per appended line).
    Q_PROPERTY(MessageLogModel* messageLines READ messageLines CONSTANT)
    Q_PROPERTY(QStringList products READ products CONSTANT)
    // Links
    Q_PROPERTY(QStringList serialPorts READ serialPorts NOTIFY serialPortsChanged)
    Q_PROPERTY(bool serialOpened READ serialOpened NOTIFY serialOpenedChanged)
    Q_PROPERTY(bool udpConnected READ udpConnected NOTIFY udpConnectedChanged)
    // Either link is open: what the controls that send to the device depend on.
    Q_PROPERTY(bool linkOpen READ linkOpen NOTIFY linkOpenChanged)
    Q_PROPERTY(QString linkStatus READ linkStatus NOTIFY linkStatusChanged)
    // The open link has carried frames but none for Link/SilenceTimeoutSec seconds.
    Q_PROPERTY(bool deviceSilent READ deviceSilent NOTIFY deviceSilentChanged)
    // Whole seconds since the last valid frame while the device is silent, 0 otherwise.
    Q_PROPERTY(int deviceSilentSeconds READ deviceSilentSeconds NOTIFY deviceSilentSecondsChanged)
    // Versions and fixed values
    Q_PROPERTY(QString gimbalHwVersion READ gimbalHwVersion NOTIFY gimbalVersionChanged)
    Q_PROPERTY(QString gimbalSwVersion READ gimbalSwVersion NOTIFY gimbalVersionChanged)
    Q_PROPERTY(QString cameraVersion READ cameraVersion NOTIFY cameraVersionChanged)
    Q_PROPERTY(QString applicationDirPath READ applicationDirPath CONSTANT)
    // The device address and port the link panel offers instead of the product's factory address
    // (Device/Address, Device/Port in skyvane.cfg); "" and 0 when not configured.
    Q_PROPERTY(QString deviceAddress READ deviceAddress CONSTANT)
    Q_PROPERTY(int devicePort READ devicePort CONSTANT)
    Q_PROPERTY(QString videoBackend READ videoBackend CONSTANT)
    Q_PROPERTY(QString videoConfigPath READ videoConfigPath CONSTANT)
    // The stream health overlay on the video, remembered in Video/ShowStats.
    Q_PROPERTY(bool showStreamStats READ showStreamStats WRITE setShowStreamStats NOTIFY showStreamStatsChanged)
    // The head-up display over the video (attitude, zoom, range, states), remembered in Video/ShowHud.
    Q_PROPERTY(bool showHud READ showHud WRITE setShowHud NOTIFY showHudChanged)
    // Camera status
    Q_PROPERTY(bool cameraStatusAvailable READ cameraStatusAvailable NOTIFY cameraStatusChanged)
    Q_PROPERTY(int cameraVideoBitrateIndex READ cameraVideoBitrateIndex NOTIFY cameraStatusChanged)
    Q_PROPERTY(int cameraRtspResolutionIndex READ cameraRtspResolutionIndex NOTIFY cameraStatusChanged)
    Q_PROPERTY(int cameraVideoEncodingIndex READ cameraVideoEncodingIndex NOTIFY cameraStatusChanged)
    Q_PROPERTY(int cameraStreamModeIndex READ cameraStreamModeIndex NOTIFY cameraStatusChanged)
    Q_PROPERTY(int sdStatus READ sdStatus NOTIFY cameraStatusChanged)
    Q_PROPERTY(int cameraPhotoVideoMode READ cameraPhotoVideoMode NOTIFY cameraStatusChanged)
    Q_PROPERTY(int cameraPhotoResolutionIndex READ cameraPhotoResolutionIndex NOTIFY cameraStatusChanged)
    Q_PROPERTY(int cameraRecordResolutionIndex READ cameraRecordResolutionIndex NOTIFY cameraStatusChanged)
    // Remote-control channels
    Q_PROPERTY(int channelStreamCh READ channelStreamCh NOTIFY channelConfigChanged)
    Q_PROPERTY(int channelZoomCh READ channelZoomCh NOTIFY channelConfigChanged)
    Q_PROPERTY(int channelCaptureCh READ channelCaptureCh NOTIFY channelConfigChanged)
    Q_PROPERTY(int channelRecordCh READ channelRecordCh NOTIFY channelConfigChanged)
    Q_PROPERTY(int channelPitchCh READ channelPitchCh NOTIFY channelConfigChanged)
    Q_PROPERTY(int channelYawCh READ channelYawCh NOTIFY channelConfigChanged)
    Q_PROPERTY(int channelHomeCh READ channelHomeCh NOTIFY channelConfigChanged)
    Q_PROPERTY(int channelIrPaletteCh READ channelIrPaletteCh NOTIFY channelConfigChanged)
    Q_PROPERTY(int channelRangeMax READ channelRangeMax NOTIFY channelConfigChanged)
    Q_PROPERTY(int channelRangeMin READ channelRangeMin NOTIFY channelConfigChanged)
    // Camera network address
    Q_PROPERTY(QString cameraIpAddr READ cameraIpAddr NOTIFY cameraIpChanged)
    Q_PROPERTY(QString cameraSubnetMask READ cameraSubnetMask NOTIFY cameraIpChanged)
    Q_PROPERTY(QString cameraGateway READ cameraGateway NOTIFY cameraIpChanged)
    // Gimbal attitude in degrees from the device's attitude report, and when that last came (invalid
    // while the open link has reported none).
    Q_PROPERTY(double gimbalYaw READ gimbalYaw NOTIFY gimbalAttitudeChanged)
    Q_PROPERTY(double gimbalPitch READ gimbalPitch NOTIFY gimbalAttitudeChanged)
    Q_PROPERTY(double gimbalRoll READ gimbalRoll NOTIFY gimbalAttitudeChanged)
    Q_PROPERTY(QDateTime gimbalAttitudeTime READ gimbalAttitudeTime NOTIFY gimbalAttitudeChanged)
    // Laser ranging
    Q_PROPERTY(double laserRangeDistance READ laserRangeDistance NOTIFY laserRangeChanged)
    Q_PROPERTY(bool laserRangeValid READ laserRangeValid NOTIFY laserRangeChanged)
    // Stream history, version, zoom
    Q_PROPERTY(QStringList streamHistory READ streamHistory NOTIFY streamHistoryChanged)
    Q_PROPERTY(QString appVersion READ appVersion CONSTANT)
    Q_PROPERTY(double maxVisibleZoom READ maxVisibleZoom NOTIFY currentProductChanged)
    Q_PROPERTY(double currentVisibleZoom READ currentVisibleZoom NOTIFY currentVisibleZoomChanged)
    Q_PROPERTY(QString visibleZoomType READ visibleZoomType NOTIFY visibleZoomTypeChanged)
    Q_PROPERTY(double currentIrZoom READ currentIrZoom NOTIFY currentIrZoomChanged)
    Q_PROPERTY(
        int currentIrColorSchemeComboIndex READ currentIrColorSchemeComboIndex NOTIFY currentIrColorSchemeChanged)
    Q_PROPERTY(QStringList irColorSchemeNames READ irColorSchemeNames NOTIFY irColorSchemeModelChanged)
    Q_PROPERTY(bool isZooming READ isZooming NOTIFY isZoomingChanged)
    Q_PROPERTY(bool continuousZoomJustStopped READ continuousZoomJustStopped NOTIFY continuousZoomJustStoppedChanged)
    // Recording, detection
    Q_PROPERTY(bool recording READ recording NOTIFY recordingChanged)
    Q_PROPERTY(int recordingTimeSeconds READ recordingTimeSeconds NOTIFY recordingTimeSecondsChanged)
    Q_PROPERTY(bool aiDetecting READ aiDetecting NOTIFY aiDetectingChanged)
    Q_PROPERTY(int aiDetectedCount READ aiDetectedCount NOTIFY aiDetectedCountChanged)
    Q_PROPERTY(QString aiDetectStatus READ aiDetectStatus NOTIFY aiDetectStatusChanged)
    // Thermometry
    Q_PROPERTY(bool irTempMeasureOn READ irTempMeasureOn NOTIFY irTempMeasureOnChanged)
    Q_PROPERTY(int irThermometryRectCenterX READ irThermometryRectCenterX NOTIFY irThermometryChanged)
    Q_PROPERTY(int irThermometryRectCenterY READ irThermometryRectCenterY NOTIFY irThermometryChanged)
    Q_PROPERTY(int irThermometryRectWidth READ irThermometryRectWidth NOTIFY irThermometryChanged)
    Q_PROPERTY(int irThermometryRectHeight READ irThermometryRectHeight NOTIFY irThermometryChanged)
    Q_PROPERTY(bool irThermometryPointSelected READ irThermometryPointSelected NOTIFY irThermometryChanged)
    Q_PROPERTY(int irThermometryPointX READ irThermometryPointX NOTIFY irThermometryChanged)
    Q_PROPERTY(int irThermometryPointY READ irThermometryPointY NOTIFY irThermometryChanged)
    Q_PROPERTY(double irThermometryPointTemp READ irThermometryPointTemp NOTIFY irThermometryChanged)
    Q_PROPERTY(bool irThermometryValid READ irThermometryValid NOTIFY irThermometryChanged)
    Q_PROPERTY(double irThermometryAvgTemp READ irThermometryAvgTemp NOTIFY irThermometryChanged)
    Q_PROPERTY(double irThermometryMaxTemp READ irThermometryMaxTemp NOTIFY irThermometryChanged)
    Q_PROPERTY(double irThermometryMinTemp READ irThermometryMinTemp NOTIFY irThermometryChanged)
    Q_PROPERTY(int irThermometryMaxX READ irThermometryMaxX NOTIFY irThermometryChanged)
    Q_PROPERTY(int irThermometryMaxY READ irThermometryMaxY NOTIFY irThermometryChanged)
    Q_PROPERTY(int irThermometryMinX READ irThermometryMinX NOTIFY irThermometryChanged)
    Q_PROPERTY(int irThermometryMinY READ irThermometryMinY NOTIFY irThermometryChanged)

public:
    explicit AppBridge(QObject* parent = nullptr);
    ~AppBridge() override;

    QString language() const { return m_language; }
    QString theme() const { return m_theme; }
    QString currentProduct() const { return m_currentProduct; }
    bool runtimePage() const { return m_runtimePage; }
    // The lines the on-screen log keeps (the session log has every line).
    QString messageLog() const { return m_messageLines.text(); }
    QString deviceAddress() const { return m_deviceAddress; }
    int devicePort() const { return m_devicePort; }
    MessageLogModel* messageLines() { return &m_messageLines; }
    // Whether the picture directory (applicationDirPath) holds this file; the product page asks
    // before it shows a picture, so that a missing picture is not an error.
    Q_INVOKABLE bool pictureExists(const QString& fileName) const;
    QStringList products() const;

    QStringList serialPorts() const { return m_serialPorts; }
    bool serialOpened() const { return m_serialOpened; }
    bool udpConnected() const { return m_udpConnected; }
    bool linkOpen() const { return m_udpConnected || m_serialOpened; }
    QString linkStatus() const;
    bool deviceSilent() const { return m_deviceSilent; }
    int deviceSilentSeconds() const { return m_deviceSilentSeconds; }

    QString gimbalHwVersion() const { return m_gimbalHwVersion; }
    QString gimbalSwVersion() const { return m_gimbalSwVersion; }
    QString cameraVersion() const { return m_cameraVersion; }
    QString applicationDirPath() const;
    QString videoBackend() const { return m_videoBackend; }
    bool showStreamStats() const { return m_showStreamStats; }
    void setShowStreamStats(bool show);
    bool showHud() const { return m_showHud; }
    void setShowHud(bool show);
    QString videoConfigPath() const;

    bool cameraStatusAvailable() const { return m_cameraStatusAvailable; }
    int cameraVideoBitrateIndex() const { return m_cameraVideoBitrateIndex; }
    int cameraRtspResolutionIndex() const { return m_cameraRtspResolutionIndex; }
    int cameraVideoEncodingIndex() const { return m_cameraVideoEncodingIndex; }
    int cameraStreamModeIndex() const { return m_cameraStreamModeIndex; }
    int sdStatus() const { return m_sdStatus; }
    int cameraPhotoVideoMode() const { return m_cameraPhotoVideoMode; }
    int cameraPhotoResolutionIndex() const { return m_cameraPhotoResolutionIndex; }
    int cameraRecordResolutionIndex() const { return m_cameraRecordResolutionIndex; }

    int channelStreamCh() const { return m_channels.streamCh; }
    int channelZoomCh() const { return m_channels.zoomCh; }
    int channelCaptureCh() const { return m_channels.captureCh; }
    int channelRecordCh() const { return m_channels.recordCh; }
    int channelPitchCh() const { return m_channels.pitchCh; }
    int channelYawCh() const { return m_channels.yawCh; }
    int channelHomeCh() const { return m_channels.homeCh; }
    int channelIrPaletteCh() const { return m_channels.irPaletteCh; }
    int channelRangeMax() const { return m_channels.rangeMax; }
    int channelRangeMin() const { return m_channels.rangeMin; }

    QString cameraIpAddr() const { return m_cameraIpAddr; }
    QString cameraSubnetMask() const { return m_cameraSubnetMask; }
    QString cameraGateway() const { return m_cameraGateway; }

    double gimbalYaw() const { return m_gimbalYaw; }
    double gimbalPitch() const { return m_gimbalPitch; }
    double gimbalRoll() const { return m_gimbalRoll; }
    QDateTime gimbalAttitudeTime() const { return m_gimbalAttitudeTime; }

    double laserRangeDistance() const { return m_laserRangeDistance; }
    bool laserRangeValid() const { return m_laserRangeValid; }

    QStringList streamHistory() const { return m_streamHistory; }
    QString appVersion() const { return QStringLiteral("v1.0.16"); }
    double maxVisibleZoom() const;
    double currentVisibleZoom() const { return m_currentVisibleZoom; }
    QString visibleZoomType() const { return m_visibleZoomType; }
    double currentIrZoom() const { return m_currentIrZoom; }
    int currentIrColorSchemeComboIndex() const;
    QStringList irColorSchemeNames() const;
    bool isZooming() const { return m_isZooming; }
    bool continuousZoomJustStopped() const { return m_continuousZoomJustStopped; }

    bool recording() const { return m_recording; }
    int recordingTimeSeconds() const { return m_recordingTimeSeconds; }
    bool aiDetecting() const { return m_aiDetecting; }
    int aiDetectedCount() const { return m_aiDetectedCount; }
    QString aiDetectStatus() const { return m_aiDetectStatus; }

    bool irTempMeasureOn() const { return m_irTempMeasureOn; }
    int irThermometryRectCenterX() const { return m_thermo.rectCenterX; }
    int irThermometryRectCenterY() const { return m_thermo.rectCenterY; }
    int irThermometryRectWidth() const { return m_thermo.rectWidth; }
    int irThermometryRectHeight() const { return m_thermo.rectHeight; }
    bool irThermometryPointSelected() const { return m_thermo.pointSelected; }
    int irThermometryPointX() const { return m_thermo.pointX; }
    int irThermometryPointY() const { return m_thermo.pointY; }
    double irThermometryPointTemp() const { return m_thermo.pointTemp; }
    bool irThermometryValid() const { return m_thermo.valid; }
    double irThermometryAvgTemp() const { return m_thermo.avgTemp; }
    double irThermometryMaxTemp() const { return m_thermo.maxTemp; }
    double irThermometryMinTemp() const { return m_thermo.minTemp; }
    int irThermometryMaxX() const { return m_thermo.maxX; }
    int irThermometryMaxY() const { return m_thermo.maxY; }
    int irThermometryMinX() const { return m_thermo.minX; }
    int irThermometryMinY() const { return m_thermo.minY; }

    // Appends one time-stamped line to the message log and echoes it to the console.
    void appendMessage(const QString& text);
    void announceLinkStatus();
    // The member of a bilingual pair that matches the current language.
    QString tr2(const QString& cn, const QString& en) const;
    QString serialPermissionHint(const QString& ports) const;

    const ProtocolCounters& protocolCounters() const { return m_counters; }
    // Appends a snapshot of the frame counters to protocol_stats.log in the state folder (DataLocations).
    void writeProtocolStats();
    // The same, unless a snapshot was written less than one statistics period ago: however many
    // bad frames arrive, the file grows at most at the timer's pace.
    void writeProtocolStatsIfDue();

    // Invokables, in the order QML knows them.
    Q_INVOKABLE void setLanguage(const QString& lang);
    // Anything but "dark" (any case) is the light theme.
    Q_INVOKABLE void setTheme(const QString& theme);
    Q_INVOKABLE void selectProduct(const QString& product);
    Q_INVOKABLE void backToMain();
    // Link manager: at most one link is up; opening one closes the other.
    Q_INVOKABLE void connectUdp(const QString& ip, int port);
    Q_INVOKABLE void disconnectUdp();
    Q_INVOKABLE void clearMessages();
    Q_INVOKABLE void refreshSerialPorts();
    Q_INVOKABLE bool openSerial(const QString& portName, int baudRate);
    Q_INVOKABLE void closeSerial();
    // Gimbal motion
    Q_INVOKABLE void gimbalMove(int yawDir, int pitchDir);
    // True when the stop went out.
    Q_INVOKABLE bool gimbalStop();
    Q_INVOKABLE void gimbalHome();
    Q_INVOKABLE void gimbalDown();
    Q_INVOKABLE void gimbalSetAngle(double pitchDeg, double yawDeg);
    // Camera
    Q_INVOKABLE void cameraZoom(int action);
    Q_INVOKABLE void setVisibleZoom(double zoomRatio);
    Q_INVOKABLE void restartCamera();
    Q_INVOKABLE void setCameraMode(bool videoMode);
    Q_INVOKABLE void takePhoto();
    Q_INVOKABLE void toggleRecord();
    // Detection and tracking
    Q_INVOKABLE void setTracking(bool enable, int x, int y, int w, int h, bool silentRetry = false,
                                 bool silentMessage = false);
    // The tracking switch: the gimbal holds still for the box the operator is about to draw. True
    // when that stop went out; the switch shows "on" only then.
    Q_INVOKABLE bool armBoxTracking();
    Q_INVOKABLE void setAiDetect(bool enable);
    // True when the switch frame went out; the switches show "on" only then.
    Q_INVOKABLE bool setAiDetectWithCategories(bool enable, const QVariantList& categoryIds);
    Q_INVOKABLE void getAiDetectCategories();
    // Camera settings
    Q_INVOKABLE void setVideoBitrate(const QString& bitrateStr);
    Q_INVOKABLE void setVideoOutputMode(const QString& mode);
    Q_INVOKABLE void setRtspResolution(const QString& res);
    Q_INVOKABLE void setVideoEncoding(const QString& enc);
    Q_INVOKABLE void setPhotoResolution(const QString& res);
    Q_INVOKABLE void setRecordResolution(const QString& res);
    // Infrared camera
    Q_INVOKABLE void setIrColorScheme(int scheme);
    Q_INVOKABLE void setIrBrightness(int value);
    Q_INVOKABLE void setIrContrast(int value);
    Q_INVOKABLE void setIrDenoise(bool enable, int level);
    Q_INVOKABLE void setIrEnhance(bool enable, int level);
    Q_INVOKABLE void setIrSuperRes(bool enable);
    Q_INVOKABLE void setIrTempMeasure(bool enable);
    Q_INVOKABLE void setIrTempMeasureRegion(int centerX, int centerY, int width, int height);
    Q_INVOKABLE void setIrTempMeasurePoint(int x, int y);
    Q_INVOKABLE void requestIrSettings();
    Q_INVOKABLE void requestCameraSettingsState();
    // Channels, camera address, laser
    Q_INVOKABLE void readChannelConfig();
    Q_INVOKABLE void writeChannelConfig(int streamCh, int zoomCh, int captureCh, int recordCh, int pitchCh, int yawCh,
                                        int homeCh, int irPaletteCh);
    Q_INVOKABLE void writeChannelRange(int maxVal, int minVal);
    Q_INVOKABLE void setCameraIp(int ipType, const QString& ip, const QString& subnetMask, const QString& gateway);
    Q_INVOKABLE void getCameraIp();
    Q_INVOKABLE void laserRangeSingle();
    Q_INVOKABLE void laserPeriodicOn();
    Q_INVOKABLE void laserPeriodicOff();
    // Stream history
    Q_INVOKABLE void rememberStreamUrl(const QString& url);
    // Tells the operator what the video item's local recording or snapshot did (the kinds are
    // LocalCapture's captureEvent kinds; unknown kinds are ignored).
    Q_INVOKABLE void reportLocalCapture(const QString& kind, const QString& path, const QString& detail);
    Q_INVOKABLE void removeStreamUrl(const QString& url);
    // A stream address as the screen shows it: the password, if any, as dots.
    Q_INVOKABLE QString maskedUrl(const QString& url) const;
    // The SD card state of a camera status code, in the given interface language ("zh" or other).
    Q_INVOKABLE QString sdStatusName(int code, const QString& language) const;

    // Receiver of gimbal frames for the current product: 4 where the gimbal sits behind the camera.
    int gimbalDestinationId() const;
    // Palette feedback from the device's infrared settings and thermometry reports.
    void applyIrColorSchemeFromDevice(int code);
    void applyIrPaletteSetFromDevice(uint8_t set);

    // The one send path: builds a frame with the next sequence number and writes it on the open
    // link. On failure it has already told the operator where that is its job.
    bool sendCommand(uint8_t receiver, uint32_t messageId, const uint8_t* payload, uint8_t length);
    bool sendFrame(const uint8_t* frame, uint16_t length);

    void sendTimeSync();
    void requestVersions(bool announce);
    bool requestVisibleSettings();

    uint8_t nextSequenceNumber() const { return m_txSequence; }

public slots:
    // Inbound handling: cut received bytes into frames, count, trace and dispatch them.
    void serialReceiveHandler(const QByteArray& data);
    void udpReceiveHandler();

signals:
    void languageChanged();
    void themeChanged();
    void showStreamStatsChanged();
    void showHudChanged();
    void currentProductChanged();
    void runtimePageChanged();
    void messageLogChanged();
    void serialPortsChanged();
    void serialOpenedChanged();
    void udpConnectedChanged();
    void linkOpenChanged();
    void linkStatusChanged();
    void trackingResetRequested();
    void trackingStateFromDevice(bool isOn);
    void aiDetectCategoriesReceived(bool enabled, QVariantList categories);
    void gimbalVersionChanged();
    void cameraVersionChanged();
    void cameraStatusChanged();
    void channelConfigChanged();
    void cameraIpChanged();
    void laserRangeChanged();
    void gimbalAttitudeChanged();
    void resetZoomRequested();
    void currentVisibleZoomChanged();
    void visibleZoomFeedbackReceived(double reportedZoom);
    void visibleZoomTypeChanged();
    void currentIrZoomChanged();
    void irZoomFeedbackReceived(double reportedZoom);
    void currentIrColorSchemeChanged();
    void irColorSchemeModelChanged();
    void isZoomingChanged();
    void continuousZoomJustStoppedChanged();
    void recordingChanged();
    void recordingTimeSecondsChanged();
    void aiDetectingChanged();
    void aiDetectedCountChanged();
    void aiDetectStatusChanged();
    void irTempMeasureOnChanged();
    void irThermometryChanged();
    void streamHistoryChanged();
    void deviceSilentChanged();
    void deviceSilentSecondsChanged();

private:
    using Notifier = void (AppBridge::*)();

    QString messageStamp();
    void announceMessageLogChange();
    void wordMessageLogNotices();

    // Emits the given change signals, in order, on the next turn of the event loop.
    void emitLater(std::initializer_list<Notifier> notifiers);
    // Assigns and emits the change signal at once when the value really changed.
    template <typename T>
    void setAndNotify(T& member, const T& value, Notifier signal) {
        if (member == value)
            return;
        member = value;
        emit(this->*signal)();
    }
    // The same for an operator's choice that outlives the session: kept in the configuration under key.
    template <typename T>
    void setRememberedAndNotify(T& member, const T& value, const QString& key, Notifier signal) {
        if (member == value)
            return;
        member = value;
        remember(key, QVariant::fromValue(value));
        emit(this->*signal)();
    }
    static void remember(const QString& key, const QVariant& value);

    enum class FrameLink : uint8_t { Serial = 1, Udp = 2 };
    static constexpr uint8_t kSerialOnly = uint8_t(FrameLink::Serial);
    static constexpr uint8_t kUdpOnly = uint8_t(FrameLink::Udp);
    static constexpr uint8_t kBothLinks = kSerialOnly | kUdpOnly;
    using FrameHandler = void (AppBridge::*)(const ParsedFrame& frame, FrameLink link);
    // One row of a dispatch table: frames with this id, on these links, with at least this many
    // payload bytes go to the handler. A null handler marks a frame that is received and ignored.
    struct FrameRoute {
        uint32_t messageId;
        uint8_t links;
        uint8_t minPayload;
        FrameHandler handler;
    };

    void resetDeviceStateForProduct();

    // Link manager helpers
    void resetCameraStateForNewLink();
    void clearCameraSettingsAfterUdpDrop();
    void applyLinkLossReset();
    void stopLinkTimers();
    void startStatsAfterLinkUp();
    bool bindUdpSocket();
    static bool readAcceptOnlyDevice();
    // Closes the socket or port and forgets what belonged to it (target, unread bytes).
    void releaseUdpSocket();
    void releaseSerialPort();
    void closeUdpSocketForSerial();
    void closeSerialForUdp();
    void resetTrackingAndRecording();
    void scheduleUdpLinkUpRequests();
    void runSerialLinkUpSequence();
    void shutSerialLink(const QString& message);
    void onSerialPortLost();

    // Silence watch (AppBridgeSilence.cpp): a link that carried frames and then none for a while.
    void setUpSilenceWatch();
    void noteDeviceFrame();
    void checkDeviceSilence();
    void updateDeviceSilentAge();
    void resetSilenceWatch();

    // Telemetry for recordings and snapshots (AppBridgeTelemetry.cpp).
    void setUpTelemetryFeed();
    void publishTelemetry();

    // Inbound helpers
    void cutSerialFrames();
    void continueInbound();
    void dropForeignDatagram(const QHostAddress& sender);
    void handleUdpDatagram(const QByteArray& datagram, bool fromDevice);
    void handleUdpParseFailure(const QByteArray& datagram, bool fromDevice);
    void applyVisibleSettingsCompatibility(const QByteArray& datagram);
    bool setCameraResolutionIndexes(int photoIndex, int recordIndex);
    void dispatchFrame(const ParsedFrame& frame, FrameLink link);
    void dispatchReport(const ParsedFrame& frame, FrameLink link);
    void dispatchReply(const ParsedFrame& frame, FrameLink link);
    static const std::vector<FrameRoute>& reportRoutes();
    static const std::vector<FrameRoute>& replySuccessRoutes();
    static const std::vector<FrameRoute>& replyFailureRoutes();
    static const FrameRoute* findRoute(const std::vector<FrameRoute>& table, uint32_t messageId, FrameLink link);

    // Reply handlings of the link-up requests and of tracking
    void handleVisibleSettingsReply(const ParsedFrame& frame, FrameLink link);
    void handleGimbalVersionReply(const ParsedFrame& frame, FrameLink link);
    void handleCameraVersionReply(const ParsedFrame& frame, FrameLink link);
    void handleTrackingAck(const ParsedFrame& frame, FrameLink link);
    void handleTrackingStatusReport(const ParsedFrame& frame, FrameLink link);

    // Status reports (AppBridgeReports*.cpp)
    void handleCameraStatusReport(const ParsedFrame& frame, FrameLink link);
    void handleThermometryReport(const ParsedFrame& frame, FrameLink link);
    void handleVisibleZoomReport(const ParsedFrame& frame, FrameLink link);
    void handleRecordingReport(const ParsedFrame& frame, FrameLink link);
    void handleDetectionReport(const ParsedFrame& frame, FrameLink link);
    void handleIrSettings(const ParsedFrame& frame, FrameLink link);
    void handleLaserPeriodicReport(const ParsedFrame& frame, FrameLink link);
    void handleAttitudeReport(const ParsedFrame& frame, FrameLink link);
    void forgetGimbalAttitude();
    void announceSdStatus(int code);

    // Replies (AppBridgeReplies*.cpp)
    void handleSettingReply(const ParsedFrame& frame, FrameLink link);
    void handlePhotoResolutionReply(const ParsedFrame& frame, FrameLink link);
    void handlePhotoCommandReply(const ParsedFrame& frame, FrameLink link);
    void handleRecordCommandReply(const ParsedFrame& frame, FrameLink link);
    void handleContinuousZoomReply(const ParsedFrame& frame, FrameLink link);
    void handleZoomRatioReply(const ParsedFrame& frame, FrameLink link);
    void handleChannelConfigReply(const ParsedFrame& frame, FrameLink link);
    void handleAiCategoriesReply(const ParsedFrame& frame, FrameLink link);
    void handleCameraIpReply(const ParsedFrame& frame, FrameLink link);
    void handleSingleRangeReply(const ParsedFrame& frame, FrameLink link);

    // Gimbal commands and their acknowledgement (AppBridgeGimbal*.cpp)
    bool sendGimbalPreset(const std::array<uint8_t, 4>& payload);
    void onMotionAckTimeout();
    void resendMotionOnce();
    void onAngleAckTimeout();
    void resendAngleOnce();
    void handleGimbalControlAck(const ParsedFrame& frame, FrameLink link);
    void handleSetAngleAck(const ParsedFrame& frame, FrameLink link);

    // Channel, address and laser commands share one shape: link check, send, failure message.
    bool requireLink(const QString& cn, const QString& en);
    void sendOrComplain(uint32_t messageId, const uint8_t* payload, uint8_t length, const QString& cn,
                        const QString& en);
    void logImageDirectory() const;
    bool writeStreamHistory() const;

    struct ChannelConfig {
        int streamCh = 16;
        int zoomCh = 16;
        int captureCh = 16;
        int recordCh = 16;
        int pitchCh = 16;
        int yawCh = 16;
        int homeCh = 16;
        int irPaletteCh = 16;
        int rangeMax = 0;
        int rangeMin = 0;
    };
    struct Thermometry {
        int rectCenterX = 0;
        int rectCenterY = 0;
        int rectWidth = 0;
        int rectHeight = 0;
        bool pointSelected = false;
        int pointX = 0;
        int pointY = 0;
        double pointTemp = 0.0;
        bool valid = false;
        double avgTemp = 0.0;
        double maxTemp = 0.0;
        double minTemp = 0.0;
        int maxX = 0;
        int maxY = 0;
        int minX = 0;
        int minY = 0;
    };

    QString m_language = QStringLiteral("zh");
    QString m_theme = QStringLiteral("light");
    QString m_currentProduct;
    bool m_runtimePage = false;
    MessageLogModel m_messageLines;
    bool m_messageLogChangePending = false;
    // The message log's time stamp and the second it was made for.
    qint64 m_stampSecond = -1;
    QString m_stamp;

    QString m_deviceAddress;
    int m_devicePort = 0;

    QStringList m_serialPorts;
    bool m_serialOpened = false;
    bool m_udpConnected = false;

    QString m_gimbalHwVersion = QStringLiteral("-");
    QString m_gimbalSwVersion = QStringLiteral("-");
    QString m_cameraVersion = QStringLiteral("-");
    QString m_videoBackend = QStringLiteral("easyplayer");
    bool m_showStreamStats = false;
    bool m_showHud = true;

    bool m_cameraStatusAvailable = false;
    int m_cameraVideoBitrateIndex = -1;
    int m_cameraRtspResolutionIndex = -1;
    int m_cameraVideoEncodingIndex = -1;
    int m_cameraStreamModeIndex = -1;
    int m_sdStatus = -1;
    int m_cameraPhotoVideoMode = -1;
    int m_cameraPhotoResolutionIndex = -1;
    int m_cameraRecordResolutionIndex = -1;

    ChannelConfig m_channels;
    QString m_cameraIpAddr;
    QString m_cameraSubnetMask;
    QString m_cameraGateway;

    double m_gimbalYaw = 0.0;
    double m_gimbalPitch = 0.0;
    double m_gimbalRoll = 0.0;
    QDateTime m_gimbalAttitudeTime;

    double m_laserRangeDistance = 0.0;
    bool m_laserRangeValid = false;
    qint64 m_laserRangeTimeMs = 0;  // when the last reading came (ms since the epoch)

    QStringList m_streamHistory;
    double m_currentVisibleZoom = 1.0;
    QString m_visibleZoomType;
    double m_currentIrZoom = 1.0;
    bool m_isZooming = false;
    bool m_continuousZoomJustStopped = false;

    bool m_recording = false;
    int m_recordingTimeSeconds = 0;
    bool m_aiDetecting = false;
    int m_aiDetectedCount = 0;
    QString m_aiDetectStatus;

    bool m_irTempMeasureOn = false;
    Thermometry m_thermo;

    // Command and report bookkeeping of the device handlers.
    int m_lastSdStatusCode = -1;
    int m_pendingPhotoResolutionIndex = -1;
    int m_currentIrColorSchemeCode = 1;
    int m_irPaletteSet = -1;
    bool m_irColorSchemeReapplyPending = false;
    bool m_laserPeriodicActive = false;
    bool m_laserResultShown = false;
    bool m_visibleZoomAckPending = false;
    bool m_visibleZoomRetried = false;
    bool m_visibleZoomSettlePending = false;
    bool m_lastTrackingRequestOn = true;
    qint64 m_trackingAckQuietUntilMs = 0;
    qint64 m_lastTrackingAckMessageMs = 0;

    // Gimbal acknowledgement state: a preset (stop, centre, look down) or set-angle frame that
    // is resent once after 400 ms unless the device settles it first.
    bool m_motionAckPending = false;
    bool m_motionRetried = false;
    // Counts preset commands, so that the end of one copy's wait cannot settle a newer preset.
    uint32_t m_motionCommandCount = 0;
    std::array<uint8_t, 4> m_lastMotionPayload{};
    uint8_t m_lastMotionDestination = 0;
    bool m_angleAckPending = false;
    bool m_angleRetried = false;
    // Counts set-angle commands, so that the end of one copy's wait cannot settle a newer angle.
    uint32_t m_angleCommandCount = 0;
    uint8_t m_lastAngleDestination = 0;
    std::array<uint8_t, 7> m_lastAnglePayload{};

    // Zoom commands waiting for their answer, resent once when refused.
    bool m_zoomAckPending = false;
    bool m_zoomRetried = false;
    std::array<uint8_t, 2> m_lastZoomPayload{};
    std::array<uint8_t, 3> m_lastVisibleZoomPayload{};
    uint8_t m_lastVisibleZoomDestination = 4;
    // 1 after a start-recording frame, 2 after a stop; words the device's answer.
    uint8_t m_pendingRecordAction = 0;

    ProtocolCounters m_counters;

    QTimer m_irSettingsPollTimer;
    QTimer m_statsTimer;
    QElapsedTimer m_lastStatsWrite;
    // Takes up inbound work that did not fit into one turn of the event loop.
    QTimer m_inboundContinuation;

    // Silence watch: 0 s turns it off. The clock runs from the last valid frame and is invalid
    // until the open link has carried one.
    int m_silenceTimeoutSec = 3;
    bool m_deviceSilent = false;
    QElapsedTimer m_lastDeviceFrame;
    QTimer m_silenceTimer;
    int m_deviceSilentSeconds = 0;
    QTimer m_silentAgeTimer;

    // Links. The serial link and the socket belong to the controller for its whole life.
    Uartcore m_uart;
    QUdpSocket m_udpSocket;
    QHostAddress m_udpTargetAddress{QHostAddress::AnyIPv4};
    quint16 m_udpTargetPort = 0;
    // Link/AcceptFrom = device: datagrams from other hosts than the target are dropped. The
    // dropping senders already named in the log on this link (a few, then only counted).
    bool m_acceptOnlyDevice = false;
    static constexpr int kForeignSendersNamed = 8;
    QSet<QString> m_foreignSenders;
    // One sequence counter for every frame we build, on either link; never reset.
    uint8_t m_txSequence = 0;
    // Serial bytes not yet cut into frames.
    QByteArray m_serialRxBuffer;
    // The port as the operator named it, for the message when it disappears.
    QString m_serialPortName;
};
