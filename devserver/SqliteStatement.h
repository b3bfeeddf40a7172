#pragma once

#include <QByteArray>
#include <QString>

#include <type_traits>

struct sqlite3;
struct sqlite3_stmt;

namespace hourloom::devserver {

// One prepared statement on the service's SQLite connection, finalized when it goes out of
// scope. Texts are bound and read as UTF-8; every failure throws std::runtime_error.
class SqliteStatement {
public:
    SqliteStatement(sqlite3 *db, const char *sql);
    ~SqliteStatement();
    SqliteStatement(const SqliteStatement &) = delete;
    SqliteStatement &operator=(const SqliteStatement &) = delete;

    // Runs a statement that answers no rows worth reading (schema, BEGIN, COMMIT).
    static void execute(sqlite3 *db, const char *sql);

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
            execute(db, "ROLLBACK");
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

} // namespace hourloom::devserver
