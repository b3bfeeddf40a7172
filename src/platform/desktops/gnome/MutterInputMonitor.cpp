#include "MutterInputMonitor.h"

#include "MutterIdleMonitor.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

namespace hourloom {
namespace {

constexpr int watchRequestTimeoutMs = 5000;

std::optional<InputEventType> firstTypeIn(std::uint64_t mask)
{
    for (InputEventType type : {InputEventType::mouseMoved, InputEventType::keyDown, InputEventType::beginGesture,
                                InputEventType::scrollWheel, InputEventType::changeMode}) {
        if (mask & eventMask(type))
            return type;
    }
    return std::nullopt;
}

QDBusMessage idleMonitorCall(const QString &method)
{
    using namespace MutterIdleMonitor;
    return QDBusMessage::createMethodCall(service, corePath, interface, method);
}

} // namespace

MutterInputMonitor::MutterInputMonitor(QDBusConnection bus)
    : bus_(std::move(bus))
{
    // Mutter sends WatchFired to the watch's owner only.
    using namespace MutterIdleMonitor;
    bus_.connect(service, corePath, interface, QStringLiteral("WatchFired"), this, SLOT(watchFired(uint)));
}

MutterInputMonitor::~MutterInputMonitor()
{
    removeWatch();
}

std::optional<MonitorToken> MutterInputMonitor::addGlobalMonitorForEvents(std::uint64_t mask, Handler handler)
{
    if (!bus_.isConnected())
        return std::nullopt;
    const MonitorToken token = nextToken_++;
    monitors_.emplace(token, std::make_pair(mask, std::move(handler)));
    addWatch();
    return token;
}

void MutterInputMonitor::removeMonitor(MonitorToken token)
{
    if (monitors_.erase(token) && monitors_.empty())
        removeWatch();
}

void MutterInputMonitor::addWatch()
{
    // A watch costs the idle desktop nothing, yet it is only held while some monitor wants it.
    if (watch_ || requesting_ || monitors_.empty())
        return;
    requesting_ = true;
    auto *call = new QDBusPendingCallWatcher(bus_.asyncCall(idleMonitorCall(QStringLiteral("AddUserActiveWatch")), watchRequestTimeoutMs), this);
    connect(call, &QDBusPendingCallWatcher::finished, this, [this, generation = generation_](QDBusPendingCallWatcher *call) {
        call->deleteLater();
        requesting_ = false;
        const QDBusPendingReply<uint> reply = *call;
        if (reply.isError()) {
            // Nobody can tell of the user's return now: take it as having happened, rather than
            // staying idle for good. The idle poll finds out again whether the user is there.
            tellMonitors();
            return;
        }
        if (generation == generation_ && !monitors_.empty()) {
            watch_ = reply.value();
            return;
        }
        QDBusMessage remove = idleMonitorCall(QStringLiteral("RemoveWatch"));
        remove << reply.value();
        bus_.asyncCall(remove, watchRequestTimeoutMs);
        addWatch();
    });
}

void MutterInputMonitor::removeWatch()
{
    ++generation_;
    if (!watch_)
        return;
    QDBusMessage remove = idleMonitorCall(QStringLiteral("RemoveWatch"));
    remove << *watch_;
    bus_.asyncCall(remove, watchRequestTimeoutMs);
    watch_.reset();
}

void MutterInputMonitor::watchFired(uint watch)
{
    if (!watch_ || watch != *watch_)
        return;
    // The watch fired once and is gone on Mutter's side: monitors that stay want another.
    watch_.reset();
    tellMonitors();
    addWatch();
}

void MutterInputMonitor::tellMonitors()
{
    // A handler may remove its own monitor (or all of them): call a snapshot.
    std::vector<std::pair<InputEventType, Handler>> handlers;
    for (const auto &[token, monitor] : monitors_) {
        if (const auto type = firstTypeIn(monitor.first))
            handlers.emplace_back(*type, monitor.second);
    }
    for (const auto &[type, handler] : handlers)
        handler(InputEvent{type});
}

} // namespace hourloom
