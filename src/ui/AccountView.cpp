#include "AccountView.h"

#include "Assets.h"
#include "ElidedLabel.h"
#include "PanelWidgets.h"
#include "PanelWork.h"

#include "core/Configuration.h"
#include "core/MenuPresentation.h"
#include "core/UserDefaults.h"

#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

namespace hourloom {
namespace {

// The account-page button's label: the service's address as people write it.
QString webAddress(const QUrl &url)
{
    return url.port() == -1 ? url.host() : QStringLiteral("%1:%2").arg(url.host()).arg(url.port());
}

} // namespace

AccountView::AccountView(PanelEnvironment environment, std::optional<QString> version, QWidget *parent)
    : QWidget(parent)
    , environment_(std::move(environment))
{
    QPalette background = palette();
    background.setColor(QPalette::Window, Assets::backgroundGray(palette()));
    setPalette(background);
    setAutoFillBackground(true);

    const QUrl activityURL = Configuration::rootURL();
    auto *accountLink = makeLinkButton(webAddress(activityURL), this);
    accountLink->setStyleSheet(QStringLiteral("padding: 5px;"));
    connect(accountLink, &QPushButton::clicked, this, [this, activityURL] { openPage(activityURL); });

    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(8, 8, 8, 8);
    column->addWidget(makeVersionRow(version));
    column->addWidget(makeLogo(this), 0, Qt::AlignHCenter);
    column->addWidget(accountLink, 0, Qt::AlignHCenter);
    column->addWidget(makeSeparator(this));
    column->addWidget(makeUserRow());
    chainTabOrder({settings_, accountLink, help_});

    connect(&UserDefaults::notifier(), &UserDefaultsNotifier::changed, this, [this](const QString &key) {
        if (key == UserDefaults::userNameKey)
            showUserName();
    });
}

QWidget *AccountView::makeVersionRow(const std::optional<QString> &version)
{
    auto *versionText = new QLabel(QStringLiteral("v ") + version.value_or(QStringLiteral("Unknown")), this);
    QFont footnote = versionText->font();
    footnote.setPointSizeF(footnote.pointSizeF() * 0.85);
    versionText->setFont(footnote);
    versionText->setForegroundRole(QPalette::PlaceholderText);

    auto *menu = new QMenu(this);
    // The scheduler finishes the log-out on its own; the panel switches once "loggedIn" drops.
    menu->addAction(QStringLiteral("Log Out"), this, [this] { environment_.work.logOut(); });
    menu->addAction(QStringLiteral("Quit"), this, [this] { environment_.work.quit(); });
    auto *settings = makeMenuButton(Assets::settingsSymbol(), QStringLiteral("Settings"), QStringLiteral("Settings Button"), menu, this);
    settings_ = settings;

    auto *row = new QWidget(this);
    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(versionText);
    layout->addStretch();
    layout->addWidget(settings);
    return row;
}

QWidget *AccountView::makeUserRow()
{
    auto *avatar = new QLabel(this);
    avatar->setPixmap(Assets::placeholderAvatar(25));

    userName_ = new ElidedLabel(this);
    QFont callout = userName_->font();
    callout.setWeight(QFont::DemiBold);
    userName_->setFont(callout);
    showUserName();

    const QUrl helpURL = Configuration::helpPage();
    auto *help = makeSymbolButton(Assets::helpSymbol(), QStringLiteral("Help"), QStringLiteral("Open Help Page"), this);
    connect(help, &QToolButton::clicked, this, [this, helpURL] { openPage(helpURL); });
    help_ = help;

    auto *row = new QWidget(this);
    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(avatar);
    layout->addWidget(userName_, 1);
    layout->addWidget(help);
    return row;
}

void AccountView::focusFirstControl()
{
    settings_->setFocus(Qt::ActiveWindowFocusReason);
}

void AccountView::openPage(const QUrl &url)
{
    environment_.openURL(url);
    environment_.menuPresentation.setMenuPresented(false);
}

void AccountView::showUserName()
{
    userName_->setText(UserDefaults::string(UserDefaults::userNameKey).value_or(QStringLiteral("User")));
}

} // namespace hourloom
