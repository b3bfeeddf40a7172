#include "X11Connection.h"

#include "XcbReply.h"
#include "core/Log.h"

namespace hourloom {

std::shared_ptr<X11Connection> X11Connection::open(const QByteArray &display)
{
    int screenNumber = 0;
    xcb_connection_t *connection = xcb_connect(display.isEmpty() ? nullptr : display.constData(), &screenNumber);
    if (xcb_connection_has_error(connection)) {
        xcb_disconnect(connection);
        return nullptr;
    }
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int i = 0; i < screenNumber && screens.rem; ++i)
        xcb_screen_next(&screens);
    if (!screens.rem) {
        xcb_disconnect(connection);
        return nullptr;
    }
    return std::shared_ptr<X11Connection>(new X11Connection(connection, screens.data->root));
}

X11Connection::X11Connection(xcb_connection_t *connection, xcb_window_t root)
    : connection_(connection)
    , root_(root)
    , notifier_(std::make_unique<QSocketNotifier>(xcb_get_file_descriptor(connection), QSocketNotifier::Read))
{
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(), [this] { readEvents(); });
}

X11Connection::~X11Connection()
{
    notifier_.reset();
    xcb_disconnect(connection_);
}

bool X11Connection::isAlive() const
{
    return !lost_;
}

xcb_atom_t X11Connection::atom(const char *name)
{
    const QByteArray key(name);
    if (const auto found = atoms_.constFind(key); found != atoms_.constEnd())
        return *found;
    const XcbReply<xcb_intern_atom_reply_t> reply(
        xcb_intern_atom_reply(connection_, xcb_intern_atom(connection_, 0, uint16_t(key.size()), name), nullptr));
    const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    checkAlive();
    if (atom != XCB_ATOM_NONE)
        atoms_.insert(key, atom);
    return atom;
}

void X11Connection::addEventHandler(EventHandler handler)
{
    eventHandlers_.push_back(std::move(handler));
}

void X11Connection::addLostHandler(std::function<void()> handler)
{
    lostHandlers_.push_back(std::move(handler));
}

void X11Connection::sync()
{
    if (lost_)
        return;
    XcbReply<xcb_get_input_focus_reply_t>(xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr));
    readEvents();
}

void X11Connection::handleQueuedEventsSoon()
{
    QMetaObject::invokeMethod(notifier_.get(), [this] { readEvents(); }, Qt::QueuedConnection);
}

void X11Connection::readEvents()
{
    // Replies read elsewhere can leave events queued without the socket turning readable again:
    // drain everything each time.
    while (!lost_) {
        const XcbReply<xcb_generic_event_t> event(xcb_poll_for_event(connection_));
        if (!event)
            break;
        for (const EventHandler &handler : eventHandlers_)
            handler(*event);
    }
    checkAlive();
}

void X11Connection::checkAlive()
{
    if (lost_ || !xcb_connection_has_error(connection_))
        return;
    lost_ = true;
    notifier_->setEnabled(false);
    logLine(lcDesktop, QStringLiteral("Lost the connection to the X server: frontmost application and idle tracking stop"));
    for (const auto &handler : lostHandlers_)
        handler();
}

} // namespace hourloom
