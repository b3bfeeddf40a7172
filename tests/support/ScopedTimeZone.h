#pragma once

#include <QByteArray>

#include <ctime>

namespace hourloom::test {

// Makes the process's local time zone the given TZ value for the guard's lifetime.
class ScopedTimeZone {
public:
    explicit ScopedTimeZone(const char *zone)
        : previous_(qgetenv("TZ"))
        , hadPrevious_(qEnvironmentVariableIsSet("TZ"))
    {
        qputenv("TZ", zone);
        tzset();
    }
    ~ScopedTimeZone()
    {
        if (hadPrevious_)
            qputenv("TZ", previous_);
        else
            qunsetenv("TZ");
        tzset();
    }
    ScopedTimeZone(const ScopedTimeZone &) = delete;
    ScopedTimeZone &operator=(const ScopedTimeZone &) = delete;

private:
    QByteArray previous_;
    bool hadPrevious_;
};

} // namespace hourloom::test
