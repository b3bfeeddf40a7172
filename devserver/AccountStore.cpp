#include "AccountStore.h"

#include "RandomToken.h"
#include "platform/services/sqlite/SqliteStatement.h"

#include <QFile>
#include <QFileInfo>

#include <sqlite3.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <stdexcept>

namespace hourloom::devserver {
namespace {

// The file holds password hashes and every user's sessions: only the service's user may read
// it. It is opened without following a link and kept only when it belongs to that user (root
// could change another user's file to 0600 and still share it with them); so is each companion
// SQLite keeps beside it, which gets the file's mode only when SQLite makes it.
[[noreturn]] void refuse(const QString &companion, const QString &why)
{
    throw std::runtime_error(QStringLiteral("%1%2: the service keeps its users' password hashes only in files of its own")
                                 .arg(companion.isEmpty() ? QString() : companion + u' ', why)
                                 .toStdString());
}

// Makes the file (or its companion, "-wal" for example) private when it is this user's; the
// file itself is made when missing.
void claim(const QString &path, const QString &companion = {})
{
    const QString file = path + companion;
    const QString name = companion.isEmpty() ? QString() : QFileInfo(file).fileName();
    const int fd = ::open(QFile::encodeName(file).constData(), O_RDWR | O_NOFOLLOW | O_CLOEXEC | (companion.isEmpty() ? O_CREAT : 0), 0600);
    if (fd < 0) {
        if (errno == ENOENT && !companion.isEmpty())
            return;
        refuse(name, errno == ELOOP ? QStringLiteral("is a symbolic link")
                                    : QStringLiteral("cannot be opened (%1)").arg(QString::fromLocal8Bit(std::strerror(errno))));
    }
    struct stat info {};
    const bool read = ::fstat(fd, &info) == 0;
    const bool chmodded = read && S_ISREG(info.st_mode) && info.st_uid == ::geteuid() && ::fchmod(fd, 0600) == 0;
    ::close(fd);
    if (read && info.st_uid != ::geteuid())
        refuse(name, QStringLiteral("belongs to another user (uid %1)").arg(info.st_uid));
    if (!chmodded)
        refuse(name, QStringLiteral("cannot be made private to this user"));
}

void claimWithCompanions(const QString &path)
{
    claim(path);
    for (const char *companion : {"-wal", "-shm", "-journal"})
        claim(path, QLatin1String(companion));
}

qint64 unixNow()
{
    return std::time(nullptr);
}

} // namespace

AccountStore::AccountStore(const QString &path, qint64 tokenLifetime, PasswordHasher::Cost passwordCost)
    : tokenLifetime_(tokenLifetime)
    , hasher_(passwordCost)
{
    claimWithCompanions(path);
    if (sqlite3_open_v2(path.toUtf8().constData(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX, nullptr) != SQLITE_OK) {
        const std::string message = db_ ? sqlite3_errmsg(db_) : "out of memory";
        sqlite3_close(db_);
        throw std::runtime_error(message);
    }
    try {
        SqliteStatement::execute(db_, "PRAGMA journal_mode=WAL");
        // The companions exist now: none may have been slipped in since the first look.
        claimWithCompanions(path);
    } catch (...) {
        sqlite3_close(db_);
        throw;
    }
    // A development service: a commit need not wait for the disk (WAL keeps the file consistent).
    SqliteStatement::execute(db_, "PRAGMA synchronous=NORMAL");
    // salt and password_hash hold a StoredPassword: empty and the argon2id text, or an old row's
    // salt and SHA-256.
    SqliteStatement::execute(db_, "CREATE TABLE IF NOT EXISTS users (id INTEGER PRIMARY KEY, email TEXT NOT NULL UNIQUE,"
                                  " salt BLOB NOT NULL, password_hash BLOB NOT NULL)");
    SqliteStatement::execute(db_, "CREATE TABLE IF NOT EXISTS clients (uid TEXT PRIMARY KEY, secret TEXT NOT NULL)");
    // Files of earlier versions kept the tokens themselves; those are dropped (their users log in again).
    SqliteStatement::execute(db_, "DROP TABLE IF EXISTS tokens");
    SqliteStatement::execute(db_, "CREATE TABLE IF NOT EXISTS token_hashes (id INTEGER PRIMARY KEY, user_id INTEGER NOT NULL REFERENCES users(id),"
                                  " client_uid TEXT NOT NULL, access_token_hash BLOB NOT NULL UNIQUE, refresh_token_hash BLOB NOT NULL UNIQUE,"
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
    const StoredPassword stored = hasher_.hash(password);
    const std::lock_guard lock(mutex_);
    SqliteStatement(db_, "INSERT INTO users (email, salt, password_hash) VALUES (?1, ?2, ?3)"
                         " ON CONFLICT(email) DO UPDATE SET salt = excluded.salt, password_hash = excluded.password_hash")
        .bind(1, email.toLower())
        .bind(2, stored.salt)
        .bind(3, stored.hash)
        .step();
}

std::optional<qint64> AccountStore::createUser(const QString &email, const QString &password)
{
    const StoredPassword stored = hasher_.hash(password);
    const std::lock_guard lock(mutex_);
    SqliteStatement insert(db_, "INSERT INTO users (email, salt, password_hash) VALUES (?1, ?2, ?3) ON CONFLICT(email) DO NOTHING");
    insert.bind(1, email.toLower()).bind(2, stored.salt).bind(3, stored.hash).step();
    if (sqlite3_changes(db_) == 0)
        return std::nullopt;
    return sqlite3_last_insert_rowid(db_);
}

std::optional<qint64> AccountStore::authenticate(const QString &email, const QString &password)
{
    std::optional<qint64> userId;
    StoredPassword stored;
    {
        const std::lock_guard lock(mutex_);
        SqliteStatement user(db_, "SELECT id, salt, password_hash FROM users WHERE email = ?1");
        user.bind(1, email.toLower());
        if (user.step()) {
            userId = user.integer(0);
            stored = {user.blob(1), user.blob(2)};
        }
    }
    if (!userId) {
        hasher_.verifyNothing(password);
        return std::nullopt;
    }
    if (!hasher_.verify(stored, password))
        return std::nullopt;
    if (hasher_.needsRehash(stored)) {
        const StoredPassword rehashed = hasher_.hash(password);
        const std::lock_guard lock(mutex_);
        // Unless the password changed meanwhile.
        SqliteStatement(db_, "UPDATE users SET salt = ?1, password_hash = ?2 WHERE id = ?3 AND password_hash = ?4")
            .bind(1, rehashed.salt)
            .bind(2, rehashed.hash)
            .bind(3, *userId)
            .bind(4, stored.hash)
            .step();
    }
    return userId;
}

std::optional<QString> AccountStore::email(qint64 userId)
{
    const std::lock_guard lock(mutex_);
    SqliteStatement user(db_, "SELECT email FROM users WHERE id = ?1");
    user.bind(1, userId);
    if (!user.step())
        return std::nullopt;
    return user.text(0);
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
    SqliteStatement(db_, "INSERT INTO token_hashes (user_id, client_uid, access_token_hash, refresh_token_hash, created_at, expires_in)"
                         " VALUES (?1, ?2, ?3, ?4, ?5, ?6)")
        .bind(1, userId)
        .bind(2, clientId)
        .bind(3, tokenHash(token.accessToken))
        .bind(4, tokenHash(token.refreshToken))
        .bind(5, token.createdAt)
        .bind(6, token.expiresIn)
        .step();
    return token;
}

std::optional<IssuedToken> AccountStore::grantPassword(const QString &clientId, const QString &email, const QString &password)
{
    const auto userId = authenticate(email, password);
    if (!userId)
        return std::nullopt;
    const std::lock_guard lock(mutex_);
    return issue(*userId, clientId);
}

std::optional<IssuedToken> AccountStore::grantRefresh(const QString &clientId, const QString &refreshToken)
{
    const std::lock_guard lock(mutex_);
    SqliteStatement token(db_, "SELECT id, user_id FROM token_hashes WHERE refresh_token_hash = ?1 AND client_uid = ?2 AND revoked_at IS NULL");
    token.bind(1, tokenHash(refreshToken)).bind(2, clientId);
    if (!token.step())
        return std::nullopt;
    return SqliteStatement::inTransaction(db_, [&] {
        SqliteStatement(db_, "UPDATE token_hashes SET revoked_at = ?1 WHERE id = ?2").bind(1, unixNow()).bind(2, token.integer(0)).step();
        return issue(token.integer(1), clientId);
    });
}

std::optional<qint64> AccountStore::accessTokenUser(const QString &accessToken)
{
    const std::lock_guard lock(mutex_);
    SqliteStatement token(db_, "SELECT created_at, expires_in, revoked_at, user_id FROM token_hashes WHERE access_token_hash = ?1");
    token.bind(1, tokenHash(accessToken));
    if (!token.step() || !token.isNull(2) || unixNow() >= token.integer(0) + token.integer(1))
        return std::nullopt;
    return token.integer(3);
}

} // namespace hourloom::devserver
