#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

typedef struct _GCancellable GCancellable;

namespace hourloom {

// Runs credential-store calls one after another on one thread of its own. libsecret blocks
// while a prompt shows, with no time-out of its own: a caller that stops waiting cancels its
// call (libsecret then dismisses the prompt), and because calls never overlap, a call given up
// can never land after a newer one.
class SecretWorker {
public:
    using Call = std::function<void(GCancellable *cancellable)>;

    class Job {
    public:
        explicit Job(Call call);
        ~Job();
        Job(const Job &) = delete;
        Job &operator=(const Job &) = delete;

        // Cancels the call, or skips it if it has not started. Safe from any thread.
        void giveUp();

    private:
        friend class SecretWorker;
        Call call_;
        GCancellable *cancellable_;
    };

    // How long the end of the process waits for the call running then to end once cancelled. A
    // call that ignores its cancellation (libsecret blocked in a D-Bus call) is left behind and
    // goes with the process.
    static constexpr std::chrono::seconds exitBound{3};

    // The one worker of the process; ending the process cancels whatever is queued or running.
    static SecretWorker &shared();

    std::shared_ptr<Job> submit(Call call);

    ~SecretWorker();

private:
    // Shared with the thread, which may outlive the worker when left behind.
    struct State {
        std::mutex mutex;
        std::condition_variable wake;
        std::condition_variable ended;
        std::deque<std::shared_ptr<Job>> queue;
        std::shared_ptr<Job> running;
        bool stopping = false;
        bool finished = false;
    };

    SecretWorker();
    static void run(const std::shared_ptr<State> &state);

    const std::shared_ptr<State> state_;
    std::thread thread_;
};

} // namespace hourloom
