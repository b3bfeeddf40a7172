#pragma once

#include <QString>
#include <QUrl>

#include <optional>

namespace hourloom {

class ConfigurationDocument;

// The agent's settings, read from the configuration document Info.json that ships beside the
// executable. Each value is loaded and checked the first time it is used (exactly once, also
// when two threads ask at the same moment) and kept for the life of the process. A missing or
// malformed value is a fault of the build: the process stops with a message naming the key.
class Configuration {
public:
    static QUrl rootURL();
    static QString apiClientId();
    static QString apiClientSecret();
    static QString environment();
    static QString sentryDSN();
    static double minIdleTime();
    static double idlePollingInterval();
    static double secondsMinAppSession();
    static double secondsBetweenApiSends();
    static double secondsMinWebSession();
    static double secondsWebPollingInterval();

    // "CFBundleShortVersionString", when present as text.
    static std::optional<QString> shortVersion();
    // "SUFeedURL", the update feed, when present as an http(s) URL. Without it the agent
    // still runs; only its update check has nowhere to look.
    static std::optional<QUrl> updateFeedURL();

    // Derived addresses: the root URL's text with a path appended (a trailing slash in the
    // root URL therefore doubles).
    static QUrl tokenEndpoint();
    static QUrl helpPage();
    static QUrl appendingPath(const QUrl &root, const QString &path);

    // Where the document is looked for: Info.json in the executable's folder.
    static QString documentPath();

private:
    static const ConfigurationDocument &document();
};

} // namespace hourloom
