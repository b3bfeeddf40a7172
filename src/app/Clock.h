#pragma once

#include <QDateTime>

#include <functional>

namespace hourloom {

// "Now" for everything that stamps or measures time. Tests install a source they control so
// that durations can be checked without sleeping.
class Clock {
public:
    using Source = std::function<QDateTime()>;

    static QDateTime now();

    // Replaces the source until the returned guard's lifetime ends. Install it before any other
    // thread reads the clock.
    class Override {
    public:
        explicit Override(Source source);
        ~Override();
        Override(const Override &) = delete;
        Override &operator=(const Override &) = delete;

    private:
        Source previous_;
    };
};

} // namespace hourloom
