#include "WlrootsWorkspace.h"

#include "wlr-foreign-toplevel-management-unstable-v1-client-protocol.h"

#include "platform/desktops/entries/DesktopApplication.h"

#include <wayland-client.h>

#include <algorithm>

namespace hourloom {

// A window as the compositor last described it. The compositor sends changes one by one and then
// "done": only then do they hold together.
struct WlrootsWorkspace::Toplevel {
    WlrootsWorkspace *workspace = nullptr;
    zwlr_foreign_toplevel_handle_v1 *handle = nullptr;
    QString appId;
    bool activated = false;
    QString pendingAppId;
    bool pendingActivated = false;
};

namespace {

bool holdsActivated(const wl_array *states)
{
    const auto *begin = static_cast<const uint32_t *>(states->data);
    const auto *end = begin + states->size / sizeof(uint32_t);
    return std::find(begin, end, uint32_t(ZWLR_FOREIGN_TOPLEVEL_HANDLE_V1_STATE_ACTIVATED)) != end;
}

WlrootsWorkspace::Toplevel &toplevelOf(void *data)
{
    return *static_cast<WlrootsWorkspace::Toplevel *>(data);
}

} // namespace

std::shared_ptr<WlrootsWorkspace> WlrootsWorkspace::watch(std::shared_ptr<WaylandConnection> connection, DesktopEntryIndex desktopEntries,
                                                          NotificationCenter &center)
{
    std::shared_ptr<WlrootsWorkspace> workspace(new WlrootsWorkspace(std::move(connection), std::move(desktopEntries), center));
    // Version 3 is the newest this code knows; nothing here needs more than version 1.
    workspace->manager_ = static_cast<zwlr_foreign_toplevel_manager_v1 *>(
        workspace->connection_->bind(zwlr_foreign_toplevel_manager_v1_interface, 3));
    if (!workspace->manager_)
        return nullptr;
    static const zwlr_foreign_toplevel_manager_v1_listener listener = {
        [](void *self, zwlr_foreign_toplevel_manager_v1 *, zwlr_foreign_toplevel_handle_v1 *handle) {
            static_cast<WlrootsWorkspace *>(self)->add(handle);
        },
        [](void *, zwlr_foreign_toplevel_manager_v1 *) {},
    };
    zwlr_foreign_toplevel_manager_v1_add_listener(workspace->manager_, &listener, workspace.get());
    // The windows open now arrive with their state before the answer.
    workspace->connection_->roundtrip();
    workspace->announcing_ = true;
    return workspace;
}

WlrootsWorkspace::WlrootsWorkspace(std::shared_ptr<WaylandConnection> connection, DesktopEntryIndex desktopEntries, NotificationCenter &center)
    : connection_(std::move(connection))
    , desktopEntries_(std::move(desktopEntries))
    , announcer_(center)
{
}

WlrootsWorkspace::~WlrootsWorkspace()
{
    for (const auto &toplevel : toplevels_)
        zwlr_foreign_toplevel_handle_v1_destroy(toplevel->handle);
    if (manager_)
        zwlr_foreign_toplevel_manager_v1_destroy(manager_);
}

RunningApplication WlrootsWorkspace::describeAppId(const DesktopEntryIndex &desktopEntries, const QString &appId)
{
    if (appId.isEmpty())
        return {};
    WindowFacts facts;
    facts.applicationId = appId;
    facts.wmClassClass = appId;
    return describeApplication(desktopEntries, facts);
}

void WlrootsWorkspace::add(zwlr_foreign_toplevel_handle_v1 *handle)
{
    static const zwlr_foreign_toplevel_handle_v1_listener listener = {
        /* title */ [](void *, zwlr_foreign_toplevel_handle_v1 *, const char *) {},
        /* app_id */ [](void *data, zwlr_foreign_toplevel_handle_v1 *, const char *appId) { toplevelOf(data).pendingAppId = QString::fromUtf8(appId); },
        /* output_enter */ [](void *, zwlr_foreign_toplevel_handle_v1 *, wl_output *) {},
        /* output_leave */ [](void *, zwlr_foreign_toplevel_handle_v1 *, wl_output *) {},
        /* state */ [](void *data, zwlr_foreign_toplevel_handle_v1 *, wl_array *states) { toplevelOf(data).pendingActivated = holdsActivated(states); },
        /* done */ [](void *data, zwlr_foreign_toplevel_handle_v1 *) { toplevelOf(data).workspace->settled(toplevelOf(data)); },
        /* closed */ [](void *data, zwlr_foreign_toplevel_handle_v1 *) { toplevelOf(data).workspace->closed(toplevelOf(data)); },
        /* parent */ [](void *, zwlr_foreign_toplevel_handle_v1 *, zwlr_foreign_toplevel_handle_v1 *) {},
    };
    auto toplevel = std::make_unique<Toplevel>();
    toplevel->workspace = this;
    toplevel->handle = handle;
    zwlr_foreign_toplevel_handle_v1_add_listener(handle, &listener, toplevel.get());
    toplevels_.push_back(std::move(toplevel));
}

void WlrootsWorkspace::settled(Toplevel &toplevel)
{
    toplevel.appId = toplevel.pendingAppId;
    toplevel.activated = toplevel.pendingActivated;
    Toplevel *const before = active_;
    if (toplevel.activated)
        active_ = &toplevel;
    else if (active_ == &toplevel)
        active_ = nullptr;
    // A window that renames its app id while active is a switch as well.
    if (!announcing_ || !active_ || (active_ == before && &toplevel != active_))
        return;
    if (const std::optional<RunningApplication> application = activeApplication())
        announcer_.activated(*application);
}

void WlrootsWorkspace::closed(Toplevel &toplevel)
{
    if (active_ == &toplevel)
        active_ = nullptr;
    zwlr_foreign_toplevel_handle_v1_destroy(toplevel.handle);
    std::erase_if(toplevels_, [&](const std::unique_ptr<Toplevel> &held) { return held.get() == &toplevel; });
}

std::optional<RunningApplication> WlrootsWorkspace::frontmostApplication() const
{
    return announcer_.answered(activeApplication());
}

std::optional<RunningApplication> WlrootsWorkspace::activeApplication() const
{
    if (!active_ || !connection_->isAlive())
        return std::nullopt;
    return describeAppId(desktopEntries_, active_->appId);
}

} // namespace hourloom
