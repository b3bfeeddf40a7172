#pragma once

#include "PanelEnvironment.h"

#include <QString>
#include <QWidget>

#include <optional>

class QPushButton;
class QToolButton;

namespace hourloom {

class ElidedLabel;

// The panel's content while logged in: the version and the settings menu ("Log Out", "Quit"),
// the logo, a link to the account page, and the user's name with a link to the help page.
class AccountView : public QWidget {
    Q_OBJECT
public:
    // version: the installed version ("CFBundleShortVersionString"), none when the build has
    // none.
    AccountView(PanelEnvironment environment, std::optional<QString> version, QWidget *parent = nullptr);

    // Puts the keyboard focus on the first control, the settings menu.
    void focusFirstControl();

private:
    QWidget *makeVersionRow(const std::optional<QString> &version);
    QWidget *makeUserRow();
    // Opens a page of the service, then closes the panel.
    void openPage(const QUrl &url);
    void showUserName();

    PanelEnvironment environment_;
    QToolButton *settings_ = nullptr;
    QToolButton *help_ = nullptr;
    ElidedLabel *userName_ = nullptr;
};

} // namespace hourloom
