#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace hourloom {

// The extension's report of the active tab of the last focused normal window:
// {"type": "state", "url": "..." | null, "windowFocused": true | false, "incognito": true | false}.
struct StateMessage {
    // Only the scheme and host of the page: all the agent needs for its domain, so that paths,
    // queries (tokens, search terms) and fragments are never kept. None without a window and
    // for a private tab.
    std::optional<QString> origin;
    bool windowFocused = false;
    bool privateTab = false;

    // None for anything but a well-formed state message. A private tab's URL is never kept,
    // whatever the extension sent.
    static std::optional<StateMessage> parse(const QByteArray &json);

    // "scheme://host" of a URL with a host (the host in its ASCII form), "scheme:" of one
    // without, "" for text that is no URL.
    static QString originOf(const QString &url);
};

} // namespace hourloom
