#pragma once

#include <QSocketNotifier>

#include <functional>
#include <memory>

namespace hourloom {

// Turns SIGINT, SIGTERM and SIGHUP into a call on the main loop, so that Ctrl-C or the end of the
// user's session ends the agent through its ordinary termination (the final upload) instead of
// killing it mid-way.
class UnixSignalWatcher {
public:
    using Handler = std::function<void(int signal)>;

    explicit UnixSignalWatcher(Handler handler);
    ~UnixSignalWatcher();
    UnixSignalWatcher(const UnixSignalWatcher &) = delete;
    UnixSignalWatcher &operator=(const UnixSignalWatcher &) = delete;

private:
    static void onSignal(int signal);
    void readSignals();

    Handler handler_;
    int fds_[2] = {-1, -1};
    std::unique_ptr<QSocketNotifier> notifier_;
};

} // namespace hourloom
