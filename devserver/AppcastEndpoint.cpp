#include "AppcastEndpoint.h"

#include <QString>

namespace hourloom::devserver {
namespace {

// %1 is the service's root URL.
const char sampleAppcast[] = R"(<?xml version="1.0" encoding="utf-8"?>
<rss version="2.0" xmlns:sparkle="http://www.andymatuschak.org/xml-namespaces/sparkle" xmlns:dc="http://purl.org/dc/elements/1.1/">
  <channel>
    <title>Hourloom</title>
    <link>%1/appcast.xml</link>
    <description>Hourloom releases</description>
    <language>en</language>
    <item>
      <title>Version 0.1.0</title>
      <link>%1/releases/0.1.0</link>
      <pubDate>Mon, 06 May 2024 09:00:00 +0000</pubDate>
      <sparkle:version>0.1.0</sparkle:version>
      <sparkle:shortVersionString>0.1</sparkle:shortVersionString>
      <description><![CDATA[<h2>Hourloom 0.1</h2><p>The first release.</p>]]></description>
      <enclosure url="%1/downloads/hourloom-0.1.0-linux-x86_64.tar.gz" length="1048576" type="application/octet-stream" sparkle:os="linux"/>
    </item>
    <item>
      <title>Version 0.2.0</title>
      <link>%1/releases/0.2.0</link>
      <pubDate>Mon, 03 Jun 2024 09:00:00 +0000</pubDate>
      <sparkle:version>0.2.0</sparkle:version>
      <sparkle:shortVersionString>0.2</sparkle:shortVersionString>
      <description><![CDATA[<h2>Hourloom 0.2</h2><ul><li>Crash reports</li><li>Update checks</li><li>Start at login</li></ul>]]></description>
      <enclosure url="%1/downloads/hourloom-0.2.0-linux-x86_64.tar.gz" length="1153434" type="application/octet-stream" sparkle:os="linux"/>
    </item>
    <item>
      <title>Version 0.3.0 beta</title>
      <link>%1/releases/0.3.0</link>
      <pubDate>Mon, 01 Jul 2024 09:00:00 +0000</pubDate>
      <sparkle:version>0.3.0</sparkle:version>
      <sparkle:shortVersionString>0.3 beta</sparkle:shortVersionString>
      <sparkle:channel>beta</sparkle:channel>
      <description><![CDATA[<p>For testers only.</p>]]></description>
      <enclosure url="%1/downloads/hourloom-0.3.0-linux-x86_64.tar.gz" length="1200000" type="application/octet-stream" sparkle:os="linux"/>
    </item>
  </channel>
</rss>
)";

} // namespace

void AppcastEndpoint::handle(const httplib::Request &request, httplib::Response &response)
{
    const QString root = QStringLiteral("http://") + QString::fromStdString(request.get_header_value("Host"));
    response.status = 200;
    response.set_content(QString::fromUtf8(sampleAppcast).arg(root).toStdString(), "application/rss+xml; charset=utf-8");
}

} // namespace hourloom::devserver
