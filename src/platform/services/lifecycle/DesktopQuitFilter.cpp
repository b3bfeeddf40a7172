#include "DesktopQuitFilter.h"

#include "core/ports/TerminationProtocol.h"

#include <QEvent>

namespace hourloom {

DesktopQuitFilter::DesktopQuitFilter(QObject *application, TerminationProtocol &termination)
    : QObject(application)
    , termination_(termination)
{
    application->installEventFilter(this);
}

bool DesktopQuitFilter::eventFilter(QObject *watched, QEvent *event)
{
    // Qt's own quit goes through the window system too, so the quit events of the session
    // manager and of QCoreApplication::quit() look alike: what tells them apart is whether the
    // termination has begun.
    if (event->type() != QEvent::Quit || termination_.isTerminating())
        return QObject::eventFilter(watched, event);
    termination_.requestTermination();
    event->ignore();
    return true;
}

} // namespace hourloom
