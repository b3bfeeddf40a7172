#pragma once

#include "ScriptExecutionError.h"
#include "core/ports/ErrorLoggerProtocol.h"
#include "core/ports/ScriptLibraryProtocol.h"

#include <functional>
#include <memory>
#include <optional>

namespace hourloom {

// Called once, on the main loop, with the script's result or the error its run reported.
using ScriptCompletion =
    std::function<void(std::shared_ptr<ScriptLibraryResponseProtocol> response, std::optional<ScriptExecutionError> error)>;

// Creates browser scripts, and compiles and runs them off the main loop.
class ScriptServiceProtocol {
public:
    virtual ~ScriptServiceProtocol() = default;

    // Throws ScriptInitializeError when the library makes no object from the source.
    virtual std::shared_ptr<ScriptLibraryProtocol> initializeScript(const QString &source, const ScriptLibraryType &libraryType) = 0;
    // Returns at once; a compile error is reported through the logger on the main loop.
    virtual void compileScript(std::shared_ptr<ScriptLibraryProtocol> script, const QString &source,
                               const ErrorLoggerProtocol *errorLogger) = 0;
    // Returns at once; a run error is reported through the logger before the completion runs.
    virtual void executeScript(std::shared_ptr<ScriptLibraryProtocol> script, const QString &source,
                               const ErrorLoggerProtocol *errorLogger, ScriptCompletion completion) = 0;
};

} // namespace hourloom
