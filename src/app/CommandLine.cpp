#include "CommandLine.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstring>

namespace CommandLine {

bool asksForInformation(int argc, char* argv[]) {
    for (int i = 1; i < argc; ++i) {
        for (const char* option : {"-h", "--help", "--help-all", "-v", "--version"}) {
            if (std::strcmp(argv[i], option) == 0)
                return true;
        }
    }
    return false;
}

void process(const QCoreApplication& app) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Ground station for camera gimbals: steering, camera and thermal control, live video, tracking.\n"
        "Settings, logs and protocol statistics stay beside the executable when its folder is writable,\n"
        "otherwise in $XDG_CONFIG_HOME/skyvane and $XDG_STATE_HOME/skyvane."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.process(app);
}

}  // namespace CommandLine
