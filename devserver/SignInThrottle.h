#pragma once

#include <QHash>
#include <QString>

#include <functional>
#include <mutex>
#include <optional>

namespace hourloom::devserver {

// Slows down password guessing, for the token endpoint, the sign-in page and sign-up alike.
// Every attempt counts twice: against the address it comes from and against the account it
// names (the e-mail compared as the accounts compare it), since any local process may send from
// any address of 127/8. The first few failures of each are free; after them each attempt must
// wait, twice as long after every further failure (1 s, 2 s, 4 s, ... up to a minute), and an
// attempt that comes too early for its address or its account is refused without looking at
// the password. A success forgets its account's failures, not its address's: signing in to
// one's own account must not wipe out guesses at another. A quarter of an hour without
// attempts forgets either.
class SignInThrottle {
public:
    static constexpr int freeFailures = 5;
    static constexpr qint64 longestWaitMs = 60'000;
    static constexpr qint64 forgetAfterMs = 15 * 60'000;

    // Milliseconds on a clock that never goes back.
    using Clock = std::function<qint64()>;
    explicit SignInThrottle(Clock clock = steadyMilliseconds);

    // None when the attempt may go ahead, which counts as a failure until succeeded() says
    // otherwise (so that attempts sent in parallel cannot slip past); else the whole seconds
    // it must still wait.
    std::optional<qint64> admit(const QString &address, const QString &email);
    void succeeded(const QString &address, const QString &email);

    static qint64 steadyMilliseconds();

private:
    struct Attempts {
        int failures = 0;
        qint64 last = 0;
        qint64 notBefore() const;
    };

    void forgetQuietOnes(qint64 now);

    Clock clock_;
    std::mutex mutex_;
    QHash<QString, Attempts> addresses_;
    QHash<QString, Attempts> accounts_;
};

} // namespace hourloom::devserver
