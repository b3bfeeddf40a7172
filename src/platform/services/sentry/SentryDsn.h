#pragma once

#include <QString>
#include <QUrl>

#include <optional>

namespace hourloom {

// Where a DSN says events go: {scheme}://{public_key}[:secret]@{host}{path}/{project_id}.
struct SentryDsn {
    QUrl envelopeEndpoint;
    QString publicKey;
    QString projectId;

    // Absent when the text is not a DSN: no http(s) scheme, no key, no host or no project.
    static std::optional<SentryDsn> parse(const QString &text);
};

} // namespace hourloom
