#pragma once

#include <httplib.h>

namespace hourloom::devserver {

// GET /appcast.xml: a sample update feed for the agent's update check. It lists the project's
// first version, a newer 0.2.0 for everyone (deliberately not the first item, as feeds sort
// items any way they like) and a still newer 0.3.0 on the "beta" channel, which the agent must
// not offer. Download links point at this service's own address.
class AppcastEndpoint {
public:
    void handle(const httplib::Request &request, httplib::Response &response);
};

} // namespace hourloom::devserver
