#pragma once

#include <QDateTime>
#include <QUuid>

#include <optional>

namespace hourloom {

class JsonWriter;

// One span of tracked time: open while it has no end.
class UserActivityProtocol {
public:
    virtual ~UserActivityProtocol() = default;

    virtual QUuid id() const = 0;
    virtual QDateTime startTime() const = 0;
    virtual std::optional<QDateTime> endTime() const = 0;
    // Clearing the end reopens the span.
    virtual void setEndTime(std::optional<QDateTime> endTime) = 0;

    virtual bool isActive() const = 0;
    // Seconds from start to end; absent while the span is open, negative if it ends before it starts.
    virtual std::optional<double> duration() const = 0;
    virtual void end(const QDateTime &at) = 0;

    // Writes the record's upload form as one JSON object.
    virtual void encode(JsonWriter &writer) const = 0;
};

} // namespace hourloom
