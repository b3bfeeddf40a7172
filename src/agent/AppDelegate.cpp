#include "AppDelegate.h"

#include "tracking/SessionBatchControllerProtocol.h"
#include "upload/UserActivityControllerProtocol.h"

#include <QCoreApplication>
#include <QMetaObject>

namespace hourloom {

AppDelegate::TerminationReply AppDelegate::defaultReply()
{
    return [] { QCoreApplication::quit(); };
}

AppDelegate::AppDelegate(TerminationReply replyToApplication)
    : replyToApplication_(std::move(replyToApplication))
{
}

void AppDelegate::requestTermination()
{
    if (terminating_)
        return;
    terminating_ = true;
    applicationShouldTerminate();
}

QCoro::Task<void> AppDelegate::applicationShouldTerminate()
{
    const auto self = shared_from_this();
    if (const auto controller = userActivityController) {
        controller->sessionBatchController()->endCurrentSession();
        co_await controller->uploadSessionBatch();
        controller->stopTracking();
    }
    // The reply goes through the main loop, after this coroutine has finished with the controller.
    QMetaObject::invokeMethod(QCoreApplication::instance(), [reply = replyToApplication_] { reply(); }, Qt::QueuedConnection);
}

} // namespace hourloom
