#include "KeychainHelper.h"

#include "SecretServiceCalls.h"
#include "SecretWorker.h"
#include "core/Log.h"

#include <QDeadlineTimer>
#include <QHash>
#include <QObject>

#include <qcoro/qcorosignal.h>

#include <memory>

namespace hourloom {
namespace {

using SecretServiceCalls::Item;
using SecretServiceCalls::Outcome;
using Key = std::pair<QString, QString>;
using Work = std::function<Outcome(SecretWorker::Job &)>;

// Where the worker's news reaches the main loop: each call that ends, and each prompt that
// shows, is posted here, and every caller waiting on the main loop looks again.
class CallNews final : public QObject {
    Q_OBJECT
signals:
    void changed();
};

// What the calls left on the main loop. Touched on the main loop only; never destroyed, since a
// call stuck behind a prompt may still post its end while the process goes.
struct Store {
    CallNews news;
    // Whether the call running on the worker is showing a keyring prompt.
    bool promptShowing = false;
    // The items of this run when the Secret Service is not to be used.
    bool memoryActive = false;
    QHash<Key, QByteArray> memoryItems;
    // What the saves and deletes still under way will leave (no value: deleted), with the number
    // of the newest; reads answer from here, since their call would only wait behind them.
    QHash<Key, std::pair<quint64, std::optional<QByteArray>>> held;
    quint64 writes = 0;
};

Store &store()
{
    static Store *const instance = new Store;
    return *instance;
}

// One call as the main loop sees it: settled once, when the worker reports its end or when it
// is given up, whoever still waits for it.
struct Call {
    std::function<void(const Outcome &)> settle;
    std::optional<Outcome> outcome;

    void settleWith(const Outcome &ended)
    {
        if (outcome)
            return;
        outcome = ended;
        settle(ended);
    }
};

enum class Caller { waitsForPrompts, goesOnDuringPrompts, goesOnAtTheDeadline };

// Queues the call on the one worker and waits on the main loop until it ends or the deadline
// passes. At the deadline the call is given up (a late read counts as no item, a late save as a
// failed save) unless a keyring prompt is showing, its own or that of a call ahead of it: then
// the call is never given up, since the person may be typing the password. A reader waits for
// it; a writer goes on (nothing then: the call settles whenever it ends), and does so at once
// behind a prompt that already shows. A delete is never given up, prompt or not: given up, it
// would leave a log-out's token stored for the next start; its caller goes on at the deadline.
QCoro::Task<std::optional<Outcome>> runInTurn(Work work, std::function<void(const Outcome &)> settle, Caller caller,
                                              std::chrono::milliseconds deadline)
{
    auto call = std::make_shared<Call>(Call{std::move(settle), std::nullopt});
    CallNews *const news = &store().news;
    const auto job = SecretWorker::shared().submit(
        [work = std::move(work), call, news](SecretWorker::Job &job) {
            Outcome outcome = work(job);
            QMetaObject::invokeMethod(
                news,
                [call, news, outcome = std::move(outcome)] {
                    store().promptShowing = false;
                    call->settleWith(outcome);
                    emit news->changed();
                },
                Qt::QueuedConnection);
        },
        [news] {
            QMetaObject::invokeMethod(
                news,
                [news] {
                    store().promptShowing = true;
                    emit news->changed();
                },
                Qt::QueuedConnection);
        });

    const QDeadlineTimer timer(deadline);
    // A writer queued behind a prompt that already shows has nothing to wait for.
    bool behindPrompt = caller != Caller::waitsForPrompts && store().promptShowing;
    while (!call->outcome) {
        if (!behindPrompt && !timer.hasExpired()) {
            co_await qCoro(news, &CallNews::changed, std::chrono::milliseconds(timer.remainingTime()));
            continue;
        }
        if (!behindPrompt && caller != Caller::goesOnAtTheDeadline && !store().promptShowing && job->giveUp()) {
            call->settleWith(Outcome{});
            break;
        }
        // A refused give-up means the call's own prompt is showing, its news on the way; a
        // delete is not given up at all.
        behindPrompt = true;
        if (caller != Caller::waitsForPrompts)
            co_return std::nullopt;
        co_await qCoro(news, &CallNews::changed);
    }
    co_return call->outcome;
}

// No service, or its prompt dismissed, turns the memory store on for the rest of the run.
bool switchedToMemory(const Outcome &outcome)
{
    if (outcome.status != Outcome::Status::unavailable)
        return false;
    // Two calls can both find the service unusable; say it once.
    if (std::exchange(store().memoryActive, true))
        return true;
    logLine(lcCredentials, QString::fromStdString(outcome.reason) + QStringLiteral(": the login is kept only until Hourloom quits"));
    return true;
}

Item itemOf(const Key &key)
{
    return Item{key.first.toStdString(), key.second.toStdString()};
}

void keepInMemory(const Key &key, const std::optional<QByteArray> &value)
{
    if (value)
        store().memoryItems.insert(key, *value);
    else
        store().memoryItems.remove(key);
}

// A save (with a value) or a delete: held until its call ends, so that the caller can go on
// while a prompt shows. A save that fails says so.
QCoro::Task<void> write(Key key, std::optional<QByteArray> value, Work work, std::chrono::milliseconds deadline)
{
    if (store().memoryActive) {
        keepInMemory(key, value);
        co_return;
    }
    const quint64 number = ++store().writes;
    store().held.insert(key, {number, value});
    auto settle = [key, value, number](const Outcome &outcome) {
        const bool newest = store().held.value(key).first == number;
        if (newest)
            store().held.remove(key);
        if (outcome.status == Outcome::Status::done)
            return;
        if (switchedToMemory(outcome)) {
            // A newer write settles after this one and leaves its own value.
            if (newest)
                keepInMemory(key, value);
        } else if (value) {
            logLine(lcCredentials, QStringLiteral("Could not save Keychain data"));
        }
    };
    co_await runInTurn(std::move(work), std::move(settle), value ? Caller::goesOnDuringPrompts : Caller::goesOnAtTheDeadline, deadline);
}

} // namespace

KeychainHelper::KeychainHelper(std::chrono::milliseconds deadline)
    : deadline_(deadline)
{
}

QCoro::Task<void> KeychainHelper::saveItem(QByteArray data, QString service, QString account)
{
    // A named function, not a lambda inside the co_await expression: g++ 12 destroys such a
    // lambda temporary twice.
    Work call = [item = itemOf({service, account}), data](SecretWorker::Job &job) { return SecretServiceCalls::store(item, data, job); };
    co_await write({service, account}, data, std::move(call), deadline_);
}

QCoro::Task<std::optional<QByteArray>> KeychainHelper::readItem(QString service, QString account)
{
    const Key key{service, account};
    if (const auto held = store().held.constFind(key); held != store().held.constEnd())
        co_return held->second;
    if (!store().memoryActive) {
        Work call = [item = itemOf(key)](SecretWorker::Job &job) { return SecretServiceCalls::lookup(item, job); };
        const auto outcome = co_await runInTurn(std::move(call), switchedToMemory, Caller::waitsForPrompts, deadline_);
        if (outcome->status != Outcome::Status::unavailable)
            co_return outcome->data;
    }
    const auto found = store().memoryItems.constFind(key);
    co_return found == store().memoryItems.constEnd() ? std::nullopt : std::optional(*found);
}

QCoro::Task<void> KeychainHelper::deleteItem(QString service, QString account)
{
    Work call = [item = itemOf({service, account})](SecretWorker::Job &job) { return SecretServiceCalls::clear(item, job); };
    co_await write({service, account}, std::nullopt, std::move(call), deadline_);
}

} // namespace hourloom

#include "KeychainHelper.moc"
