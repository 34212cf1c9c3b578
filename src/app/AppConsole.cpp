#include "AppConsole.h"

#include <QDebug>

#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "AppConfig.h"

namespace AppConsole {
namespace {

bool g_attached = false;
bool g_handlerInstalled = false;

bool hasTerminal() {
    return isatty(STDOUT_FILENO) == 1;
}

void writeUtf8(const QByteArray& bytes) {
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stdout);
    std::fflush(stdout);
}

void messageHandler(QtMsgType, const QMessageLogContext&, const QString& message) {
    writeLine(message);
}

void setTerminalTitle(const char* title) {
    // OSC 0: icon name and window title, understood by xterm-compatible terminals.
    std::printf("\033]0;%s\007", title);
    std::fflush(stdout);
}

}  // namespace

bool start() {
    const bool enabled = AppConfig::boolValue(QStringLiteral("Console/Enabled"), false);
    if (!enabled)
        return g_attached || hasTerminal();

    if (!hasTerminal()) {
        // A terminal cannot be created for a process that was started without one.
        qWarning() << "[AppConsole] AllocConsole failed, error=" << ENOTTY;
        return false;
    }
    setTerminalTitle("Skyvane Debug Console");
    g_attached = true;
    if (!g_handlerInstalled) {
        qInstallMessageHandler(messageHandler);
        g_handlerInstalled = true;
    }
    writeUtf8("Skyvane debug console ready (UTF-8). qDebug / QML / EasyLogger output here.\n");
    return true;
}

bool isAttached() {
    return g_attached || hasTerminal();
}

void writeLine(const QString& text) {
    if (!isAttached())
        return;
    QByteArray bytes = text.toUtf8();
    if (!bytes.endsWith('\n'))
        bytes.append('\n');
    writeUtf8(bytes);
}

}  // namespace AppConsole
