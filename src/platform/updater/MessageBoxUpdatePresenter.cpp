#include "MessageBoxUpdatePresenter.h"

#include <QDesktopServices>
#include <QMessageBox>
#include <QPushButton>

namespace hourloom {
namespace {

QMessageBox *messageBox(QMessageBox::Icon icon, const QString &text)
{
    auto *box = new QMessageBox(icon, QStringLiteral("Hourloom"), text);
    box->setAttribute(Qt::WA_DeleteOnClose);
    return box;
}

} // namespace

void MessageBoxUpdatePresenter::showUpdateAvailable(const AppcastItem &item, const QString &currentVersion)
{
    QMessageBox *box = messageBox(QMessageBox::Information,
                                  QStringLiteral("Hourloom %1 is available. You have %2.").arg(item.displayVersion(), currentVersion));
    if (!item.descriptionHTML.isEmpty()) {
        box->setTextFormat(Qt::RichText);
        box->setInformativeText(item.descriptionHTML);
    } else if (item.releaseNotesLink.isValid()) {
        box->setTextFormat(Qt::RichText);
        box->setInformativeText(QStringLiteral("<a href=\"%1\">Release notes</a>").arg(item.releaseNotesLink.toString(QUrl::FullyEncoded)));
        box->setTextInteractionFlags(Qt::TextBrowserInteraction);
    }
    QPushButton *download = box->addButton(QStringLiteral("Download"), QMessageBox::AcceptRole);
    box->addButton(QStringLiteral("Later"), QMessageBox::RejectRole);
    const QUrl page = item.downloadPage();
    QObject::connect(download, &QPushButton::clicked, box, [page] { QDesktopServices::openUrl(page); });
    box->open();
}

void MessageBoxUpdatePresenter::showUpToDate(const QString &currentVersion)
{
    messageBox(QMessageBox::Information, QStringLiteral("Hourloom %1 is the newest version available.").arg(currentVersion))->open();
}

void MessageBoxUpdatePresenter::showFailure(UpdateCheckFailure failure)
{
    QString text;
    switch (failure) {
    case UpdateCheckFailure::NotConfigured:
        text = QStringLiteral("Updates are not configured for this build.");
        break;
    case UpdateCheckFailure::FeedUnreachable:
        text = QStringLiteral("The update server could not be reached. Please try again later.");
        break;
    case UpdateCheckFailure::FeedUnreadable:
        text = QStringLiteral("The update information could not be read. Please try again later.");
        break;
    }
    messageBox(QMessageBox::Warning, text)->open();
}

} // namespace hourloom
