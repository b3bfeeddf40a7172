#include "WebAppleScriptGenerator.h"

namespace hourloom {

const QHash<QString, BrowserEngine> &WebAppleScriptGenerator::browserTable()
{
    static const QHash<QString, BrowserEngine> table{
        {QStringLiteral("Google Chrome"), BrowserEngine::blink},
        {QStringLiteral("Google Chrome Canary"), BrowserEngine::blink},
        {QStringLiteral("Brave Browser"), BrowserEngine::blink},
        {QStringLiteral("Opera"), BrowserEngine::blink},
        {QStringLiteral("Microsoft Edge"), BrowserEngine::blink},
        {QStringLiteral("Vivaldi"), BrowserEngine::blink},
        {QStringLiteral("Safari"), BrowserEngine::webkit},
        // How Linux desktop entries name the browsers most people run there. The bridge reads
        // every one of them from the active tab of the focused window.
        {QStringLiteral("Chromium"), BrowserEngine::blink},
        {QStringLiteral("Chromium Web Browser"), BrowserEngine::blink},
        {QStringLiteral("Brave Web Browser"), BrowserEngine::blink},
        {QStringLiteral("Firefox"), BrowserEngine::blink},
        {QStringLiteral("Firefox ESR"), BrowserEngine::blink},
        {QStringLiteral("Firefox Web Browser"), BrowserEngine::blink},
    };
    return table;
}

bool WebAppleScriptGenerator::isBrowser(const QString &appName)
{
    const auto &table = browserTable();
    return !table.isEmpty() && table.contains(appName);
}

std::optional<QString> WebAppleScriptGenerator::browserName(const QString &appName, const QString &bundleIdentifier)
{
    if (isBrowser(appName))
        return appName;
    // Lower-case desktop-file ids of the packages (Debian, the vendors, Flatpak, Snap); a
    // window class without a desktop entry is the same word in other letter case.
    static const QHash<QString, QString> byDesktopId{
        {QStringLiteral("chromium"), QStringLiteral("Chromium")},
        {QStringLiteral("chromium-browser"), QStringLiteral("Chromium")},
        {QStringLiteral("org.chromium.chromium"), QStringLiteral("Chromium")},
        {QStringLiteral("chromium_chromium"), QStringLiteral("Chromium")},
        {QStringLiteral("google-chrome"), QStringLiteral("Google Chrome")},
        {QStringLiteral("com.google.chrome"), QStringLiteral("Google Chrome")},
        {QStringLiteral("google-chrome-canary"), QStringLiteral("Google Chrome Canary")},
        {QStringLiteral("brave-browser"), QStringLiteral("Brave Browser")},
        {QStringLiteral("com.brave.browser"), QStringLiteral("Brave Browser")},
        {QStringLiteral("microsoft-edge"), QStringLiteral("Microsoft Edge")},
        {QStringLiteral("com.microsoft.edge"), QStringLiteral("Microsoft Edge")},
        {QStringLiteral("vivaldi-stable"), QStringLiteral("Vivaldi")},
        {QStringLiteral("com.vivaldi.vivaldi"), QStringLiteral("Vivaldi")},
        {QStringLiteral("opera"), QStringLiteral("Opera")},
        {QStringLiteral("com.opera.opera"), QStringLiteral("Opera")},
        {QStringLiteral("firefox-esr"), QStringLiteral("Firefox ESR")},
        {QStringLiteral("firefox"), QStringLiteral("Firefox")},
        {QStringLiteral("org.mozilla.firefox"), QStringLiteral("Firefox")},
        {QStringLiteral("firefox_firefox"), QStringLiteral("Firefox")},
    };
    const auto found = byDesktopId.constFind(bundleIdentifier.toLower());
    if (found == byDesktopId.cend())
        return std::nullopt;
    return *found;
}

QString WebAppleScriptGenerator::generateScript(const QString &browserName)
{
    const auto &table = browserTable();
    const auto engine = table.constFind(browserName);
    if (engine == table.cend())
        return QString();
    static const QString prefix = QStringLiteral("    tell application \"");
    static const QString webkitSuffix = QStringLiteral(
        "\"\n        if (exists window 1) then\n            return URL of front document\n        end if\n    end tell");
    static const QString blinkSuffix = QStringLiteral(
        "\"\n        if (exists window 1) then\n            return URL of active tab of front window\n        end if\n    end tell");
    return prefix + browserName + (*engine == BrowserEngine::webkit ? webkitSuffix : blinkSuffix);
}

} // namespace hourloom
