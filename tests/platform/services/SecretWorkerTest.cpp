// The one worker the credential store's calls run on, with calls that stand in for libsecret's:
// one stuck until it is cancelled, as a call waiting on a keyring prompt is.
#include <gio/gio.h>

#include "platform/services/secret/SecretWorker.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <mutex>
#include <thread>

using namespace hourloom;

TEST(SecretWorker, RunsCallsInTurnSoACallGivenUpEndsBeforeTheNextOneStarts)
{
    std::mutex mutex;
    std::vector<std::string> happened;
    const auto note = [&](std::string what) {
        const std::lock_guard lock(mutex);
        happened.push_back(std::move(what));
    };
    std::promise<void> stuckStarted;
    std::promise<void> lastDone;

    auto stuck = SecretWorker::shared().submit([&](SecretWorker::Job &job) {
        stuckStarted.set_value();
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (!g_cancellable_is_cancelled(job.cancellable()) && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        note(g_cancellable_is_cancelled(job.cancellable()) ? "stuck call cancelled" : "stuck call ran out");
    });
    ASSERT_EQ(stuckStarted.get_future().wait_for(std::chrono::seconds(60)), std::future_status::ready);

    // Newer calls wait their turn; one given up before its turn never runs.
    auto skipped = SecretWorker::shared().submit([&](SecretWorker::Job &) { note("skipped call ran"); });
    auto newer = SecretWorker::shared().submit([&](SecretWorker::Job &) {
        note("newer call");
        lastDone.set_value();
    });
    skipped->giveUp();
    {
        const std::lock_guard lock(mutex);
        EXPECT_TRUE(happened.empty());
    }
    stuck->giveUp();
    ASSERT_EQ(lastDone.get_future().wait_for(std::chrono::seconds(60)), std::future_status::ready);
    const std::lock_guard lock(mutex);
    EXPECT_EQ(happened, (std::vector<std::string>{"stuck call cancelled", "newer call"}));
}
