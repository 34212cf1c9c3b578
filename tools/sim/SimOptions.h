#pragma once

#include <QHash>
#include <QHostAddress>
#include <QSet>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QVector>

// Faults the simulated device can be told to commit. Fractions are 0..1; ids are message
// numbers (the low 16 bits of a message id).
struct FaultOptions {
    QHash<quint16, quint16> refuse;  // message number -> result code sent instead of 0
    QSet<quint16> silent;            // message numbers never answered
    bool silentAll = false;
    double drop = 0;
    double duplicate = 0;
    double corrupt = 0;
    double garbage = 0;
    double split = 0;
    int delayMs = 0;
    bool noReports = false;
};

struct RtspOutage {
    double startS = 0;
    double durationS = 0;
};

struct SimOptions {
    QString product = QStringLiteral("WrenT-R2");
    bool udp = true;
    QHostAddress udpAddress = QHostAddress(QHostAddress::LocalHost);
    quint16 udpPort = 1030;
    bool serial = false;
    QString serialLink;

    quint16 rtspPort = 8554;
    QSize videoSize{1280, 720};
    int fps = 30;
    bool h265 = false;
    QVector<RtspOutage> outages;
    double outagePeriodS = 0;
    QSize outageVideoSize;  // valid: the picture size served after every odd outage (videoSize after every even one)

    bool stillThermal = false;  // the hot and cold spots stay in place

    quint32 seed = 1;
    FaultOptions faults;
    QString logFile;
    QString prepareAppConfig;  // write this skyvane.cfg for a session against the simulator, then exit
    bool verbose = false;
    bool quiet = false;
};

// Reads the command line (arguments without the program name). false with a reason on bad
// input; --help is reported through helpRequested with the usage text in helpText.
struct SimOptionsParse {
    bool ok = false;
    bool helpRequested = false;
    QString error;
    QString helpText;
};
SimOptionsParse parseSimOptions(const QStringList& arguments, SimOptions* options);

QStringList simProductNames();
