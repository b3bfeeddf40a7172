#pragma once

#include "UserActivityProtocol.h"

#include <QJsonObject>

namespace hourloom {

// The fields and span operations that app and web sessions share.
class UserActivity : public virtual UserActivityProtocol {
public:
    QUuid id() const override { return id_; }
    void setId(const QUuid &id) { id_ = id; }
    std::optional<qint64> apiId() const { return apiId_; }
    QDateTime startTime() const override { return startTime_; }
    void setStartTime(const QDateTime &startTime) { startTime_ = startTime; }
    std::optional<QDateTime> endTime() const override { return endTime_; }
    void setEndTime(std::optional<QDateTime> endTime) override { endTime_ = std::move(endTime); }

    bool isActive() const override;
    std::optional<double> duration() const override;
    void end(const QDateTime &at) override;

protected:
    // A new random id, started now, open.
    UserActivity();

    // The members every span writes: "id", "start_time", "end_time" (the encoding moment while open).
    void encodeSpan(JsonWriter &writer) const;
    // Reads the same members back; an unreadable time keeps the construction value.
    void decodeSpan(const QJsonObject &object);

private:
    QUuid id_;
    std::optional<qint64> apiId_;
    QDateTime startTime_;
    std::optional<QDateTime> endTime_;
};

} // namespace hourloom
