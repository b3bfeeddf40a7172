#pragma once

#include "core/ReportableError.h"

#include <QVariant>

namespace hourloom {

// Compiling a script reported the library's error dictionary.
struct ScriptCompileError final : ReportableError {
    ScriptCompileError(QString script, QVariant compileError)
        : script(std::move(script))
        , compileError(std::move(compileError))
    {
    }

    QString script;
    QVariant compileError;

    QString typeName() const override { return QStringLiteral("ScriptCompileError"); }
    QVariantMap errorUserInfo() const override
    {
        return {{QStringLiteral("Script"), script}, {QStringLiteral("Compile Error"), compileError}};
    }
};

} // namespace hourloom
