#pragma once

#include "core/MenuPresentation.h"
#include "ui/PanelEnvironment.h"

#include "support/FakeApplicationServices.h"
#include "support/FakeControllers.h"

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
        return PanelEnvironment{presentation, userActivity, termination, [this](const QUrl &url) { openedURLs.append(url); }};
    }

    MenuPresentation presentation;
    std::shared_ptr<FakeUserActivityController> userActivity = std::make_shared<FakeUserActivityController>();
    FakeTermination termination;
    QList<QUrl> openedURLs;
};

// The child widget that assistive tools know by this name.
template <typename Widget = QWidget>
Widget *findByAccessibleName(const QWidget &root, const QString &name)
{
    for (Widget *widget : root.findChildren<Widget *>())
        if (widget->accessibleName() == name)
            return widget;
    return nullptr;
}

} // namespace hourloom::test
