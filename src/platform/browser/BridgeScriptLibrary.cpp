#include "BridgeScriptLibrary.h"

#include "BridgeScriptResponse.h"
#include "BrowserCatalog.h"

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
    return std::make_shared<BridgeScriptResponse>(state ? state->url : std::nullopt);
}

} // namespace hourloom
