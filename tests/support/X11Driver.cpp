#include "X11Driver.h"

#include "platform/desktops/entries/DesktopEntryIndex.h"
#include "platform/desktops/x11/X11IdleSource.h"
#include "platform/desktops/x11/X11InputMonitor.h"
#include "platform/desktops/x11/X11Workspace.h"

#include <QCoreApplication>

namespace hourloom::test {

X11Driver::X11Driver()
{
    backendName = QStringLiteral("X11");
    hasEmptyDesktop = true;
    startsApplications = true;
    if (!desktop_.error().isEmpty())
        return;
    windows_ = {alphaWindow(desktop_.openWindow(QStringLiteral("xterm"), {QStringLiteral("-class"), QStringLiteral("Alpha")}, QStringLiteral("Alpha"))),
                TestWindow{desktop_.openWindow(QStringLiteral("xterm"), {}, QStringLiteral("XTerm")), QStringLiteral("XTerm"), QStringLiteral("debian-xterm")},
                TestWindow{desktop_.openWindow(QStringLiteral("xlogo"), {QStringLiteral("-xrm"), QStringLiteral("*input: true")}, QStringLiteral("XLogo")),
                           QStringLiteral("XLogo"), QStringLiteral("XLogo")}};
    if (std::any_of(windows_.begin(), windows_.end(), [](const TestWindow &window) { return window.handle.isEmpty(); }))
        error_ = QStringLiteral("the test windows did not open");
    // The window manager activates new windows on its own schedule: let that settle before the
    // tests make their own switches.
    XDesktop::spinFor(500);
}

bool X11Driver::showEmptyDesktop()
{
    // A click on the bare desktop leaves no window active.
    return desktop_.xdotool({QStringLiteral("mousemove"), QStringLiteral("1270"), QStringLiteral("790"), QStringLiteral("click"), QStringLiteral("1")});
}

bool X11Driver::pressKey()
{
    return desktop_.xdotool({QStringLiteral("key"), QStringLiteral("x")});
}

bool X11Driver::movePointer()
{
    return desktop_.xdotool({QStringLiteral("mousemove_relative"), QStringLiteral("5"), QStringLiteral("5")});
}

bool X11Driver::startFromTheApplications(const QString &entry, const QProcessEnvironment &session)
{
    return XDesktop::launch(entry, session);
}

QProcessEnvironment X11Driver::clientEnvironment() const
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    environment.remove(QStringLiteral("XDG_SESSION_TYPE"));
    environment.insert(QStringLiteral("DISPLAY"), desktop_.display());
    return environment;
}

PlatformBackend X11Driver::services(NotificationCenter &activations, double)
{
    connection_ = X11Connection::open(desktop_.display().toUtf8());
    if (!connection_)
        return {};
    return {std::make_shared<X11Workspace>(connection_, DesktopEntryIndex::fromSystem(), activations), std::make_shared<X11IdleSource>(connection_),
            std::make_shared<X11InputMonitor>(connection_)};
}

void X11Driver::settle()
{
    if (connection_)
        connection_->sync();
    QCoreApplication::sendPostedEvents();
}

} // namespace hourloom::test
