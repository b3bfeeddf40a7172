#pragma once

#include "AppSessionControllerProtocol.h"

namespace hourloom {

class AppSessionController final : public AppSessionControllerProtocol {
public:
    // Starts web tracking at once when the application is a browser. sessionEnded, when given,
    // is called each time endSession has ended the session.
    AppSessionController(std::shared_ptr<AppSessionProtocol> appSession, WebSessionControllerClass webSessionControllerClass,
                         std::function<void()> sessionEnded = {});

    std::shared_ptr<WebSessionControllerProtocol> wsc() const { return wsc_; }
    std::shared_ptr<AppSessionProtocol> appSession() const override { return appSession_; }
    void endSession(const QDateTime &at) override;
    void resumeSession(std::shared_ptr<AppSessionProtocol> session) override;
    void startWebTrackingIfBrowser() override;

    static AppSessionControllerType type(std::function<void()> sessionEnded = {});

private:
    std::shared_ptr<WebSessionControllerProtocol> wsc_;
    WebSessionControllerClass webSessionControllerClass_;
    std::shared_ptr<AppSessionProtocol> appSession_;
    std::function<void()> sessionEnded_;
};

} // namespace hourloom
