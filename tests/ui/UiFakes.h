#pragma once

#include "core/MenuPresentation.h"
#include "ui/PanelEnvironment.h"
#include "ui/PanelWork.h"

#include "support/FakeApplicationServices.h"
#include "support/FakeControllers.h"

#include <QMenu>
#include <QPushButton>
#include <QUrl>
#include <QWidget>

namespace hourloom::test {

// The collaborators of one panel, and the pages it opened.
struct PanelHarness {
    PanelHarness()
    {
        UserDefaults::remove(UserDefaults::userNameKey);
        UserDefaults::remove(UserDefaults::loggedInKey);
    }

    PanelEnvironment environment()
    {
        return PanelEnvironment{presentation, userActivity, work, [this](const QUrl &url) { openedURLs.append(url); }};
    }

    MenuPresentation presentation;
    std::shared_ptr<FakeUserActivityController> userActivity = std::make_shared<FakeUserActivityController>();
    FakeTermination termination;
    PanelWork work{userActivity, termination};
    QList<QUrl> openedURLs;
};

// The child widget that tests and automation know by this identifier (its object name).
template <typename Widget = QWidget>
Widget *findByIdentifier(const QWidget &root, const QString &identifier)
{
    return root.findChild<Widget *>(identifier);
}

// The push button showing this text, or the menu's entry with it; none when there is none.
inline QPushButton *buttonWithText(const QWidget &root, const QString &text)
{
    for (QPushButton *candidate : root.findChildren<QPushButton *>())
        if (candidate->text() == text)
            return candidate;
    return nullptr;
}
inline QAction *entryWithText(const QMenu *menu, const QString &text)
{
    for (QAction *action : menu ? menu->actions() : QList<QAction *>())
        if (action->text() == text)
            return action;
    return nullptr;
}

} // namespace hourloom::test
