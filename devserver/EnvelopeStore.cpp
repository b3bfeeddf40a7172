#include "EnvelopeStore.h"

#include "AccountStore.h"
#include "platform/services/sqlite/SqliteStatement.h"

#include <QJsonDocument>

namespace hourloom::devserver {

EnvelopeStore::EnvelopeStore(AccountStore &accounts)
    : accounts_(accounts)
{
    const auto connection = accounts_.connection();
    SqliteStatement::execute(connection.db, "CREATE TABLE IF NOT EXISTS envelopes (id INTEGER PRIMARY KEY AUTOINCREMENT,"
                                            " project_id TEXT NOT NULL, sentry_key TEXT NOT NULL, header TEXT NOT NULL, items TEXT NOT NULL)");
}

void EnvelopeStore::store(const QString &projectId, const QString &publicKey, const ReceivedEnvelope &envelope)
{
    const auto connection = accounts_.connection();
    SqliteStatement(connection.db, "INSERT INTO envelopes (project_id, sentry_key, header, items) VALUES (?1, ?2, ?3, ?4)")
        .bind(1, projectId)
        .bind(2, publicKey)
        .bind(3, QString::fromUtf8(QJsonDocument(envelope.header).toJson(QJsonDocument::Compact)))
        .bind(4, QString::fromUtf8(QJsonDocument(envelope.items).toJson(QJsonDocument::Compact)))
        .step();
}

QJsonObject EnvelopeStore::readOut()
{
    const auto connection = accounts_.connection();
    SqliteStatement rows(connection.db, "SELECT project_id, sentry_key, header, items FROM envelopes ORDER BY id");
    QJsonArray envelopes;
    while (rows.step()) {
        envelopes.append(QJsonObject{{QStringLiteral("project_id"), rows.text(0)},
                                     {QStringLiteral("sentry_key"), rows.text(1)},
                                     {QStringLiteral("header"), QJsonDocument::fromJson(rows.text(2).toUtf8()).object()},
                                     {QStringLiteral("items"), QJsonDocument::fromJson(rows.text(3).toUtf8()).array()}});
    }
    return {{QStringLiteral("envelopes"), envelopes}};
}

} // namespace hourloom::devserver
