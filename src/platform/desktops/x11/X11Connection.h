#pragma once

#include <xcb/xcb.h>

#include <QByteArray>
#include <QHash>
#include <QSocketNotifier>

#include <functional>
#include <memory>
#include <vector>

namespace hourloom {

// A private connection to the X server, read from the Qt main loop. Events go to the handlers
// registered for them; when the server goes away every user is told once and the connection
// answers nothing from then on.
class X11Connection {
public:
    using EventHandler = std::function<void(const xcb_generic_event_t &event)>;

    // None when no X server can be reached at the display.
    static std::shared_ptr<X11Connection> open(const QByteArray &display = {});
    ~X11Connection();

    xcb_connection_t *connection() const { return connection_; }
    xcb_window_t root() const { return root_; }
    bool isAlive() const;

    xcb_atom_t atom(const char *name);
    void addEventHandler(EventHandler handler);
    void addLostHandler(std::function<void()> handler);

    // A round trip, then every event that arrived before its reply is handled: afterwards the
    // handlers have seen everything the server had sent.
    void sync();
    // Reading a reply can queue events without the socket turning readable again: whoever reads
    // replies outside an event handler calls this so those events are handled on the next turn
    // of the main loop.
    void handleQueuedEventsSoon();

private:
    X11Connection(xcb_connection_t *connection, xcb_window_t root);
    void readEvents();
    void checkAlive();

    xcb_connection_t *connection_;
    xcb_window_t root_;
    std::unique_ptr<QSocketNotifier> notifier_;
    QHash<QByteArray, xcb_atom_t> atoms_;
    std::vector<EventHandler> eventHandlers_;
    std::vector<std::function<void()>> lostHandlers_;
    bool lost_ = false;
};

} // namespace hourloom
