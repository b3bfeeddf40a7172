#pragma once

#include "BrowserEngine.h"

#include <QHash>
#include <QString>

namespace hourloom {

// The browsers whose URL can be read, and the script that reads it.
class WebAppleScriptGenerator {
public:
    // Application name (exact, case-sensitive) to how its URL is read.
    static const QHash<QString, BrowserEngine> &browserTable();
    static bool isBrowser(const QString &appName);

    // The script that returns the URL the browser shows, or no value when it has no window;
    // "" for a name that is not in the table.
    static QString generateScript(const QString &browserName);
};

} // namespace hourloom
