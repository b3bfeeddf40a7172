#pragma once

#include "core/ports/ErrorLoggerProtocol.h"

#include <QList>

namespace hourloom::test {

// Keeps every error it is handed, as type name and details.
class FakeErrorLogger final : public ErrorLoggerProtocol {
public:
    struct Capture {
        QString typeName;
        QVariantMap details;
    };

    void capture(const ReportableError &error) const override { captures.append({error.typeName(), error.errorUserInfo()}); }

    mutable QList<Capture> captures;
};

} // namespace hourloom::test
