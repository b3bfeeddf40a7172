#pragma once

#include "DevServerOptions.h"
#include "PasswordHasher.h"

#include <QByteArray>
#include <QString>

#include <mutex>
#include <optional>

struct sqlite3;

namespace hourloom::devserver {

struct IssuedToken {
    QString accessToken;
    QString refreshToken;
    qint64 createdAt = 0;
    qint64 expiresIn = 0;
};

// Users, API clients and issued tokens in one SQLite file, readable by its owner only. Tokens
// are kept as hashes and looked up by them. The HTTP server answers on several
// threads; one connection behind a mutex keeps every operation, including the check-and-revoke
// of a refresh, atomic.
class AccountStore {
public:
    // Throws std::runtime_error when the file cannot be opened or prepared.
    AccountStore(const QString &path, qint64 tokenLifetime, PasswordHasher::Cost passwordCost = PasswordHasher::Cost::Interactive);
    ~AccountStore();
    AccountStore(const AccountStore &) = delete;
    AccountStore &operator=(const AccountStore &) = delete;

    // Adds or updates the user (e-mail compared case-insensitively) and the client.
    void seedUser(const QString &email, const QString &password);
    void seedClient(const QString &clientId, const QString &clientSecret);

    // A new user, or none when the e-mail already has an account.
    std::optional<qint64> createUser(const QString &email, const QString &password);

    // The user, or none when the e-mail or the password is wrong. A password stored the old
    // way, or at another cost, is hashed again as it is now stored.
    std::optional<qint64> authenticate(const QString &email, const QString &password);

    // The user's e-mail, or none for an unknown user.
    std::optional<QString> email(qint64 userId);

    bool isClient(const QString &clientId, const QString &clientSecret);

    // A new token pair for the user, or none when the e-mail or the password is wrong.
    std::optional<IssuedToken> grantPassword(const QString &clientId, const QString &email, const QString &password);
    // Revokes the refresh token and issues a new pair for the same user, or none when the
    // refresh token is unknown, revoked, or belongs to another client.
    std::optional<IssuedToken> grantRefresh(const QString &clientId, const QString &refreshToken);

    // The user of the access token, or none when it is unknown, revoked or expired.
    std::optional<qint64> accessTokenUser(const QString &accessToken);

    // The connection, held exclusively for as long as the lock lives, for stores that keep
    // their own tables in the same file.
    struct Connection {
        std::unique_lock<std::mutex> lock;
        sqlite3 *db;
    };
    Connection connection();

private:
    IssuedToken issue(qint64 userId, const QString &clientId);

    std::mutex mutex_;
    sqlite3 *db_ = nullptr;
    qint64 tokenLifetime_;
    // Hashing takes a tenth of a second on purpose: it runs outside the mutex.
    PasswordHasher hasher_;
};

} // namespace hourloom::devserver
