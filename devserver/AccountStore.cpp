#include "AccountStore.h"

#include "platform/store/SqliteStatement.h"

#include <QCryptographicHash>
#include <QRandomGenerator>

#include <sqlite3.h>

#include <ctime>
#include <stdexcept>

namespace hourloom::devserver {
namespace {

QByteArray passwordHash(const QByteArray &salt, const QString &password)
{
    return QCryptographicHash::hash(salt + password.toUtf8(), QCryptographicHash::Sha256);
}

QByteArray randomBytes(int count)
{
    QByteArray bytes(count, Qt::Uninitialized);
    QRandomGenerator::system()->fillRange(reinterpret_cast<quint32 *>(bytes.data()), count / 4);
    return bytes;
}

QString randomToken()
{
    return QString::fromLatin1(randomBytes(32).toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals));
}

qint64 unixNow()
{
    return std::time(nullptr);
}

} // namespace

AccountStore::AccountStore(const QString &path, qint64 tokenLifetime)
    : tokenLifetime_(tokenLifetime)
{
    if (sqlite3_open_v2(path.toUtf8().constData(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX, nullptr) != SQLITE_OK) {
        const std::string message = db_ ? sqlite3_errmsg(db_) : "out of memory";
        sqlite3_close(db_);
        throw std::runtime_error(message);
    }
    SqliteStatement::execute(db_, "PRAGMA journal_mode=WAL");
    // A development service: a commit need not wait for the disk (WAL keeps the file consistent).
    SqliteStatement::execute(db_, "PRAGMA synchronous=NORMAL");
    SqliteStatement::execute(db_, "CREATE TABLE IF NOT EXISTS users (id INTEGER PRIMARY KEY, email TEXT NOT NULL UNIQUE,"
                                  " salt BLOB NOT NULL, password_hash BLOB NOT NULL)");
    SqliteStatement::execute(db_, "CREATE TABLE IF NOT EXISTS clients (uid TEXT PRIMARY KEY, secret TEXT NOT NULL)");
    SqliteStatement::execute(db_, "CREATE TABLE IF NOT EXISTS tokens (id INTEGER PRIMARY KEY, user_id INTEGER NOT NULL REFERENCES users(id),"
                                  " client_uid TEXT NOT NULL, access_token TEXT NOT NULL UNIQUE, refresh_token TEXT NOT NULL UNIQUE,"
                                  " created_at INTEGER NOT NULL, expires_in INTEGER NOT NULL, revoked_at INTEGER)");
}

AccountStore::~AccountStore()
{
    sqlite3_close(db_);
}

AccountStore::Connection AccountStore::connection()
{
    return {std::unique_lock(mutex_), db_};
}

void AccountStore::seedUser(const QString &email, const QString &password)
{
    const std::lock_guard lock(mutex_);
    const QByteArray salt = randomBytes(16);
    SqliteStatement(db_, "INSERT INTO users (email, salt, password_hash) VALUES (?1, ?2, ?3)"
                         " ON CONFLICT(email) DO UPDATE SET salt = excluded.salt, password_hash = excluded.password_hash")
        .bind(1, email.toLower())
        .bind(2, salt)
        .bind(3, passwordHash(salt, password))
        .step();
}

void AccountStore::seedClient(const QString &clientId, const QString &clientSecret)
{
    const std::lock_guard lock(mutex_);
    SqliteStatement(db_, "INSERT INTO clients (uid, secret) VALUES (?1, ?2) ON CONFLICT(uid) DO UPDATE SET secret = excluded.secret")
        .bind(1, clientId)
        .bind(2, clientSecret)
        .step();
}

bool AccountStore::isClient(const QString &clientId, const QString &clientSecret)
{
    const std::lock_guard lock(mutex_);
    SqliteStatement statement(db_, "SELECT secret FROM clients WHERE uid = ?1");
    statement.bind(1, clientId);
    return statement.step() && statement.text(0) == clientSecret;
}

IssuedToken AccountStore::issue(qint64 userId, const QString &clientId)
{
    IssuedToken token{randomToken(), randomToken(), unixNow(), tokenLifetime_};
    SqliteStatement(db_, "INSERT INTO tokens (user_id, client_uid, access_token, refresh_token, created_at, expires_in)"
                         " VALUES (?1, ?2, ?3, ?4, ?5, ?6)")
        .bind(1, userId)
        .bind(2, clientId)
        .bind(3, token.accessToken)
        .bind(4, token.refreshToken)
        .bind(5, token.createdAt)
        .bind(6, token.expiresIn)
        .step();
    return token;
}

std::optional<IssuedToken> AccountStore::grantPassword(const QString &clientId, const QString &email, const QString &password)
{
    const std::lock_guard lock(mutex_);
    SqliteStatement user(db_, "SELECT id, salt, password_hash FROM users WHERE email = ?1");
    user.bind(1, email.toLower());
    if (!user.step() || passwordHash(user.blob(1), password) != user.blob(2))
        return std::nullopt;
    return issue(user.integer(0), clientId);
}

std::optional<IssuedToken> AccountStore::grantRefresh(const QString &clientId, const QString &refreshToken)
{
    const std::lock_guard lock(mutex_);
    SqliteStatement token(db_, "SELECT id, user_id FROM tokens WHERE refresh_token = ?1 AND client_uid = ?2 AND revoked_at IS NULL");
    token.bind(1, refreshToken).bind(2, clientId);
    if (!token.step())
        return std::nullopt;
    return SqliteStatement::inTransaction(db_, [&] {
        SqliteStatement(db_, "UPDATE tokens SET revoked_at = ?1 WHERE id = ?2").bind(1, unixNow()).bind(2, token.integer(0)).step();
        return issue(token.integer(1), clientId);
    });
}

std::optional<qint64> AccountStore::accessTokenUser(const QString &accessToken)
{
    const std::lock_guard lock(mutex_);
    SqliteStatement token(db_, "SELECT created_at, expires_in, revoked_at, user_id FROM tokens WHERE access_token = ?1");
    token.bind(1, accessToken);
    if (!token.step() || !token.isNull(2) || unixNow() >= token.integer(0) + token.integer(1))
        return std::nullopt;
    return token.integer(3);
}

} // namespace hourloom::devserver
