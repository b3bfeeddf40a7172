#pragma once

#include "app/Clock.h"

namespace hourloom::test {

// A clock that stands still until the test moves it.
class FakeClock {
public:
    explicit FakeClock(QDateTime start = QDateTime(QDate(2024, 5, 6), QTime(9, 0)))
        : now_(std::move(start))
        , override_([this] { return now_; })
    {
    }

    QDateTime now() const { return now_; }
    void set(const QDateTime &now) { now_ = now; }
    void advance(double seconds) { now_ = now_.addMSecs(qint64(seconds * 1000.0)); }

private:
    QDateTime now_;
    Clock::Override override_;
};

} // namespace hourloom::test
