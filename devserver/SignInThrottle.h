#pragma once

#include <QHash>
#include <QString>

#include <functional>
#include <mutex>
#include <optional>

namespace hourloom::devserver {

// Slows down password guessing from one address, for the token endpoint and the sign-in page
// alike. The first few failed attempts are free; after them each attempt must wait, twice as
// long after every further failure (1 s, 2 s, 4 s, ... up to a minute), and an attempt that
// comes too early is refused without looking at the password. A successful sign-in, or a
// quarter of an hour without attempts, forgets the address.
class SignInThrottle {
public:
    static constexpr int freeFailures = 5;
    static constexpr qint64 longestWaitMs = 60'000;
    static constexpr qint64 forgetAfterMs = 15 * 60'000;

    // Milliseconds on a clock that never goes back.
    using Clock = std::function<qint64()>;
    explicit SignInThrottle(Clock clock = steadyMilliseconds);

    // None when the address may try now, which counts as a failure until succeeded() says
    // otherwise (so that attempts sent in parallel cannot slip past); else the whole seconds
    // it must still wait.
    std::optional<qint64> admit(const QString &address);
    void succeeded(const QString &address);

    static qint64 steadyMilliseconds();

private:
    struct Attempts {
        int failures = 0;
        qint64 notBefore = 0;
        qint64 last = 0;
    };

    void forgetQuietAddresses(qint64 now);

    Clock clock_;
    std::mutex mutex_;
    QHash<QString, Attempts> addresses_;
};

} // namespace hourloom::devserver
