#pragma once

#include "PanelEnvironment.h"

#include <QPointer>
#include <QWidget>

class QLabel;
class QVBoxLayout;

namespace hourloom {

// The panel's content: the login screen while the user default "loggedIn" is false, the
// account view while it is true, switched the moment the default changes. Above either, what the
// user has to do before this desktop can be tracked, while there is something.
class MenuBarView : public QWidget {
    Q_OBJECT
public:
    // loggedIn: the login controller's current state, stored as "loggedIn" right away.
    MenuBarView(PanelEnvironment environment, bool loggedIn, QWidget *parent = nullptr);

    // The screen on show: a LoginView or an AccountView.
    QWidget *content() const { return content_; }
    // The line telling what the desktop needs; hidden while it needs nothing.
    QLabel *setupHint() const { return setupHint_; }

private:
    void showContent();
    void showSetupHint();

    PanelEnvironment environment_;
    QVBoxLayout *layout_;
    QLabel *setupHint_;
    QPointer<QWidget> content_;
    bool showingLoggedIn_ = false;
};

} // namespace hourloom
