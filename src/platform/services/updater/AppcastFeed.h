#pragma once

#include "AppcastItem.h"
#include "UpdateLinkPolicy.h"

#include <QByteArray>
#include <QList>

#include <optional>

namespace hourloom {

// An update feed: RSS 2.0 with the Sparkle namespace, the releases as channel items.
class AppcastFeed {
public:
    static inline const QString sparkleNamespace = QStringLiteral("http://www.andymatuschak.org/xml-namespaces/sparkle");

    // Larger answers are not read: real feeds hold a few dozen releases.
    static constexpr qint64 maximumSize = 1024 * 1024;

    // Absent when the bytes are not well-formed RSS.
    static std::optional<AppcastFeed> parse(const QByteArray &xml);

    // The highest version offered to everyone on this system: items on a channel, items whose
    // download is for another system, and items without a version or anything to open are
    // left out, and so are links the policy does not allow. Feeds may list items in any order.
    std::optional<AppcastItem> latestItem(const UpdateLinkPolicy &links) const;

    QList<AppcastItem> items;
};

} // namespace hourloom
