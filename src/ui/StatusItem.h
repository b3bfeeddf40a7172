#pragma once

#include "OpenURL.h"

#include <QObject>

#include <memory>

class QMenu;
class QSystemTrayIcon;

namespace hourloom {

class MenuPanel;
class MenuPresentation;
class TerminationProtocol;
class UpdaterProtocol;
class UserActivityControllerProtocol;

// The agent's tray icon titled "Hourloom", with the panel it opens. The icon shows whether a
// login is stored and follows the user default "loggedIn"; activating it opens or closes the
// panel; its context menu holds "Check for Updates…" and "Quit".
class StatusItem : public QObject {
    Q_OBJECT
public:
    // The panel starts with the login state of the scheduler's login controller. The menu
    // presentation, the updater and the termination request must outlive the item.
    StatusItem(MenuPresentation &menuPresentation, std::shared_ptr<UserActivityControllerProtocol> userActivityController,
               UpdaterProtocol &updater, TerminationProtocol &termination, OpenURL openURL = systemOpenURL(),
               QObject *parent = nullptr);
    ~StatusItem() override;

    // Puts the icon into the tray.
    void show();
    // Opens the panel below the icon, as activating the icon does; an open panel stays open.
    void openPanel();

    MenuPanel &panel() const { return *panel_; }

private:
    void showLoginState();
    void togglePanel();

    MenuPresentation &menuPresentation_;
    std::unique_ptr<QMenu> contextMenu_;
    std::unique_ptr<MenuPanel> panel_;
    QSystemTrayIcon *trayIcon_;
};

} // namespace hourloom
