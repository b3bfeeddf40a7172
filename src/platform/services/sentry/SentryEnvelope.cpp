#include "SentryEnvelope.h"

#include "SentryEvent.h"

#include "core/Clock.h"

#include <QJsonDocument>

namespace hourloom {
namespace {

QByteArray line(const QJsonObject &object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
}

} // namespace

std::optional<QByteArray> SentryEnvelope::withEvent(const QJsonObject &event)
{
    // Compact JSON escapes every line feed inside strings, so the payload is one line.
    const QByteArray payload = QJsonDocument(event).toJson(QJsonDocument::Compact);
    if (payload.size() > maximumEventSize)
        return std::nullopt;

    const QJsonObject header{
        {QStringLiteral("event_id"), event.value(QStringLiteral("event_id"))},
        {QStringLiteral("sent_at"), Clock::now().toUTC().toString(Qt::ISODateWithMs)},
        {QStringLiteral("sdk"), QJsonObject{{QStringLiteral("name"), SentryEvent::sdkName}, {QStringLiteral("version"), SentryEvent::sdkVersion}}},
    };
    const QJsonObject itemHeader{
        {QStringLiteral("type"), QStringLiteral("event")},
        {QStringLiteral("length"), payload.size()},
        {QStringLiteral("content_type"), QStringLiteral("application/json")},
    };
    return line(header) + line(itemHeader) + payload + '\n';
}

} // namespace hourloom
