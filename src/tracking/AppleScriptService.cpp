#include "AppleScriptService.h"

#include "ScriptCompileError.h"
#include "ScriptInitializeError.h"
#include "core/MainLoop.h"

#include <QThreadPool>

namespace hourloom {

namespace {

// Scripts answer the user's own browser, so they go ahead of other background work.
constexpr int userInitiatedPriority = 1;

} // namespace

std::shared_ptr<ScriptLibraryProtocol> AppleScriptService::initializeScript(const QString &source,
                                                                            const ScriptLibraryType &libraryType)
{
    auto script = libraryType ? libraryType(source) : nullptr;
    if (!script)
        throw ScriptInitializeError(source);
    return script;
}

void AppleScriptService::compileScript(std::shared_ptr<ScriptLibraryProtocol> script, const QString &source,
                                       const ErrorLoggerProtocol *errorLogger)
{
    QThreadPool::globalInstance()->start(
        [script = std::move(script), source, errorLogger] {
            std::optional<QVariantMap> error;
            script->compileAndReturnError(error);
            if (!error)
                return;
            postToMainLoop([report = ScriptCompileError(source, *error), errorLogger] {
                if (errorLogger)
                    errorLogger->capture(report);
            });
        },
        userInitiatedPriority);
}

void AppleScriptService::executeScript(std::shared_ptr<ScriptLibraryProtocol> script, const QString &source,
                                       const ErrorLoggerProtocol *errorLogger, ScriptCompletion completion)
{
    QThreadPool::globalInstance()->start(
        [script = std::move(script), source, errorLogger, completion = std::move(completion)] {
            std::optional<QVariantMap> error;
            auto response = script->executeAndReturnError(error);
            if (!error) {
                postToMainLoop([completion, response = std::move(response)] { completion(response, std::nullopt); });
                return;
            }
            postToMainLoop([completion, report = ScriptExecutionError(source, *error), errorLogger] {
                if (errorLogger)
                    errorLogger->capture(report);
                completion(nullptr, report);
            });
        },
        userInitiatedPriority);
}

} // namespace hourloom
