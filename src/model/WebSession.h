#pragma once

#include "UserActivity.h"
#include "WebSessionProtocol.h"

namespace hourloom {

class WebSession final : public UserActivity, public WebSessionProtocol {
public:
    explicit WebSession(const QString &domain);

    std::shared_ptr<WebDomain> webDomain() const override { return webDomain_; }
    void setWebDomain(std::shared_ptr<WebDomain> webDomain) override { webDomain_ = std::move(webDomain); }

    void encode(JsonWriter &writer) const override;
    static std::shared_ptr<WebSession> decode(const QJsonObject &object);

    static WebSessionType type();

private:
    WebSession() = default;

    std::shared_ptr<WebDomain> webDomain_;
};

} // namespace hourloom
