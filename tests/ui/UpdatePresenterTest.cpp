// What the update message box shows of a feed's texts.
#include "platform/services/updater/MessageBoxUpdatePresenter.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>

#include <gtest/gtest.h>

using namespace hourloom;

TEST(MessageBoxUpdatePresenter, FeedTextsAreShownAsPlainTextWithoutLinks)
{
    AppcastItem item;
    item.version = QStringLiteral("2.0");
    item.shortVersionString = QStringLiteral(R"(<a href="file:///etc/passwd">2.0</a>)");
    item.descriptionHTML = QStringLiteral(R"(<h2>Hourloom 2.0</h2><p>Fixes <a href="smb://attacker.example/share">this</a>.</p><img src="file:///tmp/x.png">)");
    item.downloadURL = QUrl(QStringLiteral("https://hourloom.example/2.0.tar.gz"));

    MessageBoxUpdatePresenter().showUpdateAvailable(item, QStringLiteral("1.0"));
    QMessageBox *box = nullptr;
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (auto *found = qobject_cast<QMessageBox *>(widget))
            box = found;
    }
    ASSERT_TRUE(box);
    const auto *text = box->findChild<QLabel *>(QStringLiteral("qt_msgbox_label"));
    const auto *notes = box->findChild<QLabel *>(QStringLiteral("qt_msgbox_informativelabel"));
    ASSERT_TRUE(text);
    ASSERT_TRUE(notes);
    EXPECT_EQ(text->textFormat(), Qt::PlainText);
    EXPECT_EQ(notes->textFormat(), Qt::PlainText);
    EXPECT_TRUE(notes->text().contains(QStringLiteral("Fixes this."))) << qPrintable(notes->text());
    EXPECT_FALSE(notes->text().contains(u'<')) << qPrintable(notes->text());
    EXPECT_FALSE(notes->text().contains(QStringLiteral("smb:"))) << qPrintable(notes->text());
    delete box;
}
