#pragma once

#include <QByteArray>
#include <QString>

#include <stdexcept>
#include <type_traits>

struct sqlite3;
struct sqlite3_stmt;

namespace hourloom {

// A failed SQLite call: its message and its primary result code (SQLITE_CORRUPT, SQLITE_FULL, ...).
class SqliteError : public std::runtime_error {
public:
    SqliteError(const char *message, int code)
        : std::runtime_error(message)
        , code(code)
    {
    }
    const int code;
};

// One prepared statement on a SQLite connection, finalized when it goes out of
// scope. Texts are bound and read as UTF-8; every failure throws SqliteError.
class SqliteStatement {
public:
    SqliteStatement(sqlite3 *db, const char *sql);
    ~SqliteStatement();
    SqliteStatement(const SqliteStatement &) = delete;
    SqliteStatement &operator=(const SqliteStatement &) = delete;

    // Runs a statement that answers no rows worth reading (schema, BEGIN, COMMIT).
    static void execute(sqlite3 *db, const char *sql);

    // Ends the open transaction, if any, keeping the error that led here.
    static void rollback(sqlite3 *db) noexcept;

    // Runs work between BEGIN and COMMIT, rolling back when it throws.
    template<typename Work>
    static auto inTransaction(sqlite3 *db, Work work)
    {
        execute(db, "BEGIN");
        try {
            if constexpr (std::is_void_v<decltype(work())>) {
                work();
                execute(db, "COMMIT");
            } else {
                auto result = work();
                execute(db, "COMMIT");
                return result;
            }
        } catch (...) {
            rollback(db);
            throw;
        }
    }

    SqliteStatement &bind(int index, const QString &text);
    SqliteStatement &bind(int index, const QByteArray &blob);
    SqliteStatement &bind(int index, qint64 number);

    // True while there is a row to read.
    bool step();
    // Makes the statement ready to run again with new values.
    SqliteStatement &reset();

    qint64 integer(int column);
    bool isNull(int column);
    QString text(int column);
    QByteArray blob(int column);

private:
    sqlite3_stmt *statement_ = nullptr;
};

} // namespace hourloom
