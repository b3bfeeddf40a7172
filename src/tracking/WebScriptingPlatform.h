#pragma once

#include "core/ports/ErrorLoggerProtocol.h"
#include "core/ports/ScriptLibraryProtocol.h"

namespace hourloom {

// What browser scripting takes from the platform: the script library that answers the scripts
// and the crash reporter's error logger. The application's composition fills it in.
struct WebScriptingPlatform {
    ScriptLibraryType libraryType;
    const ErrorLoggerProtocol *crashReporter = nullptr;
};

} // namespace hourloom
