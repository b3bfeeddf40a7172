#pragma once

#include <QString>

namespace hourloom {

// Leaves a marker file behind when the process dies of a fatal signal, so that the next
// launch can report the crash. The handler runs in a broken process: it uses only
// async-signal-safe calls (open, write, close, clock_gettime, sigaction, raise) and a
// backtrace() that was loaded before any crash, then re-raises with the default action so the
// process still dies of the signal. The marker holds the signal, the time, the return
// addresses and the process's memory mappings (/proc/self/maps as it was at the crash).
class CrashMarker {
public:
    // $XDG_STATE_HOME/hourloom/crash-marker, with ~/.local/state when the variable is unset.
    static QString defaultPath();

    // Installs the handlers for SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT and SIGTRAP on an
    // alternate stack (a stack overflow leaves none to run on), creating the marker's folder.
    // A later call only changes the marker's path.
    static void install(const QString &path);
};

} // namespace hourloom
