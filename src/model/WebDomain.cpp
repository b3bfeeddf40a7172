#include "WebDomain.h"

#include "JsonReader.h"
#include "JsonWriter.h"

namespace hourloom {

WebDomain::WebDomain(QString domain)
    : domain_(std::move(domain))
{
}

void WebDomain::encode(JsonWriter &writer) const
{
    writer.beginObject();
    writer.key(QLatin1StringView("domain"));
    writer.value(domain_);
    writer.endObject();
}

std::shared_ptr<WebDomain> WebDomain::decode(const QJsonObject &object)
{
    return std::make_shared<WebDomain>(JsonReader::string(object, QStringLiteral("domain")));
}

} // namespace hourloom
