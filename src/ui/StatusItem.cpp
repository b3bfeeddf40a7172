#include "StatusItem.h"

#include "Assets.h"
#include "CheckForUpdatesView.h"
#include "MenuBarView.h"
#include "MenuPanel.h"

#include "core/MenuPresentation.h"
#include "core/ports/TerminationProtocol.h"
#include "core/UserDefaults.h"
#include "auth/AuthControllerProtocol.h"
#include "upload/UserActivityControllerProtocol.h"

#include <QMenu>
#include <QSystemTrayIcon>

namespace hourloom {

StatusItem::StatusItem(MenuPresentation &menuPresentation, std::shared_ptr<UserActivityControllerProtocol> userActivityController,
                       UpdaterProtocol &updater, TerminationProtocol &termination, OpenURL openURL, QObject *parent)
    : QObject(parent)
    , menuPresentation_(menuPresentation)
    , contextMenu_(std::make_unique<QMenu>())
    , trayIcon_(new QSystemTrayIcon(this))
{
    const auto authController = userActivityController->authController();
    const bool loggedIn = authController->loggedIn();
    auto *content = new MenuBarView(PanelEnvironment{menuPresentation, std::move(userActivityController), termination, std::move(openURL)},
                                    loggedIn);
    panel_ = std::make_unique<MenuPanel>(menuPresentation, content);

    contextMenu_->addAction(new CheckForUpdatesView(updater, contextMenu_.get()));
    contextMenu_->addSeparator();
    contextMenu_->addAction(QStringLiteral("Quit"), this, [&termination] { termination.requestTermination(); });

    trayIcon_->setToolTip(QStringLiteral("Hourloom"));
    trayIcon_->setContextMenu(contextMenu_.get());
    showLoginState();
    connect(&UserDefaults::notifier(), &UserDefaultsNotifier::changed, this, [this, authController](const QString &key) {
        if (key != UserDefaults::loggedInKey)
            return;
        showLoginState();
        // A login the service refused: the panel asks for a new one at once.
        if (!UserDefaults::boolean(UserDefaults::loggedInKey) && authController->sessionExpired())
            openPanel();
    });
    connect(trayIcon_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger)
            togglePanel();
    });
}

StatusItem::~StatusItem() = default;

void StatusItem::show()
{
    trayIcon_->show();
}

void StatusItem::showLoginState()
{
    trayIcon_->setIcon(Assets::statusBarIcon(UserDefaults::boolean(UserDefaults::loggedInKey)));
}

void StatusItem::togglePanel()
{
    if (menuPresentation_.isMenuPresented())
        menuPresentation_.setMenuPresented(false);
    else
        openPanel();
}

void StatusItem::openPanel()
{
    // Only an XEmbed tray tells where the icon is. A StatusNotifierItem host (the tray of Wayland
    // desktops) does not: Qt drops the position its activation carries, so the geometry is empty
    // and the panel opens at the screen's top-right corner.
    panel_->setAnchor(trayIcon_->geometry());
    menuPresentation_.setMenuPresented(true);
}

} // namespace hourloom
