#include "SessionOutbox.h"

#include "core/Configuration.h"
#include "core/Log.h"
#include "core/UserDefaults.h"
#include "model/AppSession.h"
#include "model/WebSession.h"
#include "tracking/SessionBatchControllerProtocol.h"

#include <QCoreApplication>
#include <QSet>

namespace hourloom {

SessionOutbox::SessionOutbox(std::shared_ptr<OutboxProtocol> store, KeyProvider currentKey)
    : store_(std::move(store))
    , currentKey_(std::move(currentKey))
{
}

SessionOutbox::KeyProvider SessionOutbox::storedAccount()
{
    return [] { return OutboxKey{UserDefaults::string(UserDefaults::userNameKey).value_or(QString()), Configuration::environment()}; };
}

OutboxKey SessionOutbox::key()
{
    OutboxKey now = currentKey_();
    if (key_ != now) {
        written_.clear();
        key_ = now;
    }
    return now;
}

void SessionOutbox::scheduleWrite()
{
    if (writeScheduled_)
        return;
    writeScheduled_ = true;
    const std::weak_ptr<SessionOutbox> weakSelf = weak_from_this();
    QMetaObject::invokeMethod(QCoreApplication::instance(), [weakSelf] {
        if (const auto self = weakSelf.lock())
            self->writeEnded();
    }, Qt::QueuedConnection);
}

void SessionOutbox::writeEnded()
{
    writeScheduled_ = false;
    if (const auto controller = controller_.lock())
        write(controller->sessionBatch()->appSessions(), nullptr, {});
}

void SessionOutbox::checkpoint(const QDateTime &now)
{
    writeScheduled_ = false;
    const auto controller = controller_.lock();
    if (!controller)
        return;
    const AppSessionList &sessions = controller->sessionBatch()->appSessions();
    const auto open = std::find_if(sessions.cbegin(), sessions.cend(), [](const auto &session) { return session->isActive(); });
    // A session enters the store once it has lasted the shortest session kept: a younger one may
    // yet be dropped, and the next start would send what the agent never booked.
    const bool kept = open != sessions.cend() && !controller->isCurrentSessionYoungerThanMinimum(now);
    write(sessions, kept ? *open : nullptr, now);
}

void SessionOutbox::forget(const AppSessionProtocol &session)
{
    const auto stored = written_.constFind(session.id());
    if (stored == written_.cend())
        return;
    store_->remove(key(), {{session.id(), *stored}});
    written_.erase(stored);
}

void SessionOutbox::write(const AppSessionList &sessions, const std::shared_ptr<AppSessionProtocol> &open, const QDateTime &now)
{
    const OutboxKey outboxKey = key();
    QList<OutboxAppSession> changed;
    for (const auto &session : sessions) {
        const std::optional<QDateTime> end = session->endTime();
        if (end && written_.value(session->id()) != *end)
            changed.append(record(*session, *end));
    }
    if (open)
        changed.append(record(*open, now));
    if (changed.isEmpty())
        return;
    const bool saved = store_->save(outboxKey, changed);
    qCDebug(lcOutbox) << (saved ? "wrote" : "could not write") << changed.size() << "sessions" << (open ? "(with the open one)" : "");
    if (!saved)
        return;
    for (const OutboxAppSession &session : std::as_const(changed))
        written_.insert(session.id, session.endTime);
}

void SessionOutbox::removeSent(const UploadedSessions &sent)
{
    if (sent.endedAppSessions.isEmpty())
        return;
    store_->remove(key(), sent.endedAppSessions);
    for (auto session = sent.endedAppSessions.cbegin(); session != sent.endedAppSessions.cend(); ++session) {
        if (written_.value(session.key()) == session.value())
            written_.remove(session.key());
    }
}

OutboxProtocol::Trimmed SessionOutbox::trim()
{
    return store_->trim(key(), maxWaitingSessions, QDateTime::currentDateTime().addDays(-maxAgeDays));
}

AppSessionList SessionOutbox::restore(const AppSessionList &inBatch)
{
    const OutboxKey outboxKey = key();
    QSet<QUuid> held;
    for (const auto &session : inBatch)
        held.insert(session->id());
    AppSessionList restored;
    for (const OutboxAppSession &stored : store_->waiting(outboxKey)) {
        if (held.contains(stored.id))
            continue;
        written_.insert(stored.id, stored.endTime);
        restored.append(appSession(stored));
    }
    return restored;
}

OutboxAppSession SessionOutbox::record(const AppSessionProtocol &session, const QDateTime &openEnd)
{
    OutboxAppSession stored{session.id(), session.startTime(), session.endTime().value_or(openEnd), session.appName(),
                            session.bundleIdentifier(), {}};
    for (const auto &web : session.webSessions())
        stored.webSessions.append({web->id(), web->startTime(), web->endTime().value_or(openEnd), web->webDomain()->domain()});
    return stored;
}

std::shared_ptr<AppSessionProtocol> SessionOutbox::appSession(const OutboxAppSession &stored)
{
    auto session = std::make_shared<AppSession>(stored.appName, stored.appIdentifier);
    session->setId(stored.id);
    session->setStartTime(stored.startTime);
    session->setEndTime(stored.endTime);
    WebSessionList webSessions;
    for (const OutboxWebSession &storedWeb : stored.webSessions) {
        auto web = std::make_shared<WebSession>(storedWeb.domain);
        web->setId(storedWeb.id);
        web->setStartTime(storedWeb.startTime);
        web->setEndTime(storedWeb.endTime);
        webSessions.append(std::move(web));
    }
    session->setWebSessions(std::move(webSessions));
    return session;
}

} // namespace hourloom
