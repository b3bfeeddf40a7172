#pragma once

#include "X11Connection.h"
#include "core/NotificationCenter.h"
#include "core/ports/WorkspaceProtocol.h"
#include "platform/desktops/entries/ActivationAnnouncer.h"
#include "platform/desktops/entries/DesktopEntryIndex.h"

namespace hourloom {

// The frontmost application of an X11 desktop, from the window manager's _NET_ACTIVE_WINDOW.
// Every change of application (not of window, and never to "no window") is posted to the
// notification center as an activation, without polling.
class X11Workspace final : public WorkspaceProtocol {
public:
    X11Workspace(std::shared_ptr<X11Connection> connection, DesktopEntryIndex desktopEntries, NotificationCenter &center);

    // What it answers is also what the next activation is compared with: an application the
    // caller already knows of is not announced again as a switch.
    std::optional<RunningApplication> frontmostApplication() const override;

private:
    void handle(const xcb_generic_event_t &event);
    std::optional<RunningApplication> activeApplication() const;
    std::optional<xcb_window_t> activeWindow() const;
    // None when the window is gone by the time it is asked about.
    std::optional<WindowFacts> factsOf(xcb_window_t window) const;

    std::shared_ptr<X11Connection> connection_;
    DesktopEntryIndex desktopEntries_;
    mutable ActivationAnnouncer announcer_;
    xcb_atom_t activeWindowAtom_;
};

} // namespace hourloom
