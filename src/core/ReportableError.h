#pragma once

#include <QString>
#include <QVariantMap>

namespace hourloom {

// An error that goes to the crash reporter: the name of its type and the details it carries.
class ReportableError {
public:
    virtual ~ReportableError() = default;
    virtual QString typeName() const = 0;
    virtual QVariantMap errorUserInfo() const = 0;
};

} // namespace hourloom
