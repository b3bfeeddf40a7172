// Reading update feeds and ordering versions as update frameworks do.
#include "platform/updater/AppcastFeed.h"
#include "platform/updater/VersionComparator.h"

#include <gtest/gtest.h>

using namespace hourloom;

TEST(VersionComparator, OrdersVersionsTheWayUpdateFeedsMeanThem)
{
    struct Case {
        const char *older;
        const char *newer;
    };
    for (const Case &ordered : {Case{"1.0", "1.0.1"}, Case{"1.9", "1.10"}, Case{"1.0b1", "1.0"}, Case{"1.0a1", "1.0b1"},
                                Case{"1.0b1", "1.0b2"}, Case{"1.0b9", "1.0b10"}, Case{"1.0b", "1.0.1"}, Case{"2", "10"},
                                Case{"1.0.0", "1.0.0.1"}, Case{"0.1.0", "0.2.0"}, Case{"99999999999999999998", "99999999999999999999"}}) {
        EXPECT_LT(VersionComparator::compare(ordered.older, ordered.newer), 0) << ordered.older << " < " << ordered.newer;
        EXPECT_GT(VersionComparator::compare(ordered.newer, ordered.older), 0) << ordered.newer << " > " << ordered.older;
    }
    for (const Case &same : {Case{"1.0", "1.0.0"}, Case{"1", "1.0.0.0"}, Case{"1.2.3", "1.2.3"}, Case{"1.0-beta", "1.0"},
                             Case{"2.1-5", "2.1-9"}, Case{"1.01", "1.1"}}) {
        EXPECT_EQ(VersionComparator::compare(same.older, same.newer), 0) << same.older << " = " << same.newer;
        EXPECT_EQ(VersionComparator::compare(same.newer, same.older), 0) << same.newer << " = " << same.older;
    }
}

namespace {

QByteArray feedWith(const QByteArray &items)
{
    return R"(<?xml version="1.0" encoding="utf-8"?>
<rss version="2.0" xmlns:sparkle="http://www.andymatuschak.org/xml-namespaces/sparkle">
<channel><title>Hourloom</title>)" + items + "</channel></rss>";
}

} // namespace

TEST(AppcastFeed, TheLatestItemIsTheHighestVersionForEveryoneOnLinux)
{
    const auto feed = AppcastFeed::parse(feedWith(R"(
<item><title>Two</title><sparkle:version>2.0</sparkle:version><sparkle:shortVersionString>2.0 "Loom"</sparkle:shortVersionString>
  <sparkle:releaseNotesLink>https://hourloom.example/notes/2.0</sparkle:releaseNotesLink>
  <enclosure url="https://hourloom.example/2.0.tar.gz" length="12345" type="application/octet-stream" sparkle:os="linux"/></item>
<item><title>Ten</title><enclosure url="https://hourloom.example/10.tar.gz" sparkle:version="10.0" length="1"/>
  <description><![CDATA[<p>Ten</p>]]></description></item>
<item><title>Beta</title><sparkle:version>11.0</sparkle:version><sparkle:channel>beta</sparkle:channel>
  <enclosure url="https://hourloom.example/11.tar.gz"/></item>
<item><title>Windows</title><sparkle:version>12.0</sparkle:version><enclosure url="https://hourloom.example/12.exe" sparkle:os="windows"/></item>
<item><title>Nothing to open</title><sparkle:version>13.0</sparkle:version></item>
<item><title>Page only</title><sparkle:version>3.0</sparkle:version><link>https://hourloom.example/3.0</link></item>)"));
    ASSERT_TRUE(feed);
    ASSERT_EQ(feed->items.size(), 6);

    const AppcastItem &two = feed->items.first();
    EXPECT_EQ(two.version, "2.0");
    EXPECT_EQ(two.displayVersion(), "2.0 \"Loom\"");
    EXPECT_EQ(two.releaseNotesLink, QUrl("https://hourloom.example/notes/2.0"));
    EXPECT_EQ(two.length, 12345);
    EXPECT_EQ(two.os, "linux");
    EXPECT_EQ(feed->items[2].channel, "beta");

    // Version 10 (on its enclosure, as older feeds write it), not the first item, and none of
    // beta, Windows or the item without a download.
    const auto latest = feed->latestItem();
    ASSERT_TRUE(latest);
    EXPECT_EQ(latest->title, "Ten");
    EXPECT_EQ(latest->displayVersion(), "10.0");
    EXPECT_EQ(latest->descriptionHTML, "<p>Ten</p>");
    EXPECT_EQ(latest->downloadPage(), QUrl("https://hourloom.example/10.tar.gz"));

    EXPECT_FALSE(AppcastFeed::parse(feedWith("")).value().latestItem());
    for (const QByteArray &broken : {QByteArray(), QByteArray("{\"json\": true}"), QByteArray("<html><body/></html>"),
                                     feedWith("<item><title>cut short").chopped(20)})
        EXPECT_FALSE(AppcastFeed::parse(broken)) << broken.constData();
}
