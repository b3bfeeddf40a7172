#pragma once

#include "AppSessionControllerProtocol.h"

namespace hourloom {

class AppSessionController final : public AppSessionControllerProtocol {
public:
    // Starts web tracking at once when the application is a browser.
    AppSessionController(std::shared_ptr<AppSessionProtocol> appSession, WebSessionControllerClass webSessionControllerClass);

    std::shared_ptr<WebSessionControllerProtocol> wsc() const { return wsc_; }
    std::shared_ptr<AppSessionProtocol> appSession() const override { return appSession_; }
    void endSession(const QDateTime &at) override;
    void resumeSession(std::shared_ptr<AppSessionProtocol> session) override;
    void startWebTrackingIfBrowser() override;

    static AppSessionControllerType type();

private:
    std::shared_ptr<WebSessionControllerProtocol> wsc_;
    WebSessionControllerClass webSessionControllerClass_;
    std::shared_ptr<AppSessionProtocol> appSession_;
};

} // namespace hourloom
