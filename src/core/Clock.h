#pragma once

#include <QDateTime>

#include <functional>

namespace hourloom {

// "Now" for everything that stamps or measures time. Tests install a source they control so
// that durations can be checked without sleeping.
class Clock {
public:
    using Source = std::function<QDateTime()>;
    // Seconds on a clock that only runs forward and stands still while the machine is
    // suspended; only differences between two readings mean anything.
    using MonotonicSource = std::function<double()>;

    static QDateTime now();
    // The clock timers and the desktop's idle counter run on. Where it and now() drift apart
    // by more than the time between two readings, the machine slept or the wall clock was set.
    static double monotonic();

    // Replaces the sources until the returned guard's lifetime ends. Without a monotonic
    // source of its own, the monotonic reading follows the replaced wall clock. Install it
    // before any other thread reads the clock.
    class Override {
    public:
        explicit Override(Source source, MonotonicSource monotonic = {});
        ~Override();
        Override(const Override &) = delete;
        Override &operator=(const Override &) = delete;

    private:
        Source previous_;
        MonotonicSource previousMonotonic_;
    };
};

} // namespace hourloom
