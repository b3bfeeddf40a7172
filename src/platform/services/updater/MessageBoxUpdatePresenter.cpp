#include "MessageBoxUpdatePresenter.h"

#include <QDesktopServices>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTextDocumentFragment>

namespace hourloom {
namespace {

QMessageBox *messageBox(QMessageBox::Icon icon, const QString &text)
{
    auto *box = new QMessageBox(icon, QStringLiteral("Hourloom"), text);
    box->setAttribute(Qt::WA_DeleteOnClose);
    // The text carries versions from the update feed, which must not turn into markup.
    box->setTextFormat(Qt::PlainText);
    return box;
}

// QMessageBox guesses whether its informative text is rich text and opens any link in it: the
// format is set here instead, and only links the updater allowed are ever written as markup.
void showInformativeText(QMessageBox *box, const QString &text, Qt::TextFormat format)
{
    box->setInformativeText(text);
    if (auto *label = box->findChild<QLabel *>(QStringLiteral("qt_msgbox_informativelabel"))) {
        label->setTextFormat(format);
        if (format == Qt::RichText)
            label->setTextInteractionFlags(Qt::TextBrowserInteraction);
    }
}

} // namespace

void MessageBoxUpdatePresenter::showUpdateAvailable(const AppcastItem &item, const QString &currentVersion)
{
    QMessageBox *box = messageBox(QMessageBox::Information,
                                  QStringLiteral("Hourloom %1 is available. You have %2.").arg(item.displayVersion(), currentVersion));
    if (!item.descriptionHTML.isEmpty())
        showInformativeText(box, releaseNotesText(item.descriptionHTML), Qt::PlainText);
    else if (item.releaseNotesLink.isValid())
        showInformativeText(box,
                            QStringLiteral("<a href=\"%1\">Release notes</a>").arg(item.releaseNotesLink.toString(QUrl::FullyEncoded).toHtmlEscaped()),
                            Qt::RichText);
    QPushButton *download = box->addButton(QStringLiteral("Download"), QMessageBox::AcceptRole);
    box->addButton(QStringLiteral("Later"), QMessageBox::RejectRole);
    const QUrl page = item.downloadPage();
    QObject::connect(download, &QPushButton::clicked, box, [page] { QDesktopServices::openUrl(page); });
    box->open();
}

QString MessageBoxUpdatePresenter::releaseNotesText(const QString &html)
{
    return QTextDocumentFragment::fromHtml(html).toPlainText().trimmed();
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
