#include <QGuiApplication>
#include <QTimer>

#include <gst/gst.h>

#include <cstdio>
#include <memory>

#include "AppConfigSeed.h"
#include "RtspServer.h"
#include "SimOptions.h"
#include "Simulator.h"
#include "app/QuitOnSignal.h"

namespace {

void printReady(const QString& line) {
    std::printf("%s\n", qPrintable(line));
    std::fflush(stdout);
}

// Outages: each starts at its time and, with a period, again every period after that.
void scheduleOutages(const SimOptions& options, RtspServer* server, QObject* owner) {
    // Whether the stream is now at the outage size; shared by every outage.
    auto resized = std::make_shared<bool>(false);
    for (const RtspOutage& outage : options.outages) {
        const bool quiet = options.quiet;
        auto begin = [server, outage, quiet, options, resized] {
            if (!quiet)
                std::fprintf(stderr, "skyvane-sim: RTSP outage for %.1f s\n", outage.durationS);
            server->setServing(false);
            QTimer::singleShot(int(outage.durationS * 1000), [server, quiet, options, resized] {
                if (!quiet)
                    std::fprintf(stderr, "skyvane-sim: RTSP serving again\n");
                // The camera was set to another size while the stream was away (and back at the next).
                if (options.outageVideoSize.isValid()) {
                    *resized = !*resized;
                    server->setVideoSize(*resized ? options.outageVideoSize : options.videoSize);
                }
                server->setServing(true);
            });
        };
        QTimer::singleShot(int(outage.startS * 1000), owner, [begin, options, owner] {
            begin();
            if (options.outagePeriodS <= 0)
                return;
            auto* repeat = new QTimer(owner);
            repeat->setTimerType(Qt::PreciseTimer);
            QObject::connect(repeat, &QTimer::timeout, owner, begin);
            repeat->start(int(options.outagePeriodS * 1000));
        });
    }
}

}  // namespace

int main(int argc, char* argv[]) {
    // Text is drawn into video frames without any display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("skyvane-sim"));
    quitApplicationOnTerminationSignals();

    SimOptions options;
    const SimOptionsParse parse = parseSimOptions(app.arguments().mid(1), &options);
    if (parse.helpRequested) {
        std::printf("%s", qPrintable(parse.helpText));
        return 0;
    }
    if (!parse.ok) {
        std::fprintf(stderr, "skyvane-sim: %s\n", qPrintable(parse.error));
        return 2;
    }
    if (!options.prepareAppConfig.isEmpty()) {
        const QString url =
            options.rtspPort ? QStringLiteral("rtsp://127.0.0.1:%1/live0").arg(options.rtspPort) : QString();
        QString error;
        const QString deviceAddress = options.udp ? options.udpAddress.toString() : QString();
        if (!seedAppConfig(options.prepareAppConfig, options.product, url, &error, deviceAddress, options.udpPort)) {
            std::fprintf(stderr, "skyvane-sim: %s\n", qPrintable(error));
            return 1;
        }
        return 0;
    }
    gst_init(&argc, &argv);

    Simulator simulator(options);
    QString error;
    if (!simulator.start(&error, printReady)) {
        std::fprintf(stderr, "skyvane-sim: %s\n", qPrintable(error));
        return 1;
    }

    std::unique_ptr<RtspServer> rtsp;
    if (options.rtspPort != 0) {
        RtspServer::Config config;
        config.port = options.rtspPort;
        config.size = options.videoSize;
        config.fps = options.fps;
        config.codec = options.h265 ? RtspServer::Codec::H265 : RtspServer::Codec::H264;
        if (options.h265 && options.videoSize.width() * options.videoSize.height() > 1280 * 720 && !options.quiet)
            std::fprintf(stderr, "skyvane-sim: H.265 above 720p may not keep %d fps on this machine\n", options.fps);
        rtsp = std::make_unique<RtspServer>(config);
        if (!rtsp->start(&error)) {
            std::fprintf(stderr, "skyvane-sim: RTSP: %s\n", qPrintable(error));
            return 1;
        }
        RtspServer* server = rtsp.get();
        server->setState(simulator.videoState());
        QObject::connect(&simulator, &Simulator::videoStateChanged, &app,
                         [server, &simulator] { server->setState(simulator.videoState()); });
        scheduleOutages(options, server, &app);
        printReady(QStringLiteral("RTSP ready %1").arg(server->url()));
    }
    const int code = app.exec();
    rtsp.reset();
    return code;
}
