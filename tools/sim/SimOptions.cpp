#include "SimOptions.h"

#include <QCommandLineParser>

namespace {

bool parseFraction(const QString& text, double* out) {
    bool ok = false;
    const double value = text.toDouble(&ok);
    if (!ok || value < 0 || value > 1)
        return false;
    *out = value;
    return true;
}

bool parseNumber(const QString& text, quint32 max, quint32* out) {
    bool ok = false;
    const uint value = text.toUInt(&ok, 0);  // decimal, or hex with 0x
    if (!ok || value > max)
        return false;
    *out = value;
    return true;
}

bool parseHostPort(const QString& text, QHostAddress* address, quint16* port) {
    const int colon = text.lastIndexOf(QLatin1Char(':'));
    if (colon <= 0)
        return false;
    QString host = text.left(colon);
    if (host.startsWith(QLatin1Char('[')) && host.endsWith(QLatin1Char(']')))
        host = host.mid(1, host.size() - 2);
    quint32 value = 0;
    if (!address->setAddress(host) || !parseNumber(text.mid(colon + 1), 65535, &value))
        return false;
    *port = quint16(value);
    return true;
}

bool parseSize(const QString& text, QSize* size) {
    const QStringList parts = text.toLower().split(QLatin1Char('x'));
    if (parts.size() != 2)
        return false;
    bool okW = false;
    bool okH = false;
    const int width = parts[0].toInt(&okW);
    const int height = parts[1].toInt(&okH);
    if (!okW || !okH || width < 160 || height < 120 || width > 3840 || height > 2160 || width % 2 || height % 2)
        return false;
    *size = QSize(width, height);
    return true;
}

bool parseOutage(const QString& text, RtspOutage* outage) {
    const QStringList parts = text.split(QLatin1Char(':'));
    if (parts.size() != 2)
        return false;
    bool okStart = false;
    bool okDuration = false;
    outage->startS = parts[0].toDouble(&okStart);
    outage->durationS = parts[1].toDouble(&okDuration);
    return okStart && okDuration && outage->startS >= 0 && outage->durationS > 0;
}

// "ID" or "ID=CODE"; a refusal without a code answers 1.
bool parseRefusal(const QString& text, FaultOptions* faults) {
    const QStringList parts = text.split(QLatin1Char('='));
    quint32 id = 0;
    quint32 code = 1;
    if (parts.size() > 2 || !parseNumber(parts[0], 0xFFFF, &id))
        return false;
    if (parts.size() == 2 && !parseNumber(parts[1], 0xFFFF, &code))
        return false;
    faults->refuse.insert(quint16(id), quint16(code));
    return true;
}

}  // namespace

QStringList simProductNames() {
    return {QStringLiteral("WrenT-R2"),    QStringLiteral("Wren-R2"), QStringLiteral("Tern-LITE-A"),
            QStringLiteral("Tern-LITE-B"), QStringLiteral("Tern"),    QStringLiteral("Dove")};
}

SimOptionsParse parseSimOptions(const QStringList& arguments, SimOptions* options) {
    SimOptionsParse result;
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("A simulated gimbal and camera on loopback."));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("This help."));
    const QCommandLineOption product("product", "Device model.", "name", options->product);
    const QCommandLineOption udp("udp", "UDP address to bind (default 127.0.0.1:1030).", "addr:port");
    const QCommandLineOption noUdp("no-udp", "No UDP side.");
    const QCommandLineOption serial("serial", "Serial side on a pseudo-terminal.");
    const QCommandLineOption serialLink("serial-link", "Symlink to the pty slave (implies --serial).", "path");
    const QCommandLineOption rtspPort("rtsp-port", "RTSP port (0 = no RTSP; default 8554).", "n");
    const QCommandLineOption videoSize("video-size", "Picture size (default 1280x720).", "WxH");
    const QCommandLineOption fps("fps", "Frame rate (default 30).", "n");
    const QCommandLineOption codec("codec", "h264 or h265.", "codec");
    const QCommandLineOption outage("rtsp-outage", "Stop the stream at START for DURATION seconds.", "start:duration");
    const QCommandLineOption outagePeriod("rtsp-outage-period", "Repeat the outages every S seconds.", "s");
    const QCommandLineOption outageSize(
        "rtsp-outage-size", "Picture size after the first outage, --video-size after the second, and so on.", "WxH");
    const QCommandLineOption stillThermal("still-thermal",
                                          "Hot and cold spots stay in place (to compare picture and reports).");
    const QCommandLineOption seed("seed", "Random seed for faults (default 1).", "n");
    const QCommandLineOption refuse("refuse", "Answer message ID with result CODE (default 1).", "id[=code]");
    const QCommandLineOption silent("silent", "Never answer message ID ('all': nothing).", "id");
    const QCommandLineOption drop("drop", "Fraction of outgoing frames dropped.", "f");
    const QCommandLineOption duplicate("duplicate", "Fraction of outgoing frames sent twice.", "f");
    const QCommandLineOption corrupt("corrupt", "Fraction of outgoing frames with a wrong checksum.", "f");
    const QCommandLineOption garbage("garbage", "Fraction of outgoing frames preceded by garbage.", "f");
    const QCommandLineOption split("split", "Fraction of serial writes split in two.", "f");
    const QCommandLineOption delay("delay", "Delay of every reply in ms.", "ms");
    const QCommandLineOption noReports("no-reports", "No periodic status reports.");
    const QCommandLineOption log("log", "Append a line per frame to FILE.", "file");
    const QCommandLineOption prepare("prepare-app-config", "Seed the application's skyvane.cfg and exit.", "file");
    const QCommandLineOption verbose({QStringLiteral("v"), QStringLiteral("verbose")}, "Frame lines on stderr.");
    const QCommandLineOption quiet({QStringLiteral("q"), QStringLiteral("quiet")}, "Only the ready lines.");
    parser.addOptions({help,      product, udp,       noUdp,  serial,       serialLink, rtspPort,
                       videoSize, fps,     codec,     outage, outagePeriod, outageSize, stillThermal,
                       seed,      refuse,  silent,    drop,   duplicate,    corrupt,    garbage,
                       split,     delay,   noReports, log,    prepare,      verbose,    quiet});
    result.helpText = parser.helpText();
    if (!parser.parse(QStringList{QStringLiteral("skyvane-sim")} + arguments)) {
        result.error = parser.errorText();
        return result;
    }
    if (parser.isSet(help)) {
        result.helpRequested = true;
        result.ok = true;
        return result;
    }
    auto fail = [&result](const QString& what) {
        result.error = what;
        return result;
    };
    options->product = parser.value(product);
    if (!simProductNames().contains(options->product))
        return fail(QStringLiteral("unknown product '%1' (one of %2)")
                        .arg(options->product, simProductNames().join(QStringLiteral(", "))));
    if (parser.isSet(udp) && !parseHostPort(parser.value(udp), &options->udpAddress, &options->udpPort))
        return fail(QStringLiteral("--udp wants ADDR:PORT"));
    if (!options->udpAddress.isLoopback())
        return fail(QStringLiteral("--udp must be a loopback address"));
    options->udp = !parser.isSet(noUdp);
    options->serialLink = parser.value(serialLink);
    options->serial = parser.isSet(serial) || !options->serialLink.isEmpty();
    quint32 number = 0;
    if (parser.isSet(rtspPort)) {
        if (!parseNumber(parser.value(rtspPort), 65535, &number))
            return fail(QStringLiteral("bad --rtsp-port"));
        options->rtspPort = quint16(number);
    }
    if (parser.isSet(videoSize) && !parseSize(parser.value(videoSize), &options->videoSize))
        return fail(QStringLiteral("--video-size wants WxH with even sizes, e.g. 1920x1080"));
    if (parser.isSet(fps)) {
        if (!parseNumber(parser.value(fps), 60, &number) || number == 0)
            return fail(QStringLiteral("bad --fps"));
        options->fps = int(number);
    }
    if (parser.isSet(codec)) {
        const QString name = parser.value(codec).toLower();
        if (name != QLatin1String("h264") && name != QLatin1String("h265"))
            return fail(QStringLiteral("--codec is h264 or h265"));
        options->h265 = name == QLatin1String("h265");
    }
    for (const QString& text : parser.values(outage)) {
        RtspOutage one;
        if (!parseOutage(text, &one))
            return fail(QStringLiteral("--rtsp-outage wants START_S:DURATION_S"));
        options->outages.append(one);
    }
    if (parser.isSet(outageSize) && !parseSize(parser.value(outageSize), &options->outageVideoSize))
        return fail(QStringLiteral("--rtsp-outage-size wants WxH with even sizes, e.g. 640x360"));
    if (parser.isSet(outagePeriod)) {
        bool ok = false;
        options->outagePeriodS = parser.value(outagePeriod).toDouble(&ok);
        if (!ok || options->outagePeriodS <= 0)
            return fail(QStringLiteral("bad --rtsp-outage-period"));
    }
    options->stillThermal = parser.isSet(stillThermal);
    if (parser.isSet(seed)) {
        if (!parseNumber(parser.value(seed), 0xFFFFFFFF, &number))
            return fail(QStringLiteral("bad --seed"));
        options->seed = number;
    }
    FaultOptions& faults = options->faults;
    for (const QString& text : parser.values(refuse))
        if (!parseRefusal(text, &faults))
            return fail(QStringLiteral("--refuse wants ID or ID=CODE"));
    for (const QString& text : parser.values(silent)) {
        if (text == QLatin1String("all")) {
            faults.silentAll = true;
            continue;
        }
        if (!parseNumber(text, 0xFFFF, &number))
            return fail(QStringLiteral("--silent wants a message number or all"));
        faults.silent.insert(quint16(number));
    }
    const QList<QPair<const QCommandLineOption*, double*>> fractions = {{&drop, &faults.drop},
                                                                        {&duplicate, &faults.duplicate},
                                                                        {&corrupt, &faults.corrupt},
                                                                        {&garbage, &faults.garbage},
                                                                        {&split, &faults.split}};
    for (const auto& [option, target] : fractions) {
        if (parser.isSet(*option) && !parseFraction(parser.value(*option), target))
            return fail(QStringLiteral("--%1 wants a fraction between 0 and 1").arg(option->names().first()));
    }
    if (parser.isSet(delay)) {
        if (!parseNumber(parser.value(delay), 60000, &number))
            return fail(QStringLiteral("bad --delay"));
        faults.delayMs = int(number);
    }
    faults.noReports = parser.isSet(noReports);
    options->logFile = parser.value(log);
    options->prepareAppConfig = parser.value(prepare);
    options->verbose = parser.isSet(verbose);
    options->quiet = parser.isSet(quiet);
    result.ok = true;
    return result;
}
