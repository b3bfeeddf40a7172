#pragma once

#include <QByteArray>
#include <QJsonObject>

#include <optional>

namespace hourloom {

// The body of a request to the envelope endpoint: the envelope header, the item header and
// the event, one line each.
class SentryEnvelope {
public:
    // Sentry refuses event items over 1 MiB.
    static constexpr qsizetype maximumEventSize = 1024 * 1024;

    // Absent when the event is too large to be accepted.
    static std::optional<QByteArray> withEvent(const QJsonObject &event);
};

} // namespace hourloom
