#include "KeychainHelper.h"

#include "SecretServiceCalls.h"
#include "SecretWorker.h"
#include "core/Log.h"

#include <QFutureWatcher>
#include <QHash>
#include <QPromise>

#include <qcoro/qcorosignal.h>

#include <memory>

namespace hourloom {
namespace {

using SecretServiceCalls::Item;
using SecretServiceCalls::Outcome;

// Queues the call on the one worker and waits on the main loop until it reports or the deadline
// passes; a call given up is cancelled and whatever it finds later is dropped.
QCoro::Task<std::optional<Outcome>> runInTurn(std::function<Outcome(GCancellable *)> call, std::chrono::milliseconds deadline)
{
    auto promise = std::make_shared<QPromise<Outcome>>();
    QFutureWatcher<Outcome> watcher;
    watcher.setFuture(promise->future());
    promise->start();
    const auto job = SecretWorker::shared().submit([promise, call = std::move(call)](GCancellable *cancellable) {
        promise->addResult(call(cancellable));
        promise->finish();
    });
    if (!watcher.isFinished() && !co_await qCoro(&watcher, &QFutureWatcherBase::finished, deadline)) {
        job->giveUp();
        co_return std::nullopt;
    }
    co_return watcher.result();
}

// The items of this run when the Secret Service is not to be used. Touched on the main loop only.
struct MemoryStore {
    bool active = false;
    QHash<std::pair<QString, QString>, QByteArray> items;
};

MemoryStore &memory()
{
    static MemoryStore store;
    return store;
}

void say(const char *line)
{
    logLine(lcCredentials, QString::fromUtf8(line));
}

// No service, or its prompt dismissed, turns the memory store on for the rest of the run.
bool switchedToMemory(const std::optional<Outcome> &outcome)
{
    if (!outcome || outcome->status != Outcome::Status::unavailable)
        return false;
    // Two calls in flight can both find the service unusable; say it once.
    if (std::exchange(memory().active, true))
        return true;
    logLine(lcCredentials, QString::fromStdString(outcome->reason) + QStringLiteral(": the login is kept only until Hourloom quits"));
    return true;
}

Item itemOf(const QString &service, const QString &account)
{
    return Item{service.toStdString(), account.toStdString()};
}

} // namespace

KeychainHelper::KeychainHelper(std::chrono::milliseconds deadline)
    : deadline_(deadline)
{
}

QCoro::Task<void> KeychainHelper::saveItem(QByteArray data, QString service, QString account)
{
    if (!memory().active) {
        // A named function, not a lambda inside the co_await expression: g++ 12 destroys such a
        // lambda temporary twice.
        std::function<Outcome(GCancellable *)> call = [item = itemOf(service, account), data](GCancellable *cancellable) {
            return SecretServiceCalls::store(item, data, cancellable);
        };
        const auto outcome = co_await runInTurn(std::move(call), deadline_);
        if (outcome && outcome->status == Outcome::Status::done)
            co_return;
        if (!switchedToMemory(outcome)) {
            say("Could not save Keychain data");
            co_return;
        }
    }
    memory().items.insert({service, account}, data);
}

QCoro::Task<std::optional<QByteArray>> KeychainHelper::readItem(QString service, QString account)
{
    if (!memory().active) {
        std::function<Outcome(GCancellable *)> call = [item = itemOf(service, account)](GCancellable *cancellable) {
            return SecretServiceCalls::lookup(item, cancellable);
        };
        const auto outcome = co_await runInTurn(std::move(call), deadline_);
        if (!switchedToMemory(outcome))
            co_return outcome ? outcome->data : std::nullopt;
    }
    const auto found = memory().items.constFind({service, account});
    co_return found == memory().items.constEnd() ? std::nullopt : std::optional(*found);
}

QCoro::Task<void> KeychainHelper::deleteItem(QString service, QString account)
{
    if (!memory().active) {
        std::function<Outcome(GCancellable *)> call = [item = itemOf(service, account)](GCancellable *cancellable) {
            return SecretServiceCalls::clear(item, cancellable);
        };
        const auto outcome = co_await runInTurn(std::move(call), deadline_);
        if (!switchedToMemory(outcome))
            co_return;
    }
    memory().items.remove({service, account});
}

} // namespace hourloom
