#pragma once

#include <QString>

#include <optional>

namespace hourloom {

// What a browser script asks: which application, and whether for its front document or for the
// active tab of its front window. Only the two script forms the agent writes are understood.
struct BrowserScriptQuery {
    QString appName;
    bool frontDocument = false;

    static std::optional<BrowserScriptQuery> parse(const QString &source);
};

} // namespace hourloom
