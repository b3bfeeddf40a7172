#include "SignInThrottle.h"

#include <algorithm>
#include <chrono>

namespace hourloom::devserver {
namespace {

// As the accounts are looked up.
QString accountKey(const QString &email)
{
    return email.toLower();
}

} // namespace

SignInThrottle::SignInThrottle(Clock clock)
    : clock_(std::move(clock))
{
}

qint64 SignInThrottle::steadyMilliseconds()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

qint64 SignInThrottle::Attempts::notBefore() const
{
    if (failures < freeFailures)
        return 0;
    const int doublings = std::min(failures - freeFailures, 16);
    return last + std::min(longestWaitMs, qint64(1000) << doublings);
}

std::optional<qint64> SignInThrottle::admit(const QString &address, const QString &email)
{
    const std::lock_guard lock(mutex_);
    const qint64 now = clock_();
    forgetQuietOnes(now);
    Attempts &fromAddress = addresses_[address];
    Attempts &atAccount = accounts_[accountKey(email)];
    const qint64 notBefore = std::max(fromAddress.notBefore(), atAccount.notBefore());
    if (now < notBefore)
        return (notBefore - now + 999) / 1000;
    for (Attempts *attempts : {&fromAddress, &atAccount}) {
        ++attempts->failures;
        attempts->last = now;
    }
    return std::nullopt;
}

void SignInThrottle::succeeded(const QString &address, const QString &email)
{
    const std::lock_guard lock(mutex_);
    accounts_.remove(accountKey(email));
    const auto found = addresses_.find(address);
    if (found != addresses_.end() && --found->failures <= 0)
        addresses_.erase(found);
}

void SignInThrottle::forgetQuietOnes(qint64 now)
{
    const auto quiet = [now](const auto &entry) { return now - std::max(entry.value().last, entry.value().notBefore()) > forgetAfterMs; };
    addresses_.removeIf(quiet);
    accounts_.removeIf(quiet);
}

} // namespace hourloom::devserver
