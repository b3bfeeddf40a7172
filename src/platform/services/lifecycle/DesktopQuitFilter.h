#pragma once

#include <QObject>

namespace hourloom {

class TerminationProtocol;

// The desktop's own requests to quit (an X11 session manager's "die" at log-out, which Qt turns
// into a quit of the application) take the agent's ordinary termination: the current session
// ends, the outbox is written and the final upload is tried before the main loop ends. Once that
// termination is under way a quit passes: its own at the end, or the desktop insisting.
class DesktopQuitFilter final : public QObject {
public:
    DesktopQuitFilter(QObject *application, TerminationProtocol &termination);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    TerminationProtocol &termination_;
};

} // namespace hourloom
