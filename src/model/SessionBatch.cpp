#include "SessionBatch.h"

#include "AppSession.h"
#include "EncodeList.h"
#include "JsonWriter.h"
#include "JsonReader.h"
#include "core/Clock.h"

#include <algorithm>
#include <limits>

namespace hourloom {

SessionBatch::SessionBatch()
    : SessionBatch(Device{})
{
}

SessionBatch::SessionBatch(Device device)
    : deviceId_(std::move(device.id))
    , device_(std::move(device.name))
    , timezoneOffset_(Clock::now().toLocalTime().offsetFromUtc())
{
}

QByteArray SessionBatch::encode() const
{
    return encodeInParts(appSessions_, std::numeric_limits<qsizetype>::max()).first().body;
}

QList<SessionBatchProtocol::EncodedPart> SessionBatch::encodeInParts(const AppSessionList &sessions, qsizetype maxBytes) const
{
    const QDateTime now = JsonWriter().now();
    JsonWriter head(now);
    head.beginObject();
    head.key(QLatin1StringView("timezone_offset"));
    head.value(qint64(now.offsetFromUtc()));
    head.key(QLatin1StringView("user_activities"));
    const QByteArray opening = head.take();

    if (!hasUploadForm<AppSession>(sessions))
        return {{opening + "null}", 0, sessions.size()}};

    // Each session is written once and the parts are cut between them.
    QList<EncodedPart> parts;
    EncodedPart part{opening + '[', 0, 0};
    JsonWriter writer(now);
    for (qsizetype i = 0; i < sessions.size(); ++i) {
        writer.clear();
        static_cast<const AppSession &>(*sessions[i]).encode(writer);
        const QByteArray &session = writer.bytes();
        if (part.count > 0 && part.body.size() + 1 + session.size() + 2 > maxBytes) {
            part.body += "]}";
            parts.append(std::exchange(part, EncodedPart{opening + '[', i, 0}));
        }
        if (part.count > 0)
            part.body += ',';
        part.body += session;
        ++part.count;
    }
    part.body += "]}";
    parts.append(std::move(part));
    return parts;
}

std::shared_ptr<SessionBatch> SessionBatch::decode(const QJsonObject &object)
{
    auto batch = std::make_shared<SessionBatch>();
    batch->timezoneOffset_ = JsonReader::integer(object, QStringLiteral("timezone_offset"));
    for (const QJsonValue &value : JsonReader::array(object, QStringLiteral("user_activities")))
        batch->appSessions_.append(AppSession::decode(JsonReader::object(value, QStringLiteral("user_activities"))));
    return batch;
}

SessionBatchType SessionBatch::type(DeviceSource device)
{
    return [device = std::move(device)]() -> std::shared_ptr<SessionBatchProtocol> {
        return std::make_shared<SessionBatch>(device ? device() : Device{});
    };
}

} // namespace hourloom
