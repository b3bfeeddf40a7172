#pragma once

#include <QJsonObject>
#include <QString>

#include <memory>

namespace hourloom {

class JsonWriter;

// The web domain a web session is about.
class WebDomain {
public:
    explicit WebDomain(QString domain);

    const QString &domain() const { return domain_; }

    void encode(JsonWriter &writer) const;
    static std::shared_ptr<WebDomain> decode(const QJsonObject &object);

private:
    QString domain_;
};

} // namespace hourloom
