#include "UpdateLinkPolicy.h"

#include <QHostAddress>

namespace hourloom {
namespace {

bool isLoopback(const QString &host)
{
    return host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0 || QHostAddress(host).isLoopback();
}

} // namespace

UpdateLinkPolicy::UpdateLinkPolicy(bool allowsLoopbackHttp)
    : allowsLoopbackHttp_(allowsLoopbackHttp)
{
}

bool UpdateLinkPolicy::allows(const QUrl &url) const
{
    if (!url.isValid() || url.isRelative() || url.host().isEmpty())
        return false;
    if (url.scheme() == u"https")
        return true;
    return allowsLoopbackHttp_ && url.scheme() == u"http" && isLoopback(url.host());
}

AppcastItem UpdateLinkPolicy::withAllowedLinks(AppcastItem item) const
{
    for (QUrl *link : {&item.link, &item.downloadURL, &item.releaseNotesLink}) {
        if (!allows(*link))
            *link = QUrl();
    }
    return item;
}

} // namespace hourloom
