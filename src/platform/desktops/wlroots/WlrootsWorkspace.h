#pragma once

#include "core/NotificationCenter.h"
#include "platform/desktops/entries/ActivationAnnouncer.h"
#include "core/ports/WorkspaceProtocol.h"
#include "platform/desktops/entries/DesktopEntryIndex.h"
#include "platform/desktops/wayland/WaylandConnection.h"

#include <memory>
#include <vector>

struct zwlr_foreign_toplevel_manager_v1;
struct zwlr_foreign_toplevel_handle_v1;

namespace hourloom {

// The frontmost application of a wlroots compositor (sway, Hyprland, river, ...): the toplevel
// window in the activated state, from zwlr_foreign_toplevel_manager_v1. Every change of
// application (not of window, and never to "no window") is posted to the notification center as
// an activation, without polling.
class WlrootsWorkspace final : public WorkspaceProtocol {
public:
    // None when the compositor does not offer the toplevel manager. Returns knowing the windows
    // open now, without announcing the one that is active.
    static std::shared_ptr<WlrootsWorkspace> watch(std::shared_ptr<WaylandConnection> connection, DesktopEntryIndex desktopEntries,
                                                   NotificationCenter &center);
    ~WlrootsWorkspace() override;

    // What it answers is also what the next activation is compared with: an application the
    // caller already knows of is not announced again as a switch.
    std::optional<RunningApplication> frontmostApplication() const override;

    // The application of a window with this Wayland app_id (for Xwayland windows, the WM_CLASS
    // class): by desktop-file id, StartupWMClass, or the id's last part; else the app_id itself.
    static RunningApplication describeAppId(const DesktopEntryIndex &desktopEntries, const QString &appId);

    struct Toplevel;

private:
    WlrootsWorkspace(std::shared_ptr<WaylandConnection> connection, DesktopEntryIndex desktopEntries, NotificationCenter &center);
    void add(zwlr_foreign_toplevel_handle_v1 *handle);
    void settled(Toplevel &toplevel);
    void closed(Toplevel &toplevel);
    std::optional<RunningApplication> activeApplication() const;

    std::shared_ptr<WaylandConnection> connection_;
    DesktopEntryIndex desktopEntries_;
    mutable ActivationAnnouncer announcer_;
    zwlr_foreign_toplevel_manager_v1 *manager_ = nullptr;
    std::vector<std::unique_ptr<Toplevel>> toplevels_;
    Toplevel *active_ = nullptr;
    bool announcing_ = false;
};

} // namespace hourloom
