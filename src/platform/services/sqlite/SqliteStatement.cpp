#include "SqliteStatement.h"

#include <sqlite3.h>

#include <stdexcept>

namespace hourloom {

SqliteStatement::SqliteStatement(sqlite3 *db, const char *sql)
{
    if (const int status = sqlite3_prepare_v2(db, sql, -1, &statement_, nullptr); status != SQLITE_OK)
        throw SqliteError(sqlite3_errmsg(db), status & 0xff);
}

SqliteStatement::~SqliteStatement()
{
    sqlite3_finalize(statement_);
}

void SqliteStatement::execute(sqlite3 *db, const char *sql)
{
    SqliteStatement statement(db, sql);
    while (statement.step()) {
    }
}

void SqliteStatement::rollback(sqlite3 *db) noexcept
{
    if (!sqlite3_get_autocommit(db))
        sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
}

SqliteStatement &SqliteStatement::bind(int index, const QString &text)
{
    const QByteArray utf8 = text.toUtf8();
    sqlite3_bind_text(statement_, index, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
    return *this;
}

SqliteStatement &SqliteStatement::bind(int index, const QByteArray &blob)
{
    sqlite3_bind_blob(statement_, index, blob.constData(), int(blob.size()), SQLITE_TRANSIENT);
    return *this;
}

SqliteStatement &SqliteStatement::bind(int index, qint64 number)
{
    sqlite3_bind_int64(statement_, index, number);
    return *this;
}

bool SqliteStatement::step()
{
    const int status = sqlite3_step(statement_);
    if (status != SQLITE_ROW && status != SQLITE_DONE)
        throw SqliteError(sqlite3_errmsg(sqlite3_db_handle(statement_)), status & 0xff);
    return status == SQLITE_ROW;
}

qint64 SqliteStatement::integer(int column)
{
    return sqlite3_column_int64(statement_, column);
}

bool SqliteStatement::isNull(int column)
{
    return sqlite3_column_type(statement_, column) == SQLITE_NULL;
}

QString SqliteStatement::text(int column)
{
    return QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(statement_, column)),
                             sqlite3_column_bytes(statement_, column));
}

QByteArray SqliteStatement::blob(int column)
{
    return QByteArray(static_cast<const char *>(sqlite3_column_blob(statement_, column)),
                      sqlite3_column_bytes(statement_, column));
}

SqliteStatement &SqliteStatement::reset()
{
    sqlite3_reset(statement_);
    sqlite3_clear_bindings(statement_);
    return *this;
}

} // namespace hourloom
