#include "ActivityStore.h"

#include "AccountStore.h"
#include "platform/services/sqlite/SqliteStatement.h"

#include <QJsonArray>

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
}

void ActivityStore::store(qint64 userId, const UploadedActivities &upload)
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
    });
}

QList<StoredAppSession> ActivityStore::appSessionsAround(qint64 userId, const QDateTime &from, const QDateTime &to)
{
    // Uploads carry offsets of at most 18 hours either way.
    constexpr qint64 widestOffset = 18 * 3600;
    const QString pattern = QStringLiteral("yyyy-MM-dd HH:mm:ss");
    const auto connection = accounts_.connection();
    SqliteStatement apps(connection.db, "SELECT id, start_time, end_time, app_name, app_identifier, timezone_offset FROM app_sessions"
                                        " WHERE user_id = ?1 AND end_time >= ?2 AND start_time <= ?3 ORDER BY start_time, id");
    apps.bind(1, userId)
        .bind(2, from.toUTC().addSecs(-widestOffset).toString(pattern))
        .bind(3, to.toUTC().addSecs(widestOffset).toString(pattern));
    SqliteStatement webs(connection.db, "SELECT id, start_time, end_time, domain FROM web_sessions"
                                        " WHERE user_id = ?1 AND app_session_id = ?2 ORDER BY start_time, id");
    QList<StoredAppSession> result;
    while (apps.step()) {
        StoredAppSession stored{{apps.text(0), apps.text(1), apps.text(2), apps.text(3), apps.text(4), {}}, apps.integer(5)};
        webs.reset().bind(1, userId).bind(2, stored.session.id);
        while (webs.step())
            stored.session.webSessions.append({webs.text(0), webs.text(1), webs.text(2), webs.text(3)});
        result.append(stored);
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
