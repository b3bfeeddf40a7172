#pragma once

#include <QString>
#include <QUrl>

namespace hourloom {

// One release in an update feed.
struct AppcastItem {
    QString title;
    // sparkle:version, the one that is compared.
    QString version;
    // sparkle:shortVersionString, the one shown; may be empty.
    QString shortVersionString;
    // The release's page ("link").
    QUrl link;
    // The enclosure: the download, its size and the system it is for (empty: any).
    QUrl downloadURL;
    qint64 length = 0;
    QString os;
    // Release notes: a page of their own, or HTML from "description".
    QUrl releaseNotesLink;
    QString descriptionHTML;
    // sparkle:channel; empty for items that are for everyone.
    QString channel;

    QString displayVersion() const { return shortVersionString.isEmpty() ? version : shortVersionString; }
    // What "Download" opens: the download itself, else the release's page.
    QUrl downloadPage() const { return downloadURL.isValid() ? downloadURL : link; }
};

} // namespace hourloom
