#pragma once

#include <QString>

#include <functional>
#include <optional>

namespace hourloom::devserver {

class AccountStore;

// Who is signed in to the account pages: one row per browser sign-in, found by the cookie's
// value. Only a hash of that value is stored, so the file alone signs nobody in. Each session
// has its own token that the pages' forms must carry back. Browsers let every server on this
// machine read the cookie, whatever its port, so a session lasts a working day from its last
// use; each use renews it.
class PageSessionStore {
public:
    static constexpr qint64 lifetimeSeconds = 10 * 3600;
    // Unix seconds.
    using Clock = std::function<qint64()>;

    struct Opened {
        QString cookieValue;
        QString formToken;
    };
    struct SignedIn {
        qint64 userId = 0;
        QString formToken;
    };

    // Creates the table; throws std::runtime_error when it cannot.
    explicit PageSessionStore(AccountStore &accounts, Clock clock = unixSeconds);

    Opened open(qint64 userId);
    // None for an unknown, closed or expired session; a session found lasts lifetimeSeconds
    // from now.
    std::optional<SignedIn> find(const QString &cookieValue);
    void close(const QString &cookieValue);

    static qint64 unixSeconds();

private:
    AccountStore &accounts_;
    Clock clock_;
};

} // namespace hourloom::devserver
