#pragma once

#include <QByteArray>
#include <QJsonArray>
#include <QJsonObject>
#include <QString>

#include <variant>

namespace hourloom::devserver {

// One body of POST /api/<project>/envelope/, read strictly so that a client writing the
// envelope wrongly is caught: a JSON header line (its event_id, when given, 32 lower-case hex
// digits), then items, each a JSON item header with a "type" and the payload's "length" in
// bytes, the payload, and a line feed. Event items must be JSON objects with the header's
// event_id, a "level", "platform" and at least one exception value with a "type".
struct ReceivedEnvelope {
    // The envelope, or what is wrong with the body.
    static std::variant<ReceivedEnvelope, QString> parse(const QByteArray &body);

    QJsonObject header;
    // {"header": item header, "payload": the event} per item.
    QJsonArray items;
};

} // namespace hourloom::devserver
