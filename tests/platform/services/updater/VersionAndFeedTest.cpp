// Reading update feeds and ordering versions as update frameworks do.
#include "platform/services/updater/AppcastFeed.h"
#include "platform/services/updater/VersionComparator.h"

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

TEST(AppcastFeed, TheLatestItemIsTheHighestVersionForEveryoneOnLinuxWithHttpsLinksAndLoopbackHttpOnlyWhenAllowed)
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
    const auto latest = feed->latestItem(UpdateLinkPolicy());
    ASSERT_TRUE(latest);
    EXPECT_EQ(latest->title, "Ten");
    EXPECT_EQ(latest->displayVersion(), "10.0");
    EXPECT_EQ(latest->descriptionHTML, "<p>Ten</p>");
    EXPECT_EQ(latest->downloadPage(), QUrl("https://hourloom.example/10.tar.gz"));

    EXPECT_FALSE(AppcastFeed::parse(feedWith("")).value().latestItem(UpdateLinkPolicy()));
    for (const QByteArray &broken : {QByteArray(), QByteArray("{\"json\": true}"), QByteArray("<html><body/></html>"),
                                     feedWith("<item><title>cut short").chopped(20)})
        EXPECT_FALSE(AppcastFeed::parse(broken)) << broken.constData();

    // Only https links are offered, and loopback http only when allowed.
    // The highest version offers nothing that may be opened; the next one offers its page only.
    const auto links = AppcastFeed::parse(feedWith(R"feed(
<item><title>Script</title><sparkle:version>9.0</sparkle:version><enclosure url="javascript:alert(document.cookie)"/>
  <link>file:///etc/passwd</link></item>
<item><title>Share</title><sparkle:version>8.0</sparkle:version><enclosure url="smb://attacker.example/share/hourloom"/></item>
<item><title>Relative</title><sparkle:version>7.0</sparkle:version><enclosure url="../../home/user/.bashrc"/></item>
<item><title>Plain http</title><sparkle:version>6.0</sparkle:version><enclosure url="http://hourloom.example/6.0.tar.gz"/></item>
<item><title>Local service</title><sparkle:version>5.0</sparkle:version><enclosure url="http://127.0.0.1:8787/downloads/5.0.tar.gz"/>
  <sparkle:releaseNotesLink>file:///etc/shadow</sparkle:releaseNotesLink></item>
<item><title>Page</title><sparkle:version>4.0</sparkle:version><enclosure url="file:///tmp/4.0.tar.gz"/>
  <link>https://hourloom.example/4.0</link><sparkle:releaseNotesLink>https://hourloom.example/notes/4.0</sparkle:releaseNotesLink></item>)feed"));
    ASSERT_TRUE(links);

    const auto released = links->latestItem(UpdateLinkPolicy());
    ASSERT_TRUE(released);
    EXPECT_EQ(released->title, "Page");
    EXPECT_EQ(released->downloadPage(), QUrl("https://hourloom.example/4.0"));
    EXPECT_EQ(released->releaseNotesLink, QUrl("https://hourloom.example/notes/4.0"));

    // A development service on this machine may offer plain http; its links elsewhere are still out.
    const auto development = links->latestItem(UpdateLinkPolicy(true));
    ASSERT_TRUE(development);
    EXPECT_EQ(development->title, "Local service");
    EXPECT_EQ(development->downloadPage(), QUrl("http://127.0.0.1:8787/downloads/5.0.tar.gz"));
    EXPECT_FALSE(development->releaseNotesLink.isValid());

    const UpdateLinkPolicy loopback(true);
    for (const char *allowed : {"https://hourloom.example/x", "http://localhost:8787/x", "http://[::1]/x", "http://127.0.0.2/x"})
        EXPECT_TRUE(loopback.allows(QUrl(allowed))) << allowed;
    for (const char *refused : {"http://hourloom.example/x", "http://127.0.0.1.attacker.example/x", "ftp://127.0.0.1/x", "https:relative", "//hourloom.example/x", ""})
        EXPECT_FALSE(loopback.allows(QUrl(refused))) << refused;
}
