#pragma once

#include "core/Clock.h"

namespace hourloom::test {

// A clock that stands still until the test moves it. advance() moves the wall clock and the
// monotonic clock together, as time passes on a running machine; stepWallClock() moves the wall
// clock alone, as a suspend or a clock being set does.
class FakeClock {
public:
    explicit FakeClock(QDateTime start = QDateTime(QDate(2024, 5, 6), QTime(9, 0)))
        : now_(std::move(start))
        , override_([this] { return now_; }, [this] { return monotonic_; })
    {
    }

    QDateTime now() const { return now_; }
    void set(const QDateTime &now) { now_ = now; }
    void advance(double seconds)
    {
        now_ = now_.addMSecs(qint64(seconds * 1000.0));
        monotonic_ += seconds;
    }
    void stepWallClock(double seconds) { now_ = now_.addMSecs(qint64(seconds * 1000.0)); }

private:
    QDateTime now_;
    double monotonic_ = 1000;
    Clock::Override override_;
};

} // namespace hourloom::test
