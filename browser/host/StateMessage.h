#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace hourloom {

// The extension's report of the active tab of the last focused normal window:
// {"type": "state", "url": "..." | null, "windowFocused": true | false, "incognito": true | false}.
struct StateMessage {
    // URLs longer than this are not what a browser shows; the message is dropped.
    static constexpr qsizetype maxURLLength = 8 * 1024;

    std::optional<QString> url;
    bool windowFocused = false;

    // None for anything but a well-formed state message. A private tab's URL is never kept,
    // whatever the extension sent.
    static std::optional<StateMessage> parse(const QByteArray &json);
};

} // namespace hourloom
