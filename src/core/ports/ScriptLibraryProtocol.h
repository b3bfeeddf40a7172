#pragma once

#include "ScriptLibraryResponseProtocol.h"

#include <QString>
#include <QVariantMap>

#include <functional>
#include <memory>
#include <optional>

namespace hourloom {

// The platform's compiled browser script (a macOS name kept on Linux, see "Names" in
// docs/ARCHITECTURE.md), here answered by the browser bridge. One object is compiled and run from
// several worker threads at once, so implementations must allow concurrent calls.
class ScriptLibraryProtocol {
public:
    virtual ~ScriptLibraryProtocol() = default;

    // Fills `error` with the library's error dictionary when the text does not compile.
    virtual bool compileAndReturnError(std::optional<QVariantMap> &error) = 0;
    // The script's result; fills `error` with the library's error dictionary when the run fails.
    virtual std::shared_ptr<ScriptLibraryResponseProtocol> executeAndReturnError(std::optional<QVariantMap> &error) = 0;
};

// Makes a script object from source text; may yield none.
using ScriptLibraryType = std::function<std::shared_ptr<ScriptLibraryProtocol>(const QString &source)>;

} // namespace hourloom
