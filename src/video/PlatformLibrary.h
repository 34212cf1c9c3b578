#pragma once

#include <QString>
#include <QStringList>

// Run-time loading of shared libraries on this platform (dlopen/dlsym/dlclose), with the error text
// of the loader and the process's search PATH. A thin layer so that the player loader reads the
// same on every platform.
class PlatformLibrary {
public:
    using Handle = void*;

    // Platform file names of the player library, in the order they are tried beside the executable.
    static QStringList playerLibraryNames();
    // Companion libraries of the vendor player, preloaded from its directory when present.
    static QStringList companionLibraryNames();
    // Separator of the PATH environment variable.
    static QChar pathListSeparator();

    // Loads a library; nullptr on failure with the loader's reason in *error.
    static Handle load(const QString& path, QString* error);
    // Loads a library whose symbols later libraries may bind to (companion libraries).
    static Handle loadGlobal(const QString& path, QString* error);
    static void* resolve(Handle handle, const char* name);
    static void unload(Handle handle);
    // True when the library at path is currently loaded in this process.
    static bool isLoaded(const QString& path);
    // True when the loader's reason says that a symbol a library needs was not found.
    static bool isMissingSymbolError(const QString& error);

    // Puts the directories in front of the PATH environment variable.
    static void prependToPath(const QStringList& directories);
};
