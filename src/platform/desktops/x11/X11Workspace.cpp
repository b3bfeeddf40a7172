#include "X11Workspace.h"

#include "XcbReply.h"

#include "platform/desktops/entries/DesktopApplication.h"
#include "platform/desktops/entries/ProcessExecutable.h"

#include <QCoreApplication>

#include <xcb/res.h>

namespace hourloom {
namespace {

std::optional<QString> textOf(const xcb_get_property_reply_t *reply)
{
    if (!reply || reply->type == XCB_ATOM_NONE || xcb_get_property_value_length(reply) <= 0)
        return std::nullopt;
    const auto *bytes = static_cast<const char *>(xcb_get_property_value(reply));
    QString text = QString::fromUtf8(bytes, xcb_get_property_value_length(reply));
    if (text.endsWith(QChar(0)))
        text.chop(1);
    return text.isEmpty() ? std::nullopt : std::optional<QString>(text);
}

} // namespace

X11Workspace::X11Workspace(std::shared_ptr<X11Connection> connection, DesktopEntryIndex desktopEntries, NotificationCenter &center)
    : connection_(std::move(connection))
    , desktopEntries_(std::move(desktopEntries))
    , announcer_(center)
    , activeWindowAtom_(connection_->atom("_NET_ACTIVE_WINDOW"))
{
    const uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_change_window_attributes(connection_->connection(), connection_->root(), XCB_CW_EVENT_MASK, &mask);
    xcb_flush(connection_->connection());
    connection_->addEventHandler([this](const xcb_generic_event_t &event) { handle(event); });
}

void X11Workspace::handle(const xcb_generic_event_t &event)
{
    if ((event.response_type & 0x7F) != XCB_PROPERTY_NOTIFY)
        return;
    const auto &notify = reinterpret_cast<const xcb_property_notify_event_t &>(event);
    if (notify.window != connection_->root() || notify.atom != activeWindowAtom_)
        return;
    if (const std::optional<RunningApplication> application = activeApplication())
        announcer_.activated(*application);
}

std::optional<RunningApplication> X11Workspace::frontmostApplication() const
{
    return announcer_.answered(activeApplication());
}

std::optional<RunningApplication> X11Workspace::activeApplication() const
{
    const std::optional<xcb_window_t> window = activeWindow();
    if (!window)
        return std::nullopt;
    const std::optional<WindowFacts> facts = factsOf(*window);
    connection_->handleQueuedEventsSoon();
    if (!facts)
        return std::nullopt;
    // The agent's own panel is no application the user switches to: the one before it stays in
    // front while the user types into the panel.
    if (facts->executable == executableOfProcess(std::uint32_t(QCoreApplication::applicationPid())))
        return announcer_.known();
    return describeApplication(desktopEntries_, *facts);
}

std::optional<xcb_window_t> X11Workspace::activeWindow() const
{
    if (!connection_->isAlive() || activeWindowAtom_ == XCB_ATOM_NONE)
        return std::nullopt;
    xcb_connection_t *c = connection_->connection();
    XcbReply<xcb_get_property_reply_t> reply(
        xcb_get_property_reply(c, xcb_get_property(c, 0, connection_->root(), activeWindowAtom_, XCB_ATOM_WINDOW, 0, 1), nullptr));
    if (!reply || reply->type != XCB_ATOM_WINDOW || xcb_get_property_value_length(reply.get()) < int(sizeof(xcb_window_t)))
        return std::nullopt;
    const xcb_window_t window = *static_cast<const xcb_window_t *>(xcb_get_property_value(reply.get()));
    if (window == XCB_WINDOW_NONE)
        return std::nullopt;
    return window;
}

std::optional<WindowFacts> X11Workspace::factsOf(xcb_window_t window) const
{
    xcb_connection_t *c = connection_->connection();
    auto &connection = *connection_;
    const auto property = [&](xcb_atom_t atom, xcb_atom_t type) {
        return xcb_get_property(c, 0, window, atom, type, 0, 1024);
    };
    // Every question goes out before the first answer is read: one round trip.
    const auto wmClass = property(XCB_ATOM_WM_CLASS, XCB_ATOM_STRING);
    const auto gtkId = property(connection.atom("_GTK_APPLICATION_ID"), XCB_GET_PROPERTY_TYPE_ANY);
    const auto kdeFile = property(connection.atom("_KDE_NET_WM_DESKTOP_FILE"), XCB_GET_PROPERTY_TYPE_ANY);
    const auto netPid = property(connection.atom("_NET_WM_PID"), XCB_ATOM_CARDINAL);
    const xcb_query_extension_reply_t *res = xcb_get_extension_data(c, &xcb_res_id);
    std::optional<xcb_res_query_client_ids_cookie_t> clientIds;
    if (res && res->present) {
        xcb_res_client_id_spec_t asked{window, XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID};
        clientIds = xcb_res_query_client_ids(c, 1, &asked);
    }

    xcb_generic_error_t *error = nullptr;
    XcbReply<xcb_get_property_reply_t> wmClassReply(xcb_get_property_reply(c, wmClass, &error));
    const bool vanished = XcbReply<xcb_generic_error_t>(error) != nullptr;
    XcbReply<xcb_get_property_reply_t> gtkReply(xcb_get_property_reply(c, gtkId, nullptr));
    XcbReply<xcb_get_property_reply_t> kdeReply(xcb_get_property_reply(c, kdeFile, nullptr));
    XcbReply<xcb_get_property_reply_t> pidReply(xcb_get_property_reply(c, netPid, nullptr));
    std::optional<uint32_t> pid;
    if (clientIds) {
        XcbReply<xcb_res_query_client_ids_reply_t> ids(xcb_res_query_client_ids_reply(c, *clientIds, nullptr));
        if (ids) {
            for (auto it = xcb_res_query_client_ids_ids_iterator(ids.get()); it.rem; xcb_res_client_id_value_next(&it)) {
                // Each value starts with the client id it answers (window and mask).
                const auto *answered = reinterpret_cast<const xcb_res_client_id_spec_t *>(it.data);
                if ((answered->mask & XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID) && xcb_res_client_id_value_value_length(it.data) >= 1)
                    pid = *xcb_res_client_id_value_value(it.data);
            }
        }
    }
    if (vanished || !connection.isAlive())
        return std::nullopt;
    // _NET_WM_PID is the client's own claim, wrong under sandboxes: only when the server cannot tell.
    if (!pid && pidReply && pidReply->type == XCB_ATOM_CARDINAL && xcb_get_property_value_length(pidReply.get()) >= 4)
        pid = *static_cast<const uint32_t *>(xcb_get_property_value(pidReply.get()));

    WindowFacts facts;
    if (const std::optional<QString> classes = textOf(wmClassReply.get())) {
        // WM_CLASS holds two NUL-terminated strings: instance, then class.
        const QStringList parts = classes->split(QChar(0));
        if (!parts.value(0).isEmpty())
            facts.wmClassInstance = parts.value(0);
        if (!parts.value(1).isEmpty())
            facts.wmClassClass = parts.value(1);
    }
    facts.applicationId = textOf(gtkReply.get());
    if (!facts.applicationId)
        facts.applicationId = textOf(kdeReply.get());
    if (pid)
        facts.executable = executableOfProcess(*pid);
    return facts;
}

} // namespace hourloom
