#include "WebScriptCache.h"

#include "WebAppleScriptGenerator.h"

namespace hourloom {

const std::shared_ptr<WebScriptCache> &WebScriptCache::shared()
{
    static const auto cache = std::make_shared<WebScriptCache>();
    return cache;
}

std::shared_ptr<ScriptLibraryProtocol> WebScriptCache::script(const QString &browserName, ScriptServiceProtocol &scriptService,
                                                              const ScriptLibraryType &libraryType,
                                                              const ErrorLoggerProtocol *errorLogger)
{
    if (const auto cached = cachedScripts.constFind(browserName); cached != cachedScripts.cend())
        return *cached;
    const QString source = WebAppleScriptGenerator::generateScript(browserName);
    auto script = scriptService.initializeScript(source, libraryType);
    scriptService.compileScript(script, source, errorLogger);
    cachedScripts.insert(browserName, script);
    return script;
}

} // namespace hourloom
