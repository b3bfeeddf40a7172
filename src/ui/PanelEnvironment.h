#pragma once

#include "OpenURL.h"

#include <memory>

namespace hourloom {

class MenuPresentation;
class PanelWork;
class UserActivityControllerProtocol;

// What every view of the panel reaches: whether the panel is open (writing false closes it),
// the upload scheduler, the log-out and quit that run from the panel, and the browser.
struct PanelEnvironment {
    MenuPresentation &menuPresentation;
    std::shared_ptr<UserActivityControllerProtocol> userActivityController;
    PanelWork &work;
    OpenURL openURL;
};

} // namespace hourloom
