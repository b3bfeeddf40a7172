#include "SqliteOutbox.h"

#include "core/Log.h"
#include "platform/services/sqlite/SqliteStatement.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>

#include <sqlite3.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace hourloom {
namespace {

// Times are kept as milliseconds since the epoch: exact, and unmoved by time-zone changes.
constexpr const char *schema[] = {
    "CREATE TABLE IF NOT EXISTS app_sessions (account TEXT NOT NULL, environment TEXT NOT NULL, id TEXT NOT NULL,"
    " start_ms INTEGER NOT NULL, end_ms INTEGER NOT NULL, app_name TEXT NOT NULL, app_identifier TEXT NOT NULL,"
    " PRIMARY KEY (account, environment, id)) WITHOUT ROWID",
    "CREATE INDEX IF NOT EXISTS app_sessions_by_start ON app_sessions (account, environment, start_ms)",
    "CREATE TABLE IF NOT EXISTS web_sessions (account TEXT NOT NULL, environment TEXT NOT NULL, app_session_id TEXT NOT NULL,"
    " id TEXT NOT NULL, start_ms INTEGER NOT NULL, end_ms INTEGER NOT NULL, domain TEXT NOT NULL,"
    " PRIMARY KEY (account, environment, app_session_id, id)) WITHOUT ROWID",
};

QString text(const QUuid &id)
{
    return id.toString(QUuid::WithoutBraces);
}

QDateTime instant(qint64 milliseconds)
{
    return QDateTime::fromMSecsSinceEpoch(milliseconds).toUTC();
}

SqliteStatement &bindKey(SqliteStatement &statement, const OutboxKey &key)
{
    return statement.bind(1, key.account).bind(2, key.environment);
}

// The folder only its owner may enter, the file only its owner may read; SQLite gives the
// WAL and shared-memory files the permissions of the file.
bool prepareFile(const QString &path, QString *reason)
{
    const QString folder = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(folder) || ::chmod(QFile::encodeName(folder).constData(), 0700) != 0) {
        *reason = QStringLiteral("cannot create the folder %1: %2").arg(folder, QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0 || ::fchmod(fd, 0600) != 0) {
        *reason = QString::fromLocal8Bit(std::strerror(errno));
        if (fd >= 0)
            ::close(fd);
        return false;
    }
    ::close(fd);
    return true;
}

} // namespace

SqliteOutbox::SqliteOutbox(QString path)
    : path_(std::move(path))
{
    open();
}

SqliteOutbox::~SqliteOutbox()
{
    close();
}

QString SqliteOutbox::defaultPath()
{
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    if (!QDir::isAbsolutePath(state))
        state = QDir::homePath() + QStringLiteral("/.local/state");
    return state + QStringLiteral("/hourloom/outbox.sqlite");
}

bool SqliteOutbox::open()
{
    QString reason;
    bool broken = false;
    if (prepareFile(path_, &reason) && openFile(&reason, &broken))
        return true;
    if (broken) {
        moveAside(reason);
        if (prepareFile(path_, &reason) && openFile(&reason, &broken))
            return true;
    }
    logLine(lcOutbox, QStringLiteral("The outbox %1 cannot be used (%2): sessions not yet uploaded are kept in memory only").arg(path_, reason));
    return false;
}

bool SqliteOutbox::openFile(QString *reason, bool *broken)
{
    if (sqlite3_open_v2(QFile::encodeName(path_).constData(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr) != SQLITE_OK) {
        *reason = QString::fromUtf8(sqlite3_errmsg(db_));
        close();
        return false;
    }
    try {
        sqlite3_busy_timeout(db_, 200);
        if (SqliteStatement journal(db_, "PRAGMA journal_mode = WAL"); !journal.step() || journal.text(0) != QLatin1String("wal"))
            throw SqliteError("the file does not take write-ahead logging", SQLITE_ERROR);
        // With write-ahead logging, NORMAL keeps every commit atomic through a crash or a
        // power cut; a power cut may cost the last commits, never the file's consistency.
        SqliteStatement::execute(db_, "PRAGMA synchronous = NORMAL");
        SqliteStatement::inTransaction(db_, [this] {
            for (const char *statement : schema)
                SqliteStatement::execute(db_, statement);
        });
    } catch (const SqliteError &error) {
        *reason = QString::fromUtf8(error.what());
        *broken = isCorrupt(error.code);
        close();
        return false;
    }
    return true;
}

bool SqliteOutbox::isCorrupt(int code)
{
    return code == SQLITE_CORRUPT || code == SQLITE_NOTADB;
}

void SqliteOutbox::close()
{
    sqlite3_close(db_);
    db_ = nullptr;
}

void SqliteOutbox::moveAside(const QString &reason)
{
    close();
    const QString aside = path_ + QStringLiteral(".broken-") + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QFile::rename(path_, aside);
    for (const char *suffix : {"-wal", "-shm"})
        QFile::rename(path_ + QLatin1String(suffix), aside + QLatin1String(suffix));
    logLine(lcOutbox, QStringLiteral("The outbox %1 could not be read (%2): moved it to %3 and started an empty one").arg(path_, reason, aside));
}

void SqliteOutbox::failed(const char *operation, const SqliteError &error)
{
    if (isCorrupt(error.code)) {
        moveAside(QString::fromUtf8(error.what()));
        reportingFailures_ = true;
        open();
        return;
    }
    if (!reportingFailures_)
        return;
    reportingFailures_ = false;
    logLine(lcOutbox, QStringLiteral("Could not %1 the outbox %2 (%3): sessions not yet uploaded are kept in memory only")
                          .arg(QString::fromUtf8(operation), path_, QString::fromUtf8(error.what())));
}

bool SqliteOutbox::save(const OutboxKey &key, const QList<OutboxAppSession> &sessions)
{
    if (!db_)
        return false;
    try {
        SqliteStatement::inTransaction(db_, [&] {
            SqliteStatement dropWeb(db_, "DELETE FROM web_sessions WHERE account = ?1 AND environment = ?2 AND app_session_id = ?3");
            SqliteStatement putApp(db_, "INSERT OR REPLACE INTO app_sessions (account, environment, id, start_ms, end_ms, app_name,"
                                        " app_identifier) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7)");
            SqliteStatement putWeb(db_, "INSERT OR REPLACE INTO web_sessions (account, environment, app_session_id, id, start_ms,"
                                        " end_ms, domain) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7)");
            for (const OutboxAppSession &session : sessions) {
                bindKey(dropWeb.reset(), key).bind(3, text(session.id)).step();
                bindKey(putApp.reset(), key)
                    .bind(3, text(session.id))
                    .bind(4, session.startTime.toMSecsSinceEpoch())
                    .bind(5, session.endTime.toMSecsSinceEpoch())
                    .bind(6, session.appName)
                    .bind(7, session.appIdentifier)
                    .step();
                for (const OutboxWebSession &web : session.webSessions) {
                    bindKey(putWeb.reset(), key)
                        .bind(3, text(session.id))
                        .bind(4, text(web.id))
                        .bind(5, web.startTime.toMSecsSinceEpoch())
                        .bind(6, web.endTime.toMSecsSinceEpoch())
                        .bind(7, web.domain)
                        .step();
                }
            }
        });
    } catch (const SqliteError &error) {
        failed("write to", error);
        return false;
    }
    reportingFailures_ = true;
    return true;
}

bool SqliteOutbox::remove(const OutboxKey &key, const QHash<QUuid, QDateTime> &sentEnds)
{
    if (!db_)
        return false;
    try {
        SqliteStatement::inTransaction(db_, [&] {
            SqliteStatement dropApp(db_, "DELETE FROM app_sessions WHERE account = ?1 AND environment = ?2 AND id = ?3 AND end_ms = ?4");
            SqliteStatement dropWeb(db_, "DELETE FROM web_sessions WHERE account = ?1 AND environment = ?2 AND app_session_id = ?3"
                                         " AND NOT EXISTS (SELECT 1 FROM app_sessions WHERE account = ?1 AND environment = ?2 AND id = ?3)");
            for (auto sent = sentEnds.cbegin(); sent != sentEnds.cend(); ++sent) {
                bindKey(dropApp.reset(), key).bind(3, text(sent.key())).bind(4, sent.value().toMSecsSinceEpoch()).step();
                bindKey(dropWeb.reset(), key).bind(3, text(sent.key())).step();
            }
        });
    } catch (const SqliteError &error) {
        failed("remove uploaded sessions from", error);
        return false;
    }
    return true;
}

QList<OutboxAppSession> SqliteOutbox::waiting(const OutboxKey &key)
{
    QList<OutboxAppSession> sessions;
    if (!db_)
        return sessions;
    try {
        QHash<QString, QList<OutboxWebSession>> webSessions;
        SqliteStatement webRows(db_, "SELECT app_session_id, id, start_ms, end_ms, domain FROM web_sessions"
                                     " WHERE account = ?1 AND environment = ?2 ORDER BY start_ms, id");
        bindKey(webRows, key);
        while (webRows.step())
            webSessions[webRows.text(0)].append({QUuid(webRows.text(1)), instant(webRows.integer(2)), instant(webRows.integer(3)), webRows.text(4)});
        SqliteStatement appRows(db_, "SELECT id, start_ms, end_ms, app_name, app_identifier FROM app_sessions"
                                     " WHERE account = ?1 AND environment = ?2 ORDER BY start_ms, id");
        bindKey(appRows, key);
        while (appRows.step()) {
            const QString id = appRows.text(0);
            sessions.append({QUuid(id), instant(appRows.integer(1)), instant(appRows.integer(2)), appRows.text(3), appRows.text(4),
                             webSessions.take(id)});
        }
    } catch (const SqliteError &error) {
        failed("read", error);
        return {};
    }
    return sessions;
}

OutboxProtocol::Trimmed SqliteOutbox::trim(const OutboxKey &key, qsizetype maxCount, const QDateTime &oldestKept)
{
    Trimmed trimmed;
    if (!db_)
        return trimmed;
    try {
        SqliteStatement::inTransaction(db_, [&] {
            SqliteStatement old(db_, "DELETE FROM app_sessions WHERE account = ?1 AND environment = ?2 AND start_ms < ?3");
            bindKey(old, key).bind(3, oldestKept.toMSecsSinceEpoch()).step();
            trimmed.tooOld = sqlite3_changes(db_);
            SqliteStatement excess(db_, "DELETE FROM app_sessions WHERE account = ?1 AND environment = ?2 AND id IN"
                                        " (SELECT id FROM app_sessions WHERE account = ?1 AND environment = ?2"
                                        " ORDER BY start_ms, id LIMIT max(0, (SELECT count(*) FROM app_sessions"
                                        " WHERE account = ?1 AND environment = ?2) - ?3))");
            bindKey(excess, key).bind(3, qint64(maxCount)).step();
            trimmed.overLimit = sqlite3_changes(db_);
            if (trimmed.tooOld + trimmed.overLimit == 0)
                return;
            SqliteStatement orphans(db_, "DELETE FROM web_sessions WHERE account = ?1 AND environment = ?2 AND app_session_id NOT IN"
                                         " (SELECT id FROM app_sessions WHERE account = ?1 AND environment = ?2)");
            bindKey(orphans, key).step();
        });
    } catch (const SqliteError &error) {
        failed("trim", error);
        return {};
    }
    return trimmed;
}

} // namespace hourloom
