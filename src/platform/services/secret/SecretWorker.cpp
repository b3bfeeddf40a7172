#include <gio/gio.h>

#include "SecretWorker.h"

namespace hourloom {

SecretWorker::Job::Job(Call call, std::function<void()> promptShows)
    : call_(std::move(call))
    , promptShows_(std::move(promptShows))
    , cancellable_(g_cancellable_new())
{
}

SecretWorker::Job::~Job()
{
    g_object_unref(cancellable_);
}

bool SecretWorker::Job::giveUp()
{
    {
        const std::lock_guard lock(mutex_);
        if (prompting_)
            return false;
        givenUp_ = true;
    }
    g_cancellable_cancel(cancellable_);
    return true;
}

bool SecretWorker::Job::showsPrompt()
{
    {
        const std::lock_guard lock(mutex_);
        if (givenUp_)
            return false;
        prompting_ = true;
    }
    if (promptShows_)
        promptShows_();
    return true;
}

SecretWorker &SecretWorker::shared()
{
    static SecretWorker worker;
    return worker;
}

SecretWorker::SecretWorker()
    : state_(std::make_shared<State>())
    , thread_([state = state_] { run(state); })
{
}

SecretWorker::~SecretWorker()
{
    std::unique_lock lock(state_->mutex);
    state_->stopping = true;
    for (const auto &job : state_->queue)
        job->giveUp();
    if (state_->running)
        state_->running->giveUp();
    state_->wake.notify_one();
    const bool ended = state_->ended.wait_for(lock, exitBound, [this] { return state_->finished; });
    lock.unlock();
    if (ended)
        thread_.join();
    else
        thread_.detach();
}

std::shared_ptr<SecretWorker::Job> SecretWorker::submit(Call call, std::function<void()> promptShows)
{
    auto job = std::make_shared<Job>(std::move(call), std::move(promptShows));
    {
        const std::lock_guard lock(state_->mutex);
        if (state_->stopping)
            job->giveUp();
        state_->queue.push_back(job);
    }
    state_->wake.notify_one();
    return job;
}

void SecretWorker::run(const std::shared_ptr<State> &state)
{
    std::unique_lock lock(state->mutex);
    while (true) {
        state->wake.wait(lock, [&] { return state->stopping || !state->queue.empty(); });
        if (state->queue.empty())
            break;
        state->running = std::move(state->queue.front());
        state->queue.pop_front();
        const std::shared_ptr<Job> job = state->running;
        lock.unlock();
        if (!g_cancellable_is_cancelled(job->cancellable_))
            job->call_(*job);
        lock.lock();
        state->running.reset();
    }
    state->finished = true;
    state->ended.notify_one();
}

} // namespace hourloom
