// Web sessions from a real browser: Debian's Chromium with the extension and the native host,
// a page server on loopback, and a web session controller polling through the bridge.
#include "app/MainLoopTimer.h"
#include "model/AppSession.h"
#include "platform/browser/BridgeScriptLibrary.h"
#include "platform/desktop/DesktopEntryIndex.h"
#include "platform/errors/StandardErrorLogger.h"
#include "tracking/WebAppleScriptGenerator.h"
#include "tracking/WebSessionController.h"

#include "support/NavigationServer.h"
#include "support/XDesktop.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <iostream>
#include <unistd.h>

using namespace hourloom;
using hourloom::test::NavigationServer;
using hourloom::test::XDesktop;

namespace {

// Chromium in a process group of its own, so that its helpers go with it.
class Chromium {
public:
    Chromium(const QString &root, const QString &startURL)
    {
        const QString profile = root + "/profile";
        QDir().mkpath(profile + "/NativeMessagingHosts");
        QFile manifest(profile + "/NativeMessagingHosts/org.hourloom.browser_bridge.json");
        manifest.open(QIODevice::WriteOnly);
        manifest.write(R"({"name": "org.hourloom.browser_bridge", "description": "Hourloom test", "path": ")" BROWSER_HOST
                       R"(", "type": "stdio", "allowed_origins": ["chrome-extension://bbpolgeoikpkpipojfnjoagccgcinhoo/"]})");
        manifest.close();

        // As on a logged-in desktop, the runtime folder exists (0700) before anything runs: the
        // host does not create $XDG_RUNTIME_DIR itself.
        QDir().mkdir(root + "/run", QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        auto environment = QProcessEnvironment::systemEnvironment();
        environment.insert("XDG_RUNTIME_DIR", root + "/run");
        environment.insert("HOME", root + "/home");
        environment.remove("DISPLAY");
        process_.setProcessEnvironment(environment);
        process_.setChildProcessModifier([] { ::setpgid(0, 0); });
        // Headless Chromium complains at length about the missing session bus; nothing to see.
        process_.setStandardOutputFile(QProcess::nullDevice());
        process_.setStandardErrorFile(QProcess::nullDevice());
        QStringList arguments{"--headless=new", "--disable-gpu", "--no-first-run", "--disable-background-networking",
                              "--disable-component-update", "--disable-sync", "--user-data-dir=" + profile,
                              "--load-extension=" EXTENSION_DIR, startURL};
        if (::geteuid() == 0)
            arguments.prepend("--no-sandbox");
        process_.start(program(), arguments);
        process_.waitForStarted(10000);
    }

    ~Chromium() { close(); }

    static QString program() { return QStandardPaths::findExecutable("chromium"); }
    bool isRunning() const { return process_.state() == QProcess::Running; }

    void close()
    {
        if (process_.state() == QProcess::NotRunning)
            return;
        const auto group = static_cast<pid_t>(process_.processId());
        ::kill(-group, SIGTERM);
        if (!process_.waitForFinished(10000))
            ::kill(-group, SIGKILL);
        process_.waitForFinished(5000);
        // Helpers that outlived the browser.
        ::kill(-group, SIGKILL);
    }

private:
    QProcess process_;
};

QString lastDomain(const AppSession &session)
{
    return session.webSessions().isEmpty() ? QString() : session.webSessions().last()->webDomain()->domain();
}

} // namespace

TEST(ChromiumBridge, RecordsTheActiveTabsDomainsAsWebSessionsAndNothingOnceTheBrowserCloses)
{
    ASSERT_FALSE(Chromium::program().isEmpty()) << "Debian's chromium package is not installed";
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    NavigationServer server;
    ASSERT_TRUE(server.isListening());

    // The application name is the one the desktop gives Chromium's windows.
    const DesktopEntryIndex desktopEntries = DesktopEntryIndex::fromSystem();
    const DesktopEntry *entry = desktopEntries.find(WindowFacts{"chromium", "Chromium", std::nullopt, std::nullopt});
    ASSERT_NE(entry, nullptr);
    const QString appName = entry->name;
    ASSERT_TRUE(WebAppleScriptGenerator::isBrowser(appName)) << appName.toStdString();

    const auto store = std::make_shared<BrowserStateStore>(root.path() + "/run/hourloom/browser");
    const auto appSession = std::make_shared<AppSession>(appName, entry->id);
    auto controller = std::make_shared<WebSessionController>(appSession, WebScriptingPlatform{BridgeScriptLibrary::type(store), StandardErrorLogger::shared()});
    controller->scriptCache = std::make_shared<WebScriptCache>();
    // Every page in this test is shown briefly; keep them all.
    controller->minWebSessionDuration = 0;
    controller->startPolling();

    Chromium chromium(root.path(), server.pageURL("127.0.0.1"));
    ASSERT_TRUE(chromium.isRunning());
    ASSERT_TRUE(XDesktop::spinUntil([&] { return lastDomain(*appSession) == "127.0.0.1"; }, 30000))
        << "no web session for the first page";

    QList<qint64> latencies;
    const QStringList hosts{"localhost", "127.0.0.1", "localhost", "127.0.0.1"};
    for (const QString &host : hosts) {
        ASSERT_TRUE(XDesktop::spinUntil([&] { return server.waitingPages() > 0; }, 15000));
        QElapsedTimer sinceNavigation;
        sinceNavigation.start();
        ASSERT_EQ(server.navigate(server.pageURL(host)), 1);
        ASSERT_TRUE(XDesktop::spinUntil([&] { return lastDomain(*appSession) == host; }, 15000)) << host.toStdString();
        latencies << sinceNavigation.elapsed();
    }
    QStringList domains;
    for (const auto &session : appSession->webSessions())
        domains << session->webDomain()->domain() + (session->isActive() ? "*" : "");
    EXPECT_EQ(domains, (QStringList{"127.0.0.1", "localhost", "127.0.0.1", "localhost", "127.0.0.1*"}));

    // Closed browser: the host has gone with its state, and the script answers no value.
    chromium.close();
    ASSERT_TRUE(XDesktop::spinUntil([&] { return !store->current("chromium").has_value(); }));
    auto script = BridgeScriptLibrary::type(store)(WebAppleScriptGenerator::generateScript(appName));
    std::optional<QVariantMap> error;
    const auto response = script->executeAndReturnError(error);
    EXPECT_FALSE(error);
    ASSERT_NE(response, nullptr);
    EXPECT_EQ(response->stringValue(), std::nullopt);
    // With no value the open web session simply continues.
    XDesktop::spinFor(int(controller->webPollingInterval * 1000) + 500);
    EXPECT_EQ(appSession->webSessions().size(), 5);
    EXPECT_TRUE(appSession->webSessions().last()->isActive());

    QStringList figures;
    for (const qint64 ms : latencies)
        figures << QString::number(ms);
    std::cout << "navigation to applied domain change, ms (poll interval " << controller->webPollingInterval * 1000
              << " ms): " << figures.join(", ").toStdString() << std::endl;
    ::testing::Test::RecordProperty("navigationToDomainMs", figures.join(",").toStdString());
}
