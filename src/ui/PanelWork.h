#pragma once

#include <QObject>
#include <QString>

#include <qcoro/qcorotask.h>

#include <memory>

namespace hourloom {

class TerminationProtocol;
class UserActivityControllerProtocol;

// The panel's two commands that wait on the network, "Log Out" and "Quit": both send what was
// tracked first, which may take as long as the service takes to answer. The panel shows what
// runs meanwhile, and the process must not end under a log-out, or the access token would stay
// stored.
class PanelWork : public QObject {
    Q_OBJECT
public:
    // Both must outlive this object.
    PanelWork(std::shared_ptr<UserActivityControllerProtocol> userActivityController, TerminationProtocol &termination);

    // Starts the scheduler's log-out, unless one runs already.
    void logOut();
    // Asks the application to terminate; it ends once its final upload is done.
    void quit();

    bool isLoggingOut() const { return loggingOut_; }
    // What the panel says while a command runs, empty while none does.
    QString status() const;
    // Completes once no log-out runs.
    QCoro::Task<void> logOutFinished();

signals:
    void statusChanged(const QString &status);
    void logOutDone();

private:
    QCoro::Task<void> runLogOut();

    std::shared_ptr<UserActivityControllerProtocol> userActivityController_;
    TerminationProtocol &termination_;
    bool loggingOut_ = false;
    bool quitting_ = false;
};

} // namespace hourloom
