#pragma once

#include "UserActivityProtocol.h"
#include "WebSessionProtocol.h"

#include <QList>
#include <QString>

#include <memory>

namespace hourloom {

using WebSessionList = QList<std::shared_ptr<WebSessionProtocol>>;

// A span during which one desktop application was frontmost, with the web sessions inside it.
class AppSessionProtocol : public virtual UserActivityProtocol {
public:
    virtual QString appName() const = 0;
    virtual QString bundleIdentifier() const = 0;
    // In start order; callers append in place or replace the list.
    virtual WebSessionList &webSessions() = 0;
    virtual const WebSessionList &webSessions() const = 0;
    virtual void setWebSessions(WebSessionList webSessions) = 0;
    // The first open web session in list order, if any.
    virtual std::shared_ptr<WebSessionProtocol> activeWebSession() const = 0;
};

} // namespace hourloom
