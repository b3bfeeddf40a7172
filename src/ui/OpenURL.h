#pragma once

#include <QDesktopServices>
#include <QUrl>

#include <functional>

namespace hourloom {

// Opens a page in the user's default browser; tests put a recorder in its place.
using OpenURL = std::function<void(const QUrl &)>;

inline OpenURL systemOpenURL()
{
    return [](const QUrl &url) { QDesktopServices::openUrl(url); };
}

} // namespace hourloom
