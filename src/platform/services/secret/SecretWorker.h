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
// while a prompt shows, with no time-out of its own. A caller that stops waiting cancels its
// call, unless the call is showing a prompt; because calls never overlap, a call given up can
// never land after a newer one.
class SecretWorker {
public:
    class Job;
    using Call = std::function<void(Job &job)>;

    class Job {
    public:
        Job(Call call, std::function<void()> promptShows);
        ~Job();
        Job(const Job &) = delete;
        Job &operator=(const Job &) = delete;

        // Cancels the call, or skips it if it has not started. Refused (false) once the call shows
        // a keyring prompt: cancelling would dismiss the prompt under the person typing into it,
        // and gnome-keyring-daemon aborts on a prompt dismissed while it unlocks. Safe from any
        // thread.
        bool giveUp();

        // For the call, on the worker: a keyring prompt is about to show. False when the call was
        // given up, and then it must show none.
        bool showsPrompt();
        GCancellable *cancellable() const { return cancellable_; }

    private:
        friend class SecretWorker;
        Call call_;
        std::function<void()> promptShows_;
        GCancellable *cancellable_;
        std::mutex mutex_;
        bool givenUp_ = false;
        bool prompting_ = false;
    };

    // How long the end of the process waits for the call running then to end once cancelled. A
    // call that ignores its cancellation (libsecret blocked in a D-Bus call), or one showing a
    // prompt, which is never cancelled, is left behind and goes with the process.
    static constexpr std::chrono::seconds exitBound{3};

    // The one worker of the process; ending the process cancels whatever is queued or running.
    static SecretWorker &shared();

    // promptShows is told, on the worker, when the call starts showing a keyring prompt.
    std::shared_ptr<Job> submit(Call call, std::function<void()> promptShows = {});

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
