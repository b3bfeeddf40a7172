#pragma once

#include "PanelEnvironment.h"

#include <QPointer>
#include <QWidget>

class QVBoxLayout;

namespace hourloom {

// The panel's content: the login screen while the user default "loggedIn" is false, the
// account view while it is true, switched the moment the default changes.
class MenuBarView : public QWidget {
    Q_OBJECT
public:
    // loggedIn: the login controller's current state, stored as "loggedIn" right away.
    MenuBarView(PanelEnvironment environment, bool loggedIn, QWidget *parent = nullptr);

    // The screen on show: a LoginView or an AccountView.
    QWidget *content() const { return content_; }

private:
    void showContent();

    PanelEnvironment environment_;
    QVBoxLayout *layout_;
    QPointer<QWidget> content_;
    bool showingLoggedIn_ = false;
};

} // namespace hourloom
