#pragma once

#include <httplib.h>

#include <QHash>
#include <QString>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>

namespace hourloom::devserver {

// Makes the next requests of one endpoint misbehave, so that tests can see how the agent copes:
// answer with a given status, body and header fields, answer late, or close the connection without answering.
// Configured through POST /dev/faults (JSON) and cleared by DELETE /dev/faults.
class FaultInjector {
public:
    struct Fault {
        int remaining = 1;
        std::optional<int> status;
        std::string body;
        std::string contentType = "text/plain";
        httplib::Headers headers;
        std::chrono::milliseconds delay{0};
        bool close = false;
    };

    void configure(const httplib::Request &request, httplib::Response &response);
    void clear(const httplib::Request &request, httplib::Response &response);

    // Runs before routing: true when the request was answered (or dropped) by a fault.
    bool intercept(const httplib::Request &request, httplib::Response &response);

    // Ends every pending delay at once, so that stopping the server never waits for one.
    void stop();

private:
    std::optional<Fault> take(const std::string &path);
    void wait(std::chrono::milliseconds delay);

    std::mutex mutex_;
    std::condition_variable stopped_;
    bool stopping_ = false;
    QHash<QString, Fault> faults_;
};

} // namespace hourloom::devserver
