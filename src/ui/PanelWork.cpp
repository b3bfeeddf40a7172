#include "PanelWork.h"

#include "core/ports/TerminationProtocol.h"
#include "upload/UserActivityControllerProtocol.h"

#include <QPointer>

#include <qcoro/qcorosignal.h>

namespace hourloom {

PanelWork::PanelWork(std::shared_ptr<UserActivityControllerProtocol> userActivityController, TerminationProtocol &termination)
    : userActivityController_(std::move(userActivityController))
    , termination_(termination)
{
}

void PanelWork::logOut()
{
    if (loggingOut_)
        return;
    loggingOut_ = true;
    emit statusChanged(status());
    runLogOut();
}

QCoro::Task<void> PanelWork::runLogOut()
{
    const QPointer<PanelWork> self(this);
    const auto controller = userActivityController_;
    co_await controller->logOut();
    if (!self)
        co_return;
    loggingOut_ = false;
    emit statusChanged(status());
    emit logOutDone();
}

void PanelWork::quit()
{
    if (!quitting_) {
        quitting_ = true;
        emit statusChanged(status());
    }
    termination_.requestTermination();
}

QString PanelWork::status() const
{
    if (quitting_)
        return QStringLiteral("Sending the time tracked so far, then quitting\u2026");
    if (loggingOut_)
        return QStringLiteral("Sending the time tracked so far, then logging out\u2026");
    return {};
}

QCoro::Task<void> PanelWork::logOutFinished()
{
    if (loggingOut_)
        co_await qCoro(this, &PanelWork::logOutDone);
}

} // namespace hourloom
