#pragma once

#include <QByteArray>

#include <ctime>
#include <optional>

namespace hourloom::test {

// Makes the process's local time zone the given TZ value for the guard's lifetime.
class ScopedTimeZone {
public:
    explicit ScopedTimeZone(const char *zone)
    {
        qputenv("TZ", zone);
        tzset();
    }
    ~ScopedTimeZone()
    {
        if (previous_)
            qputenv("TZ", *previous_);
        else
            qunsetenv("TZ");
        tzset();
    }
    ScopedTimeZone(const ScopedTimeZone &) = delete;
    ScopedTimeZone &operator=(const ScopedTimeZone &) = delete;

private:
    const std::optional<QByteArray> previous_ = qEnvironmentVariableIsSet("TZ") ? std::optional(qgetenv("TZ")) : std::nullopt;
};

} // namespace hourloom::test
