#pragma once

#include <QString>

#include <optional>

namespace hourloom::devserver {

class AccountStore;

// Who is signed in to the account pages: one row per browser sign-in, found by the cookie's
// value. Only a hash of that value is stored, so the file alone signs nobody in. Each session
// has its own token that the pages' forms must carry back.
class PageSessionStore {
public:
    static constexpr qint64 lifetimeSeconds = 14 * 24 * 3600;

    struct Opened {
        QString cookieValue;
        QString formToken;
    };
    struct SignedIn {
        qint64 userId = 0;
        QString formToken;
    };

    // Creates the table; throws std::runtime_error when it cannot.
    explicit PageSessionStore(AccountStore &accounts);

    Opened open(qint64 userId);
    // None for an unknown, closed or expired session.
    std::optional<SignedIn> find(const QString &cookieValue);
    void close(const QString &cookieValue);

private:
    AccountStore &accounts_;
};

} // namespace hourloom::devserver
