#pragma once

#include "ScriptServiceProtocol.h"

namespace hourloom {

// Runs browser scripts (a macOS name kept on Linux, see "Names" in docs/ARCHITECTURE.md); here
// the browser bridge answers them.
// Compiles and runs scripts on the global thread pool and brings every report and completion
// back to the main loop.
class AppleScriptService final : public ScriptServiceProtocol {
public:
    std::shared_ptr<ScriptLibraryProtocol> initializeScript(const QString &source, const ScriptLibraryType &libraryType) override;
    void compileScript(std::shared_ptr<ScriptLibraryProtocol> script, const QString &source,
                       const ErrorLoggerProtocol *errorLogger) override;
    void executeScript(std::shared_ptr<ScriptLibraryProtocol> script, const QString &source,
                       const ErrorLoggerProtocol *errorLogger, ScriptCompletion completion) override;
};

} // namespace hourloom
