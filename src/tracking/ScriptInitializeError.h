#pragma once

#include "core/ReportableError.h"

namespace hourloom {

// The script library made no object from the script's text.
struct ScriptInitializeError final : ReportableError {
    explicit ScriptInitializeError(QString script)
        : script(std::move(script))
    {
    }

    QString script;

    QString typeName() const override { return QStringLiteral("ScriptInitializeError"); }
    QVariantMap errorUserInfo() const override { return {{QStringLiteral("Script"), script}}; }
};

} // namespace hourloom
