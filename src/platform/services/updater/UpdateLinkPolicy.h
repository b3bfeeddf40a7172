#pragma once

#include "AppcastItem.h"

#include <QUrl>

namespace hourloom {

// Which links of an update feed the agent shows or opens. The feed comes from the network, and
// a link in it could name a local file, a script or a network share: only https is taken, and
// plain http only to this machine, where a development service serves its sample feed.
class UpdateLinkPolicy {
public:
    explicit UpdateLinkPolicy(bool allowsLoopbackHttp = false);

    bool allows(const QUrl &url) const;
    // The item with every link that is not allowed taken out.
    AppcastItem withAllowedLinks(AppcastItem item) const;

private:
    bool allowsLoopbackHttp_;
};

} // namespace hourloom
