#include "SessionBatch.h"

#include "AppSession.h"
#include "EncodeList.h"
#include "JsonReader.h"
#include "app/Clock.h"
#include "app/DeviceName.h"
#include "app/UserDefaults.h"

namespace hourloom {

SessionBatch::SessionBatch()
    : deviceId_(UserDefaults::string(UserDefaults::deviceIdKey))
    , device_(DeviceName::current().value_or(unknownDevice))
    , timezoneOffset_(Clock::now().toLocalTime().offsetFromUtc())
{
}

QByteArray SessionBatch::encode(const AppSessionList &sessions) const
{
    JsonWriter writer;
    writer.beginObject();
    writer.key(QLatin1StringView("timezone_offset"));
    writer.value(qint64(writer.now().offsetFromUtc()));
    writer.key(QLatin1StringView("user_activities"));
    encodeListOf<AppSession>(sessions, writer);
    writer.endObject();
    return writer.take();
}

std::shared_ptr<SessionBatch> SessionBatch::decode(const QJsonObject &object)
{
    auto batch = std::make_shared<SessionBatch>();
    batch->timezoneOffset_ = JsonReader::integer(object, QStringLiteral("timezone_offset"));
    for (const QJsonValue &value : JsonReader::array(object, QStringLiteral("user_activities")))
        batch->appSessions_.append(AppSession::decode(JsonReader::object(value, QStringLiteral("user_activities"))));
    return batch;
}

SessionBatchType SessionBatch::type()
{
    return []() -> std::shared_ptr<SessionBatchProtocol> { return std::make_shared<SessionBatch>(); };
}

} // namespace hourloom
