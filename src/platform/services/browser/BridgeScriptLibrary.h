#pragma once

#include "BrowserScriptQuery.h"
#include "platform/services/browserstate/BrowserStateStore.h"
#include "core/ports/ScriptLibraryProtocol.h"

#include <mutex>

namespace hourloom {

// Answers browser scripts from what the browsers' native hosts hand over (the browser bridge):
// the URL of the active tab in the browser's focused window. Safe to compile and run from
// several threads at once.
class BridgeScriptLibrary final : public ScriptLibraryProtocol {
public:
    BridgeScriptLibrary(QString source, std::shared_ptr<const BrowserStateStore> store);

    // Script objects over the given store, by default the user's.
    static ScriptLibraryType type(std::shared_ptr<const BrowserStateStore> store = std::make_shared<BrowserStateStore>());

    bool compileAndReturnError(std::optional<QVariantMap> &error) override;
    std::shared_ptr<ScriptLibraryResponseProtocol> executeAndReturnError(std::optional<QVariantMap> &error) override;

private:
    // Parsed once, by whichever call comes first.
    const std::optional<BrowserScriptQuery> &query();

    const QString source_;
    const std::shared_ptr<const BrowserStateStore> store_;
    std::once_flag parsed_;
    std::optional<BrowserScriptQuery> query_;
};

} // namespace hourloom
