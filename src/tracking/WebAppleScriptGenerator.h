#pragma once

#include "BrowserEngine.h"

#include <QHash>
#include <QString>

#include <optional>

namespace hourloom {

// Writes browser scripts (a macOS name kept on Linux, see "Names" in docs/ARCHITECTURE.md); here
// the browser bridge reads them back.
// The browsers whose URL can be read, and the script that reads it.
class WebAppleScriptGenerator {
public:
    // Application name (exact, case-sensitive) to how its URL is read.
    static const QHash<QString, BrowserEngine> &browserTable();
    static bool isBrowser(const QString &appName);

    // The browser's name in the table: the application's own name when the table has it, else
    // the name its desktop-file id (or window class) stands for. Desktop entries give names in
    // the user's language ("Chromium-Webbrowser" under German), ids stay the same in every
    // language. None for an application that is no browser.
    static std::optional<QString> browserName(const QString &appName, const QString &bundleIdentifier);

    // The script that returns the URL the browser shows, or no value when it has no window;
    // "" for a name that is not in the table.
    static QString generateScript(const QString &browserName);
};

} // namespace hourloom
