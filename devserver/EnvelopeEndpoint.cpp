#include "EnvelopeEndpoint.h"

#include "EnvelopeStore.h"
#include "ReceivedEnvelope.h"

#include <QHash>
#include <QJsonDocument>

namespace hourloom::devserver {
namespace {

void answer(httplib::Response &response, int status, const QJsonObject &body)
{
    response.status = status;
    response.set_content(QJsonDocument(body).toJson(QJsonDocument::Compact).toStdString(), "application/json");
}

void refuse(httplib::Response &response, int status, const QString &detail)
{
    answer(response, status, {{QStringLiteral("detail"), detail}});
}

// The public key of "Sentry sentry_version=7, sentry_client=..., sentry_key=...", or an empty
// text when the header is not that.
QString sentryKey(const std::string &header)
{
    const QString text = QString::fromStdString(header);
    if (!text.startsWith(QStringLiteral("Sentry ")))
        return {};
    QHash<QString, QString> fields;
    for (const QString &field : text.mid(7).split(u',')) {
        const qsizetype equals = field.indexOf(u'=');
        if (equals > 0)
            fields.insert(field.left(equals).trimmed(), field.mid(equals + 1).trimmed());
    }
    if (fields.value(QStringLiteral("sentry_version")) != u"7")
        return {};
    return fields.value(QStringLiteral("sentry_key"));
}

} // namespace

EnvelopeEndpoint::EnvelopeEndpoint(EnvelopeStore &envelopes)
    : envelopes_(envelopes)
{
}

void EnvelopeEndpoint::handle(const httplib::Request &request, httplib::Response &response)
{
    const QString key = sentryKey(request.get_header_value("X-Sentry-Auth"));
    if (key.isEmpty())
        return refuse(response, 401, QStringLiteral("missing authorization information"));

    const auto parsed = ReceivedEnvelope::parse(QByteArray::fromStdString(request.body));
    if (const auto *fault = std::get_if<QString>(&parsed))
        return refuse(response, 400, *fault);
    const auto &envelope = std::get<ReceivedEnvelope>(parsed);
    envelopes_.store(QString::fromStdString(request.matches[1].str()), key, envelope);
    answer(response, 200, {{QStringLiteral("id"), envelope.header.value(QStringLiteral("event_id"))}});
}

void EnvelopeEndpoint::readOut(const httplib::Request &, httplib::Response &response)
{
    answer(response, 200, envelopes_.readOut());
}

} // namespace hourloom::devserver
