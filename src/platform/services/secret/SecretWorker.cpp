#include <gio/gio.h>

#include "SecretWorker.h"

namespace hourloom {

SecretWorker::Job::Job(Call call)
    : call_(std::move(call))
    , cancellable_(g_cancellable_new())
{
}

SecretWorker::Job::~Job()
{
    g_object_unref(cancellable_);
}

void SecretWorker::Job::giveUp()
{
    g_cancellable_cancel(cancellable_);
}

SecretWorker &SecretWorker::shared()
{
    static SecretWorker worker;
    return worker;
}

SecretWorker::SecretWorker()
    : thread_([this] { run(); })
{
}

SecretWorker::~SecretWorker()
{
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
        for (const auto &job : queue_)
            job->giveUp();
        if (running_)
            running_->giveUp();
    }
    wake_.notify_one();
    thread_.join();
}

std::shared_ptr<SecretWorker::Job> SecretWorker::submit(Call call)
{
    auto job = std::make_shared<Job>(std::move(call));
    {
        const std::lock_guard lock(mutex_);
        if (stopping_)
            job->giveUp();
        queue_.push_back(job);
    }
    wake_.notify_one();
    return job;
}

void SecretWorker::run()
{
    std::unique_lock lock(mutex_);
    while (true) {
        wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
        if (queue_.empty())
            return;
        running_ = std::move(queue_.front());
        queue_.pop_front();
        const std::shared_ptr<Job> job = running_;
        lock.unlock();
        if (!g_cancellable_is_cancelled(job->cancellable_))
            job->call_(job->cancellable_);
        lock.lock();
        running_.reset();
    }
}

} // namespace hourloom
