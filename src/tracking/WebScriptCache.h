#pragma once

#include "ScriptServiceProtocol.h"

#include <QHash>
#include <QString>

#include <memory>

namespace hourloom {

// One compiled script per browser for the whole process, shared by every web session controller
// of that browser. Main loop only.
class WebScriptCache {
public:
    static const std::shared_ptr<WebScriptCache> &shared();

    // The cached script, or a new one: generated, initialised, sent to compile in the background
    // and cached. Throws ScriptInitializeError, and then caches nothing.
    std::shared_ptr<ScriptLibraryProtocol> script(const QString &browserName, ScriptServiceProtocol &scriptService,
                                                  const ScriptLibraryType &libraryType, const ErrorLoggerProtocol *errorLogger);

    QHash<QString, std::shared_ptr<ScriptLibraryProtocol>> cachedScripts;
};

} // namespace hourloom
