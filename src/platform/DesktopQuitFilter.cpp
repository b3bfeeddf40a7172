#include "DesktopQuitFilter.h"

#include "app/TerminationProtocol.h"

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
    // The window system's requests arrive as spontaneous events; QCoreApplication::quit() sends
    // its own quit event directly.
    if (event->type() != QEvent::Quit || !event->spontaneous())
        return QObject::eventFilter(watched, event);
    termination_.requestTermination();
    event->ignore();
    return true;
}

} // namespace hourloom
