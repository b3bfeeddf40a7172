#pragma once

#include "AppcastItem.h"

#include <QByteArray>
#include <QList>

#include <optional>

namespace hourloom {

// An update feed: RSS 2.0 with the Sparkle namespace, the releases as channel items.
class AppcastFeed {
public:
    static inline const QString sparkleNamespace = QStringLiteral("http://www.andymatuschak.org/xml-namespaces/sparkle");

    // Absent when the bytes are not well-formed RSS.
    static std::optional<AppcastFeed> parse(const QByteArray &xml);

    // The highest version offered to everyone on this system: items on a channel, items whose
    // download is for another system, and items without a version or anything to open are
    // left out. Feeds may list items in any order.
    std::optional<AppcastItem> latestItem() const;

    QList<AppcastItem> items;
};

} // namespace hourloom
