#pragma once

#include <QCoreApplication>

namespace hourloom {

// Runs the work on the main loop at its next turn; callable from any thread.
template<typename Work>
void postToMainLoop(Work work)
{
    QMetaObject::invokeMethod(QCoreApplication::instance(), std::move(work), Qt::QueuedConnection);
}

} // namespace hourloom
