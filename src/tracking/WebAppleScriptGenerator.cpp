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
    };
    return table;
}

bool WebAppleScriptGenerator::isBrowser(const QString &appName)
{
    const auto &table = browserTable();
    return !table.isEmpty() && table.contains(appName);
}

} // namespace hourloom
