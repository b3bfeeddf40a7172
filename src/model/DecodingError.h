#pragma once

#include <QString>

#include <stdexcept>

namespace hourloom {

// Reading a record from JSON failed: a required member is missing or has the wrong type.
class DecodingError : public std::runtime_error {
public:
    explicit DecodingError(const QString &what)
        : std::runtime_error(what.toStdString())
    {
    }
};

} // namespace hourloom
