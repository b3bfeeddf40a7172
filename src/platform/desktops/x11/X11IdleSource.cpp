#include "X11IdleSource.h"

#include "XcbReply.h"

#include <xcb/screensaver.h>


namespace hourloom {

X11IdleSource::X11IdleSource(std::shared_ptr<X11Connection> connection)
    : connection_(std::move(connection))
{
    const xcb_query_extension_reply_t *extension = xcb_get_extension_data(connection_->connection(), &xcb_screensaver_id);
    available_ = extension && extension->present;
}

double X11IdleSource::secondsSinceLastEventType(int, std::uint32_t) const
{
    if (!available_ || !connection_->isAlive())
        return 0;
    xcb_connection_t *c = connection_->connection();
    const XcbReply<xcb_screensaver_query_info_reply_t> info(
        xcb_screensaver_query_info_reply(c, xcb_screensaver_query_info(c, connection_->root()), nullptr));
    connection_->handleQueuedEventsSoon();
    return info ? info->ms_since_user_input / 1000.0 : 0;
}

} // namespace hourloom
