#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

#include <optional>

namespace hourloom {

// A file mapped into the crashed process: where it was loaded and which file it was (the
// inode tells whether the file at that path is still the same one).
struct LoadedModule {
    QString path;
    quint64 base = 0;
    quint64 end = 0;
    quint64 inode = 0;

    bool contains(quint64 address) const { return address >= base && address < end; }
};

// What the crash marker of an earlier run says: the fatal signal, when it arrived, the return
// addresses on the stack, innermost first, and the files that were mapped.
struct CrashReport {
    int signal = 0;
    QDateTime time;
    QList<quint64> frames;
    QList<LoadedModule> modules;

    // The modules holding at least one of the frames, in the order they were mapped.
    QList<LoadedModule> modulesOfFrames() const;

    // "SIGSEGV" and the like; "signal <n>" for one without a name of ours.
    QString signalName() const;

    // Reads the marker's text; absent when it names no signal (for example a marker cut short
    // before its first line was written).
    static std::optional<CrashReport> parse(const QByteArray &marker);
};

} // namespace hourloom
