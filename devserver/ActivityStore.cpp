#include "ActivityStore.h"

#include "AccountStore.h"
#include "platform/services/sqlite/SqliteStatement.h"

#include <QJsonArray>
#include <QSet>

namespace hourloom::devserver {
namespace {

QJsonArray webSessionsOf(sqlite3 *db, qint64 userId, const QString &appSessionId)
{
    SqliteStatement rows(db, "SELECT id, start_time, end_time, domain FROM web_sessions"
                             " WHERE user_id = ?1 AND app_session_id = ?2 ORDER BY start_time, id");
    rows.bind(1, userId).bind(2, appSessionId);
    QJsonArray webSessions;
    while (rows.step())
        webSessions.append(QJsonObject{{QStringLiteral("id"), rows.text(0)}, {QStringLiteral("start_time"), rows.text(1)},
                                       {QStringLiteral("end_time"), rows.text(2)}, {QStringLiteral("domain"), rows.text(3)}});
    return webSessions;
}

QJsonArray appSessionsOf(sqlite3 *db, qint64 userId)
{
    SqliteStatement rows(db, "SELECT id, start_time, end_time, app_name, app_identifier, timezone_offset FROM app_sessions"
                             " WHERE user_id = ?1 ORDER BY start_time, id");
    rows.bind(1, userId);
    QJsonArray appSessions;
    while (rows.step()) {
        const QString id = rows.text(0);
        appSessions.append(QJsonObject{{QStringLiteral("id"), id}, {QStringLiteral("start_time"), rows.text(1)},
                                       {QStringLiteral("end_time"), rows.text(2)}, {QStringLiteral("app_name"), rows.text(3)},
                                       {QStringLiteral("app_identifier"), rows.text(4)}, {QStringLiteral("timezone_offset"), rows.integer(5)},
                                       {QStringLiteral("web_sessions"), webSessionsOf(db, userId, id)}});
    }
    return appSessions;
}

// Thrown inside the upload's transaction to take it back.
struct DayTooFull {
    QString fault;
};

// What is wrong with the day once the upload is in, if anything.
std::optional<QString> dayFault(sqlite3 *db, qint64 userId, const QString &day)
{
    const QString from = day + QStringLiteral(" 00:00:00");
    const QString to = day + QStringLiteral(" 23:59:59");
    SqliteStatement apps(db, "SELECT COUNT(*) FROM app_sessions WHERE user_id = ?1 AND start_time BETWEEN ?2 AND ?3");
    apps.bind(1, userId).bind(2, from).bind(3, to).step();
    SqliteStatement webs(db, "SELECT COUNT(*) FROM app_sessions JOIN web_sessions ON web_sessions.user_id = app_sessions.user_id"
                             " AND web_sessions.app_session_id = app_sessions.id WHERE app_sessions.user_id = ?1"
                             " AND app_sessions.start_time BETWEEN ?2 AND ?3");
    webs.bind(1, userId).bind(2, from).bind(3, to).step();
    for (const auto &[count, kind] : {std::pair(apps.integer(0), "app"), std::pair(webs.integer(0), "web")}) {
        if (count > ActivityStore::maxSessionsPerDay)
            return QStringLiteral("%1 would hold more than %2 %3 sessions; nothing was stored")
                .arg(day)
                .arg(ActivityStore::maxSessionsPerDay)
                .arg(QLatin1String(kind));
    }
    return std::nullopt;
}

} // namespace

ActivityStore::ActivityStore(AccountStore &accounts)
    : accounts_(accounts)
{
    const auto connection = accounts_.connection();
    SqliteStatement::execute(connection.db, "CREATE TABLE IF NOT EXISTS app_sessions (user_id INTEGER NOT NULL REFERENCES users(id),"
                                            " id TEXT NOT NULL, start_time TEXT NOT NULL, end_time TEXT NOT NULL, app_name TEXT NOT NULL,"
                                            " app_identifier TEXT NOT NULL, timezone_offset INTEGER NOT NULL, PRIMARY KEY (user_id, id))");
    SqliteStatement::execute(connection.db, "CREATE TABLE IF NOT EXISTS web_sessions (user_id INTEGER NOT NULL, id TEXT NOT NULL,"
                                            " app_session_id TEXT NOT NULL, start_time TEXT NOT NULL, end_time TEXT NOT NULL, domain TEXT NOT NULL,"
                                            " PRIMARY KEY (user_id, id), FOREIGN KEY (user_id, app_session_id) REFERENCES app_sessions (user_id, id))");
    SqliteStatement::execute(connection.db, "CREATE TABLE IF NOT EXISTS activity_uploads (user_id INTEGER PRIMARY KEY REFERENCES users(id),"
                                            " count INTEGER NOT NULL)");
    // A day's page and the day's bound look sessions up by start and web sessions by their app
    // session; the indexes hold all the page reads, so that it never visits the tables.
    SqliteStatement::execute(connection.db, "CREATE INDEX IF NOT EXISTS app_sessions_by_start ON app_sessions"
                                            " (user_id, start_time, end_time, app_name, timezone_offset, id)");
    SqliteStatement::execute(connection.db, "CREATE INDEX IF NOT EXISTS web_sessions_by_app ON web_sessions"
                                            " (user_id, app_session_id, start_time, end_time, domain)");
}

std::optional<QString> ActivityStore::store(qint64 userId, const UploadedActivities &upload)
{
    const auto connection = accounts_.connection();
    sqlite3 *db = connection.db;
    // Prepared once per upload: a body can hold thousands of sessions.
    SqliteStatement upsertApp(db, "INSERT INTO app_sessions (user_id, id, start_time, end_time, app_name, app_identifier, timezone_offset)"
                                  " VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7) ON CONFLICT (user_id, id) DO UPDATE SET start_time = excluded.start_time,"
                                  " end_time = excluded.end_time, app_name = excluded.app_name, app_identifier = excluded.app_identifier,"
                                  " timezone_offset = excluded.timezone_offset");
    SqliteStatement upsertWeb(db, "INSERT INTO web_sessions (user_id, id, app_session_id, start_time, end_time, domain)"
                                  " VALUES (?1, ?2, ?3, ?4, ?5, ?6) ON CONFLICT (user_id, id) DO UPDATE SET"
                                  " app_session_id = excluded.app_session_id, start_time = excluded.start_time,"
                                  " end_time = excluded.end_time, domain = excluded.domain");
    QSet<QString> days;
    for (const UploadedAppSession &app : upload.appSessions)
        days.insert(app.startTime.left(10));
    try {
        SqliteStatement::inTransaction(db, [&] {
            for (const UploadedAppSession &app : upload.appSessions) {
                upsertApp.reset()
                    .bind(1, userId)
                    .bind(2, app.id)
                    .bind(3, app.startTime)
                    .bind(4, app.endTime)
                    .bind(5, app.appName)
                    .bind(6, app.appIdentifier)
                    .bind(7, upload.timezoneOffset)
                    .step();
                for (const UploadedWebSession &web : app.webSessions) {
                    upsertWeb.reset()
                        .bind(1, userId)
                        .bind(2, web.id)
                        .bind(3, app.id)
                        .bind(4, web.startTime)
                        .bind(5, web.endTime)
                        .bind(6, web.domain)
                        .step();
                }
            }
            SqliteStatement(db, "INSERT INTO activity_uploads (user_id, count) VALUES (?1, 1)"
                                " ON CONFLICT (user_id) DO UPDATE SET count = count + 1")
                .bind(1, userId)
                .step();
            for (const QString &day : days) {
                if (auto fault = dayFault(db, userId, day))
                    throw DayTooFull{*fault};
            }
        });
    } catch (const DayTooFull &full) {
        return full.fault;
    }
    return std::nullopt;
}

QList<StoredAppSession> ActivityStore::appSessionsAround(qint64 userId, const QDateTime &from, const QDateTime &to)
{
    // Uploads carry offsets of at most 18 hours either way.
    constexpr qint64 widestOffset = 18 * 3600;
    const QString pattern = QStringLiteral("yyyy-MM-dd HH:mm:ss");
    const auto connection = accounts_.connection();
    // One statement for both: a heavy day has thousands of app sessions, too many for a query
    // each. An app session without web sessions comes as one row with NULL web columns; the
    // order is the covering index's own, so nothing is sorted.
    SqliteStatement rows(connection.db, "SELECT a.rowid, a.start_time, a.end_time, a.app_name, a.timezone_offset,"
                                        " w.start_time, w.end_time, w.domain FROM app_sessions a LEFT JOIN web_sessions w"
                                        " ON w.user_id = a.user_id AND w.app_session_id = a.id"
                                        " WHERE a.user_id = ?1 AND a.end_time >= ?2 AND a.start_time <= ?3"
                                        " ORDER BY a.start_time, a.end_time, a.app_name, a.timezone_offset, a.id");
    rows.bind(1, userId)
        .bind(2, from.toUTC().addSecs(-widestOffset).toString(pattern))
        .bind(3, to.toUTC().addSecs(widestOffset).toString(pattern));
    QList<StoredAppSession> result;
    qint64 lastRow = -1;
    while (rows.step()) {
        if (result.isEmpty() || rows.integer(0) != lastRow) {
            lastRow = rows.integer(0);
            result.append({{{}, rows.text(1), rows.text(2), rows.text(3), {}, {}}, rows.integer(4)});
        }
        if (!rows.isNull(5))
            result.last().session.webSessions.append({{}, rows.text(5), rows.text(6), rows.text(7)});
    }
    return result;
}

QJsonObject ActivityStore::readOut()
{
    const auto connection = accounts_.connection();
    SqliteStatement rows(connection.db, "SELECT users.id, users.email, COALESCE(activity_uploads.count, 0) FROM users"
                                        " LEFT JOIN activity_uploads ON activity_uploads.user_id = users.id ORDER BY users.email");
    QJsonArray users;
    while (rows.step())
        users.append(QJsonObject{{QStringLiteral("email"), rows.text(1)}, {QStringLiteral("uploads"), rows.integer(2)},
                                 {QStringLiteral("user_activities"), appSessionsOf(connection.db, rows.integer(0))}});
    return {{QStringLiteral("users"), users}};
}

} // namespace hourloom::devserver
