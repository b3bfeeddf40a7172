#include "SentryDsn.h"

namespace hourloom {

std::optional<SentryDsn> SentryDsn::parse(const QString &text)
{
    const QUrl dsn(text, QUrl::StrictMode);
    if (!dsn.isValid() || (dsn.scheme() != u"http" && dsn.scheme() != u"https") || dsn.host().isEmpty() || dsn.userName().isEmpty())
        return std::nullopt;

    // The project is the last path segment; whatever comes before it is a prefix the server
    // is mounted under, and stays in front of /api/.
    const QString path = dsn.path();
    const qsizetype slash = path.lastIndexOf(u'/');
    const QString projectId = path.mid(slash + 1);
    if (slash < 0 || projectId.isEmpty())
        return std::nullopt;

    QUrl endpoint;
    endpoint.setScheme(dsn.scheme());
    endpoint.setHost(dsn.host());
    endpoint.setPort(dsn.port());
    endpoint.setPath(path.left(slash) + QStringLiteral("/api/") + projectId + QStringLiteral("/envelope/"));
    return SentryDsn{endpoint, dsn.userName(), projectId};
}

} // namespace hourloom
