#include "SignInThrottle.h"

#include <algorithm>
#include <chrono>

namespace hourloom::devserver {

SignInThrottle::SignInThrottle(Clock clock)
    : clock_(std::move(clock))
{
}

qint64 SignInThrottle::steadyMilliseconds()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

std::optional<qint64> SignInThrottle::admit(const QString &address)
{
    const std::lock_guard lock(mutex_);
    const qint64 now = clock_();
    forgetQuietAddresses(now);
    Attempts &attempts = addresses_[address];
    if (now < attempts.notBefore)
        return (attempts.notBefore - now + 999) / 1000;
    attempts.last = now;
    ++attempts.failures;
    if (attempts.failures >= freeFailures) {
        const int doublings = std::min(attempts.failures - freeFailures, 16);
        attempts.notBefore = now + std::min(longestWaitMs, qint64(1000) << doublings);
    }
    return std::nullopt;
}

void SignInThrottle::succeeded(const QString &address)
{
    const std::lock_guard lock(mutex_);
    addresses_.remove(address);
}

void SignInThrottle::forgetQuietAddresses(qint64 now)
{
    addresses_.removeIf([now](const auto &entry) { return now - std::max(entry.value().last, entry.value().notBefore) > forgetAfterMs; });
}

} // namespace hourloom::devserver
