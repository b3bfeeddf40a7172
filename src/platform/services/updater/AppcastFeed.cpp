#include "AppcastFeed.h"

#include "VersionComparator.h"

#include <QXmlStreamReader>

namespace hourloom {
namespace {

bool isSparkle(const QXmlStreamReader &reader, QStringView name)
{
    return reader.namespaceUri() == AppcastFeed::sparkleNamespace && reader.name() == name;
}

void readEnclosure(const QXmlStreamAttributes &attributes, AppcastItem &item)
{
    item.downloadURL = QUrl(attributes.value(QStringLiteral("url")).toString());
    item.length = attributes.value(QStringLiteral("length")).toLongLong();
    item.os = attributes.value(AppcastFeed::sparkleNamespace, QStringLiteral("os")).toString();
    // Older feeds carry the versions on the enclosure instead of in elements of their own.
    if (item.version.isEmpty())
        item.version = attributes.value(AppcastFeed::sparkleNamespace, QStringLiteral("version")).toString();
    if (item.shortVersionString.isEmpty())
        item.shortVersionString = attributes.value(AppcastFeed::sparkleNamespace, QStringLiteral("shortVersionString")).toString();
}

// Reads the children of an <item>; the reader is on its start element.
AppcastItem readItem(QXmlStreamReader &reader)
{
    AppcastItem item;
    while (reader.readNextStartElement()) {
        const bool plain = reader.namespaceUri().isEmpty();
        if (plain && reader.name() == u"title")
            item.title = reader.readElementText().trimmed();
        else if (plain && reader.name() == u"link")
            item.link = QUrl(reader.readElementText().trimmed());
        else if (plain && reader.name() == u"description")
            item.descriptionHTML = reader.readElementText(QXmlStreamReader::IncludeChildElements).trimmed();
        else if (plain && reader.name() == u"enclosure") {
            readEnclosure(reader.attributes(), item);
            reader.skipCurrentElement();
        } else if (isSparkle(reader, u"version"))
            item.version = reader.readElementText().trimmed();
        else if (isSparkle(reader, u"shortVersionString"))
            item.shortVersionString = reader.readElementText().trimmed();
        else if (isSparkle(reader, u"releaseNotesLink"))
            item.releaseNotesLink = QUrl(reader.readElementText().trimmed());
        else if (isSparkle(reader, u"channel"))
            item.channel = reader.readElementText().trimmed();
        else
            reader.skipCurrentElement();
    }
    return item;
}

bool isForEveryoneHere(const AppcastItem &item)
{
    return item.channel.isEmpty() && (item.os.isEmpty() || item.os == u"linux") && !item.version.isEmpty()
        && item.downloadPage().isValid();
}

} // namespace

std::optional<AppcastFeed> AppcastFeed::parse(const QByteArray &xml)
{
    QXmlStreamReader reader(xml);
    if (!reader.readNextStartElement() || reader.name() != u"rss")
        return std::nullopt;
    AppcastFeed feed;
    while (reader.readNextStartElement()) {
        if (reader.name() != u"channel") {
            reader.skipCurrentElement();
            continue;
        }
        while (reader.readNextStartElement()) {
            if (reader.name() == u"item" && reader.namespaceUri().isEmpty())
                feed.items.append(readItem(reader));
            else
                reader.skipCurrentElement();
        }
    }
    if (reader.hasError())
        return std::nullopt;
    return feed;
}

std::optional<AppcastItem> AppcastFeed::latestItem(const UpdateLinkPolicy &links) const
{
    std::optional<AppcastItem> latest;
    for (const AppcastItem &listed : items) {
        const AppcastItem item = links.withAllowedLinks(listed);
        if (isForEveryoneHere(item) && (!latest || VersionComparator::compare(item.version, latest->version) > 0))
            latest = item;
    }
    return latest;
}

} // namespace hourloom
