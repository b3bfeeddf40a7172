#pragma once

#include "core/ReportableError.h"

#include <QVariant>

namespace hourloom {

// Running a script reported the library's error dictionary.
struct ScriptExecutionError final : ReportableError {
    ScriptExecutionError(QString script, QVariant executionError)
        : script(std::move(script))
        , executionError(std::move(executionError))
    {
    }

    QString script;
    QVariant executionError;

    QString typeName() const override { return QStringLiteral("ScriptExecutionError"); }
    QVariantMap errorUserInfo() const override
    {
        return {{QStringLiteral("Script"), script}, {QStringLiteral("Execution Error"), executionError}};
    }
};

} // namespace hourloom
