#pragma once

#include "PanelEnvironment.h"

#include <QPointer>
#include <QWidget>

class QLabel;
class QVBoxLayout;

namespace hourloom {

// The panel's content: the login screen while the user default "loggedIn" is false, the
// account view while it is true, switched the moment the default changes. Above either, what the
// user has to do before this desktop can be tracked, while there is something, and how to come
// back to the panel where the desktop shows no tray icon; below either, what a log-out or a quit
// is doing while it waits on the service.
class MenuBarView : public QWidget {
    Q_OBJECT
public:
    // loggedIn: the login controller's current state, stored as "loggedIn" right away.
    MenuBarView(PanelEnvironment environment, bool loggedIn, QWidget *parent = nullptr);

    // The screen on show: a LoginView or an AccountView.
    QWidget *content() const { return content_; }
    // The line telling what the desktop needs; hidden while it needs nothing.
    QLabel *setupHint() const { return setupHint_; }
    // Shows, above either screen, how to open the panel again on a desktop without a tray.
    void showComeBackHint();
    // Puts the keyboard focus on the screen's first control.
    void focusFirstControl();

private:
    void showContent();
    void showSetupHint();
    void showWork(const QString &status);
    QLabel *addLine(const QString &identifier);

    PanelEnvironment environment_;
    QVBoxLayout *layout_;
    QLabel *setupHint_;
    QLabel *comeBackHint_;
    QLabel *workLine_;
    QPointer<QWidget> content_;
    bool showingLoggedIn_ = false;
};

} // namespace hourloom
