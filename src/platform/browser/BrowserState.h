#pragma once

#include "ProcessIdentity.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace hourloom {

// What one browser profile's host last heard: the active tab's URL of the last focused window
// (none without a window, or in a private window) and whether that window has the focus.
struct BrowserState {
    std::optional<QString> url;
    bool windowFocused = false;
    qint64 updatedAt = 0; // milliseconds since the epoch
    ProcessIdentity writer;

    QByteArray toJson() const;
    // None unless every member is there with its type.
    static std::optional<BrowserState> fromJson(const QByteArray &json);
};

} // namespace hourloom
