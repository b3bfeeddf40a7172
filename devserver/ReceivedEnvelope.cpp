#include "ReceivedEnvelope.h"

#include <QJsonDocument>
#include <QRegularExpression>

#include <optional>

namespace hourloom::devserver {
namespace {

std::optional<QJsonObject> objectOf(const QByteArray &bytes)
{
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    return document.object();
}

bool isEventId(const QJsonValue &value)
{
    static const QRegularExpression hex32(QStringLiteral("^[0-9a-f]{32}$"));
    return value.isString() && hex32.match(value.toString()).hasMatch();
}

// What is wrong with an event item, or an empty text when nothing is.
QString eventFault(const QJsonObject &event, const QJsonObject &header)
{
    if (!isEventId(event.value(QStringLiteral("event_id"))))
        return QStringLiteral("the event's event_id must be 32 lower-case hex digits");
    if (header.contains(QStringLiteral("event_id")) && header.value(QStringLiteral("event_id")) != event.value(QStringLiteral("event_id")))
        return QStringLiteral("the event's event_id differs from the envelope's");
    if (!event.value(QStringLiteral("level")).isString() || !event.value(QStringLiteral("platform")).isString())
        return QStringLiteral("the event needs a \"level\" and a \"platform\"");
    const QJsonArray values = event.value(QStringLiteral("exception")).toObject().value(QStringLiteral("values")).toArray();
    if (values.isEmpty())
        return QStringLiteral("the event needs exception values");
    for (const QJsonValue &value : values) {
        if (!value.toObject().value(QStringLiteral("type")).isString())
            return QStringLiteral("every exception value needs a \"type\"");
    }
    return {};
}

} // namespace

std::variant<ReceivedEnvelope, QString> ReceivedEnvelope::parse(const QByteArray &body)
{
    qsizetype lineEnd = body.indexOf('\n');
    const auto header = objectOf(body.left(lineEnd < 0 ? body.size() : lineEnd));
    if (!header)
        return QStringLiteral("the first line must be the envelope header, a JSON object");
    if (header->contains(QStringLiteral("event_id")) && !isEventId(header->value(QStringLiteral("event_id"))))
        return QStringLiteral("the envelope's event_id must be 32 lower-case hex digits");

    ReceivedEnvelope envelope{*header, {}};
    qsizetype at = lineEnd < 0 ? body.size() : lineEnd + 1;
    while (at < body.size()) {
        lineEnd = body.indexOf('\n', at);
        const auto itemHeader = objectOf(body.mid(at, lineEnd < 0 ? -1 : lineEnd - at));
        if (!itemHeader || !itemHeader->value(QStringLiteral("type")).isString())
            return QStringLiteral("an item header must be a JSON object with a \"type\"");
        const QJsonValue length = itemHeader->value(QStringLiteral("length"));
        if (!length.isDouble() || length.toDouble() < 0 || length.toDouble() != double(length.toInteger()))
            return QStringLiteral("an item header needs the payload's \"length\" in bytes");
        const qsizetype payloadStart = lineEnd < 0 ? body.size() : lineEnd + 1;
        // Compared with what is left before adding: a declared length near 2^63 would overflow.
        const bool fits = length.toInteger() <= body.size() - payloadStart;
        const qsizetype payloadEnd = fits ? payloadStart + qsizetype(length.toInteger()) : body.size();
        if (!fits || (payloadEnd < body.size() && body.at(payloadEnd) != '\n'))
            return QStringLiteral("an item's payload is not \"length\" bytes followed by a line feed");
        const QByteArray payload = body.mid(payloadStart, payloadEnd - payloadStart);

        QJsonObject item{{QStringLiteral("header"), *itemHeader}};
        if (itemHeader->value(QStringLiteral("type")).toString() == u"event") {
            const auto event = objectOf(payload);
            if (!event)
                return QStringLiteral("an event item must be a JSON object");
            if (const QString fault = eventFault(*event, *header); !fault.isEmpty())
                return fault;
            item.insert(QStringLiteral("payload"), *event);
        }
        envelope.items.append(item);
        at = payloadEnd + 1;
    }
    if (envelope.items.isEmpty())
        return QStringLiteral("the envelope holds no item");
    return envelope;
}

} // namespace hourloom::devserver
