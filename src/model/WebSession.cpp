#include "WebSession.h"

#include "JsonReader.h"
#include "JsonWriter.h"

namespace hourloom {

WebSession::WebSession(const QString &domain)
    : webDomain_(std::make_shared<WebDomain>(domain))
{
}

void WebSession::encode(JsonWriter &writer) const
{
    writer.beginObject();
    encodeSpan(writer);
    writer.key(QLatin1StringView("web_domain_attributes"));
    webDomain_->encode(writer);
    writer.endObject();
}

std::shared_ptr<WebSession> WebSession::decode(const QJsonObject &object)
{
    std::shared_ptr<WebSession> session(new WebSession);
    session->webDomain_ = WebDomain::decode(JsonReader::object(object, QStringLiteral("web_domain_attributes")));
    session->decodeSpan(object);
    return session;
}

WebSessionType WebSession::type()
{
    return [](const QString &domain) -> std::shared_ptr<WebSessionProtocol> {
        return std::make_shared<WebSession>(domain);
    };
}

} // namespace hourloom
