#pragma once

#include <QString>

// The debug console. On this platform the console is the terminal the program was started from:
// with Console/Enabled the Qt message handler writes every qDebug, warning and QML console line
// there as UTF-8, and the terminal's title shows "Skyvane Debug Console".
namespace AppConsole {

// Reads Console/Enabled and sets the console up. True when a console is in use.
bool start();

// True when this component set the console up, or the process has a terminal anyway.
bool isAttached();

// Writes one line (a newline is added when missing) to the console; does nothing without one.
void writeLine(const QString& text);

}  // namespace AppConsole
