#include "PageSessionStore.h"

#include "AccountStore.h"
#include "RandomToken.h"
#include "platform/services/sqlite/SqliteStatement.h"

#include <ctime>

namespace hourloom::devserver {

PageSessionStore::PageSessionStore(AccountStore &accounts, Clock clock)
    : accounts_(accounts)
    , clock_(std::move(clock))
{
    const auto connection = accounts_.connection();
    SqliteStatement::execute(connection.db, "CREATE TABLE IF NOT EXISTS page_sessions (cookie_hash BLOB PRIMARY KEY,"
                                            " user_id INTEGER NOT NULL REFERENCES users(id), form_token TEXT NOT NULL,"
                                            " expires_at INTEGER NOT NULL)");
}

PageSessionStore::Opened PageSessionStore::open(qint64 userId)
{
    const Opened opened{randomToken(), randomToken()};
    const auto connection = accounts_.connection();
    const qint64 now = clock_();
    SqliteStatement(connection.db, "DELETE FROM page_sessions WHERE expires_at <= ?1").bind(1, now).step();
    SqliteStatement(connection.db, "INSERT INTO page_sessions (cookie_hash, user_id, form_token, expires_at) VALUES (?1, ?2, ?3, ?4)")
        .bind(1, tokenHash(opened.cookieValue))
        .bind(2, userId)
        .bind(3, opened.formToken)
        .bind(4, now + lifetimeSeconds)
        .step();
    return opened;
}

std::optional<PageSessionStore::SignedIn> PageSessionStore::find(const QString &cookieValue)
{
    const auto connection = accounts_.connection();
    const QByteArray hash = tokenHash(cookieValue);
    const qint64 now = clock_();
    SqliteStatement row(connection.db, "SELECT user_id, form_token FROM page_sessions WHERE cookie_hash = ?1 AND expires_at > ?2");
    row.bind(1, hash).bind(2, now);
    if (!row.step())
        return std::nullopt;
    SqliteStatement(connection.db, "UPDATE page_sessions SET expires_at = ?1 WHERE cookie_hash = ?2").bind(1, now + lifetimeSeconds).bind(2, hash).step();
    return SignedIn{row.integer(0), row.text(1)};
}

qint64 PageSessionStore::unixSeconds()
{
    return std::time(nullptr);
}

void PageSessionStore::close(const QString &cookieValue)
{
    const auto connection = accounts_.connection();
    SqliteStatement(connection.db, "DELETE FROM page_sessions WHERE cookie_hash = ?1").bind(1, tokenHash(cookieValue)).step();
}

} // namespace hourloom::devserver
