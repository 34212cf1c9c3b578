#pragma once

class QCoreApplication;

// The program's command line in the usual form: -h/--help, -v/--version, nothing else of its own
// (Qt's own options such as -platform are taken by the application object before this runs).
namespace CommandLine {

// True when the arguments ask for the usage or the version, which need no window and no display.
bool asksForInformation(int argc, char* argv[]);

// Prints the usage or the version and ends the process when asked; an unknown option ends it with
// Qt's message and exit code 1.
void process(const QCoreApplication& app);

}  // namespace CommandLine
