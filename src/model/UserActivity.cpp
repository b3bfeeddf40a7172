#include "UserActivity.h"

#include "DataFormatter.h"
#include "JsonReader.h"
#include "JsonWriter.h"
#include "core/Clock.h"

namespace hourloom {

UserActivity::UserActivity()
    : id_(QUuid::createUuid())
    , startTime_(Clock::now())
{
}

bool UserActivity::isActive() const
{
    return !endTime_.has_value();
}

std::optional<double> UserActivity::duration() const
{
    if (!endTime_)
        return std::nullopt;
    return static_cast<double>(startTime_.msecsTo(*endTime_)) / 1000.0;
}

void UserActivity::end(const QDateTime &at)
{
    endTime_ = at;
}

void UserActivity::encodeSpan(JsonWriter &writer) const
{
    // Every time of a body is written at the body's one offset, the one in force at the moment of
    // encoding: a span recorded before a change to or from summer time still reads as its true
    // instant once the offset beside it is taken off.
    const QString &format = DataFormatter::uploadFormat;
    const int offset = writer.now().offsetFromUtc();
    writer.key(QLatin1StringView("id"));
    writer.value(QString::fromLatin1(id_.toByteArray(QUuid::WithoutBraces)).toLower());
    writer.key(QLatin1StringView("start_time"));
    writer.value(DataFormatter::string(startTime_, format, offset));
    writer.key(QLatin1StringView("end_time"));
    writer.value(DataFormatter::string(endTime_ ? *endTime_ : writer.now(), format, offset));
}

void UserActivity::decodeSpan(const QJsonObject &object)
{
    id_ = JsonReader::uuid(object, QStringLiteral("id"));
    if (auto start = JsonReader::time(object, QStringLiteral("start_time")))
        startTime_ = *start;
    if (auto end = JsonReader::time(object, QStringLiteral("end_time")))
        endTime_ = *end;
}

} // namespace hourloom
