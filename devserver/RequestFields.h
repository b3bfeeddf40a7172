#pragma once

#include <QHash>
#include <QString>

#include <optional>
#include <string>

namespace hourloom::devserver {

// The string members of a request body, which may be JSON or a form, as OAuth servers accept
// both. A JSON member that is null or not a string counts as absent.
class RequestFields {
public:
    // None when the body is not a JSON object (for a JSON content type) or not valid UTF-8 form text.
    static std::optional<RequestFields> parse(const std::string &contentType, const std::string &body);

    std::optional<QString> value(const QString &name) const;

private:
    QHash<QString, QString> values_;
};

} // namespace hourloom::devserver
