#pragma once

#include "ProcessIdentity.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace hourloom {

// What one browser profile's host last heard of the active tab of the last focused window: the
// scheme and host of its page (none without a window, and in a private window), whether the
// tab is private and whether its window has the focus.
struct BrowserState {
    std::optional<QString> url;
    bool windowFocused = false;
    bool privateTab = false;
    qint64 updatedAt = 0; // milliseconds since the epoch
    ProcessIdentity writer;

    QByteArray toJson() const;
    // None unless every member is there with its type.
    static std::optional<BrowserState> fromJson(const QByteArray &json);
};

} // namespace hourloom
