#pragma once

#include "AppSessionProtocol.h"
#include "DesktopApp.h"
#include "UserActivity.h"

#include <optional>

namespace hourloom {

class AppSession final : public UserActivity, public AppSessionProtocol {
public:
    static inline const QString unknownAppName = QStringLiteral("Unknown App");
    static inline const QString unknownBundleIdentifier = QStringLiteral("unknown.bundle.id");

    // The frontmost application's name and bundle identifier as the platform reports them;
    // either may be missing. Started now, open.
    AppSession(const std::optional<QString> &appName, const std::optional<QString> &bundleIdentifier);

    QString appName() const override { return appName_; }
    QString bundleIdentifier() const override { return bundleIdentifier_; }
    const DesktopApp &desktopApp() const { return desktopApp_; }
    std::optional<qint64> webApiId() const { return webApiId_; }

    WebSessionList &webSessions() override { return webSessions_; }
    const WebSessionList &webSessions() const override { return webSessions_; }
    void setWebSessions(WebSessionList webSessions) override { webSessions_ = std::move(webSessions); }
    std::shared_ptr<WebSessionProtocol> activeWebSession() const override;

    void encode(JsonWriter &writer) const override;
    static std::shared_ptr<AppSession> decode(const QJsonObject &object);

private:
    explicit AppSession(const DesktopApp &desktopApp);

    QString appName_;
    QString bundleIdentifier_;
    WebSessionList webSessions_;
    DesktopApp desktopApp_;
    std::optional<qint64> webApiId_;
};

} // namespace hourloom
