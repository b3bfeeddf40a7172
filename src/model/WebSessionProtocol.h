#pragma once

#include "UserActivityProtocol.h"
#include "WebDomain.h"

#include <functional>
#include <memory>

namespace hourloom {

// A span during which the frontmost browser showed one web domain.
class WebSessionProtocol : public virtual UserActivityProtocol {
public:
    virtual std::shared_ptr<WebDomain> webDomain() const = 0;
    virtual void setWebDomain(std::shared_ptr<WebDomain> webDomain) = 0;
};

// Makes a web session for a domain: started now, open.
using WebSessionType = std::function<std::shared_ptr<WebSessionProtocol>(const QString &domain)>;

} // namespace hourloom
