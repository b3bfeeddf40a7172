#pragma once

#include <QtGlobal>

#include <optional>

namespace hourloom {

// A process as its pid and its start time, so that a reused pid is not taken for the writer.
struct ProcessIdentity {
    qint64 pid = 0;
    quint64 startTime = 0; // clock ticks after boot, as /proc/<pid>/stat says

    static ProcessIdentity current();
    static std::optional<quint64> startTimeOf(qint64 pid);
    bool isRunning() const;
};

} // namespace hourloom
