#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

#include <optional>

namespace hourloom {

// What the crash marker of an earlier run says: the fatal signal, when it arrived and the
// return addresses on the stack, innermost first.
struct CrashReport {
    int signal = 0;
    QDateTime time;
    QList<quint64> frames;

    // "SIGSEGV" and the like; "signal <n>" for one without a name of ours.
    QString signalName() const;

    // Reads the marker's text; absent when it names no signal (for example a marker cut short
    // before its first line was written).
    static std::optional<CrashReport> parse(const QByteArray &marker);
};

} // namespace hourloom
