#pragma once

#include "OpenURL.h"

#include <memory>

namespace hourloom {

class MenuPresentation;
class TerminationProtocol;
class UserActivityControllerProtocol;

// What every view of the panel reaches: whether the panel is open (writing false closes it),
// the upload scheduler, the application's termination request and the browser.
struct PanelEnvironment {
    MenuPresentation &menuPresentation;
    std::shared_ptr<UserActivityControllerProtocol> userActivityController;
    TerminationProtocol &termination;
    OpenURL openURL;
};

} // namespace hourloom
