#include "PanelAccessibles.h"

#include "MenuPanel.h"
#include "PanelWidgets.h"

#include <QAccessibleWidget>
#include <QMenu>

namespace hourloom {
namespace {

class MenuButtonAccessible : public QAccessibleWidget {
public:
    explicit MenuButtonAccessible(QToolButton *button)
        : QAccessibleWidget(button, QAccessible::ButtonMenu)
    {
    }

    int childCount() const override { return button()->menu() ? 1 : 0; }
    QAccessibleInterface *child(int index) const override { return index == 0 ? QAccessible::queryAccessibleInterface(button()->menu()) : nullptr; }
    int indexOfChild(const QAccessibleInterface *child) const override { return child && child->object() == button()->menu() ? 0 : -1; }

    QStringList actionNames() const override
    {
        return button()->menu() ? QStringList{showMenuAction()} + QAccessibleWidget::actionNames() : QAccessibleWidget::actionNames();
    }
    void doAction(const QString &actionName) override
    {
        // The menu runs a loop of its own: not inside the screen reader's call.
        if (actionName == showMenuAction())
            QMetaObject::invokeMethod(button(), &QToolButton::showMenu, Qt::QueuedConnection);
        else
            QAccessibleWidget::doAction(actionName);
    }

private:
    QToolButton *button() const { return static_cast<QToolButton *>(widget()); }
};

QAccessibleInterface *panelAccessible(const QString &className, QObject *object)
{
    // Qt gives a plain top-level widget no window role: screen readers would not tell the panel
    // from a pane inside a window.
    if (className == QLatin1String(MenuPanel::staticMetaObject.className()))
        return new QAccessibleWidget(static_cast<QWidget *>(object), QAccessible::Window);
    if (className == QLatin1String(MenuButton::staticMetaObject.className()))
        return new MenuButtonAccessible(static_cast<QToolButton *>(object));
    return nullptr;
}

} // namespace

void installPanelAccessibles()
{
    static const bool installed = (QAccessible::installFactory(panelAccessible), true);
    Q_UNUSED(installed);
}

} // namespace hourloom
