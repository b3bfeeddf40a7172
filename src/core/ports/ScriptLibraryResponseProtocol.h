#pragma once

#include <QString>

#include <optional>

namespace hourloom {

// What a browser script returned.
class ScriptLibraryResponseProtocol {
public:
    virtual ~ScriptLibraryResponseProtocol() = default;
    // None when the result is not text, for example when the script returned no value.
    virtual std::optional<QString> stringValue() const = 0;
};

} // namespace hourloom
