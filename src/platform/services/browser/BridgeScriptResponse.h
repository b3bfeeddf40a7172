#pragma once

#include "core/ports/ScriptLibraryResponseProtocol.h"

namespace hourloom {

// A bridge script's result: the URL, or none when the browser has no window to ask.
class BridgeScriptResponse final : public ScriptLibraryResponseProtocol {
public:
    explicit BridgeScriptResponse(std::optional<QString> url)
        : url_(std::move(url))
    {
    }
    std::optional<QString> stringValue() const override { return url_; }

private:
    std::optional<QString> url_;
};

} // namespace hourloom
