#include "BridgeScriptLibrary.h"

#include "BridgeScriptResponse.h"
#include "platform/services/browserstate/BrowserCatalog.h"

namespace hourloom {

namespace {

QVariantMap errorDictionary(const QString &message)
{
    return {{QStringLiteral("message"), message}};
}

} // namespace

BridgeScriptLibrary::BridgeScriptLibrary(QString source, std::shared_ptr<const BrowserStateStore> store)
    : source_(std::move(source))
    , store_(std::move(store))
{
}

ScriptLibraryType BridgeScriptLibrary::type(std::shared_ptr<const BrowserStateStore> store)
{
    return [store = std::move(store)](const QString &source) -> std::shared_ptr<ScriptLibraryProtocol> {
        return std::make_shared<BridgeScriptLibrary>(source, store);
    };
}

const std::optional<BrowserScriptQuery> &BridgeScriptLibrary::query()
{
    std::call_once(parsed_, [this] { query_ = BrowserScriptQuery::parse(source_); });
    return query_;
}

bool BridgeScriptLibrary::compileAndReturnError(std::optional<QVariantMap> &error)
{
    if (query())
        return true;
    error = errorDictionary(QStringLiteral("Not a browser URL script"));
    return false;
}

std::shared_ptr<ScriptLibraryResponseProtocol> BridgeScriptLibrary::executeAndReturnError(std::optional<QVariantMap> &error)
{
    const auto &asked = query();
    if (!asked) {
        error = errorDictionary(QStringLiteral("Not a browser URL script"));
        return nullptr;
    }
    const BrowserFamily *family = BrowserCatalog::forAppName(asked->appName);
    if (!family) {
        error = errorDictionary(QStringLiteral("The browser bridge does not serve %1").arg(asked->appName));
        return nullptr;
    }
    // The front document and the active tab of the front window are the same page here: the
    // hosts report the active tab of the browser's focused window.
    const auto state = store_->current(family->id);
    // No host runs: the browser has no window to ask.
    if (!state)
        return std::make_shared<BridgeScriptResponse>(std::nullopt);
    // The extension sees only the windows it may see. A private tab, or no focused window in
    // its view while the browser is in front (a private window it is not let into), answers like
    // a page without a domain, so that the web session ends and nothing of it is recorded.
    if (state->privateTab || !state->windowFocused || !state->url)
        return std::make_shared<BridgeScriptResponse>(QString());
    return std::make_shared<BridgeScriptResponse>(state->url);
}

} // namespace hourloom
