#pragma once

#include <httplib.h>

#include <chrono>
#include <regex>
#include <string>
#include <vector>

namespace hourloom::devserver {

// The checks every request passes before a handler sees it, in one place:
// - the Host header must name this machine (127.0.0.1, localhost or [::1], any port), so a web
//   page that rebinds its own name to 127.0.0.1 is refused;
// - POST /dev/faults must be JSON, which a page cannot send across sites without asking first;
// - a body is read only by a route registered here, within the size limit and the time limit,
//   however it is framed; elsewhere a body without a declared length (chunked, or up to the end
//   of the connection) is refused before a byte of it is read.
class RequestGuard {
public:
    static constexpr size_t maximumBodySize = 1024 * 1024;
    // A client that trickles its body gives up its worker after this.
    static constexpr std::chrono::seconds bodyTimeLimit{30};

    // The handler of `method` `pattern`, with the request's body read under the limits first
    // (413 over the size, 408 over the time, both closing the connection).
    httplib::Server::HandlerWithContentReader readingBody(const std::string &method, const std::string &pattern,
                                                         httplib::Server::Handler handler);

    // Runs before routing: true when the request was refused, with the answer in `response`.
    bool refuses(const httplib::Request &request, httplib::Response &response) const;

    static bool isLoopbackHost(const std::string &host);

private:
    struct BodyRoute {
        std::string method;
        std::regex pattern;
    };
    bool readsBody(const httplib::Request &request) const;

    std::vector<BodyRoute> bodyRoutes_;
};

} // namespace hourloom::devserver
