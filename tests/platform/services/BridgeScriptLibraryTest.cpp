#include "platform/services/browser/BridgeScriptLibrary.h"
#include "platform/services/browserstate/BrowserCatalog.h"
#include "tracking/URLParser.h"
#include "tracking/WebAppleScriptGenerator.h"

#include "support/TestFiles.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace hourloom;

namespace {

class BridgeScriptLibrary_ : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(runtime.isValid());
        ASSERT_TRUE(store->preparePrivateDirectory());
    }

    // What one poll of the browser's script answers; "error" when the run fails.
    std::optional<QString> run(const QString &appName)
    {
        auto script = BridgeScriptLibrary::type(store)(WebAppleScriptGenerator::generateScript(appName));
        std::optional<QVariantMap> error;
        const auto response = script->executeAndReturnError(error);
        if (error)
            return "error: " + error->value("message").toString();
        return response->stringValue();
    }

    BrowserState stateOf(std::optional<QString> url, bool focused, qint64 updatedAt = 1, ProcessIdentity writer = ProcessIdentity::current())
    {
        return BrowserState{std::move(url), focused, false, updatedAt, writer};
    }

    QTemporaryDir runtime;
    std::shared_ptr<BrowserStateStore> store = std::make_shared<BrowserStateStore>(runtime.path() + "/hourloom/browser");
};

} // namespace

TEST_F(BridgeScriptLibrary_, CompilesOnlyTheBrowserScriptForms)
{
    for (const QString name : {"Chromium Web Browser", "Safari", "Name \"with\" quotes"}) {
        std::optional<QVariantMap> error;
        BridgeScriptLibrary script(WebAppleScriptGenerator::generateScript("Safari").replace("Safari", name), store);
        EXPECT_TRUE(script.compileAndReturnError(error)) << name.toStdString();
        EXPECT_FALSE(error);
    }
    const auto safari = BrowserScriptQuery::parse(WebAppleScriptGenerator::generateScript("Safari"));
    ASSERT_TRUE(safari);
    EXPECT_EQ(safari->appName, "Safari");
    EXPECT_TRUE(safari->frontDocument);
    const auto chromium = BrowserScriptQuery::parse(WebAppleScriptGenerator::generateScript("Chromium"));
    ASSERT_TRUE(chromium);
    EXPECT_EQ(chromium->appName, "Chromium");
    EXPECT_FALSE(chromium->frontDocument);

    const QString opera = WebAppleScriptGenerator::generateScript("Opera");
    for (const QString &text : {QString(), QString("return 1"), QString(opera).replace("URL", "title"), opera + "\ndo shell script \"x\"",
                                QString(opera).replace("exists window 1", "exists window 2")}) {
        BridgeScriptLibrary script(text, store);
        std::optional<QVariantMap> compileError;
        EXPECT_FALSE(script.compileAndReturnError(compileError));
        ASSERT_TRUE(compileError);
        EXPECT_EQ(compileError->value("message"), "Not a browser URL script");
        std::optional<QVariantMap> runError;
        EXPECT_EQ(script.executeAndReturnError(runError), nullptr);
        EXPECT_TRUE(runError);
    }
}

TEST_F(BridgeScriptLibrary_, AnswersTheFocusedProfilesURLOrNothingFromItsOwnFilesAndBelievesOnlyPrivateStatesOfRunningWriters)
{
    EXPECT_EQ(run("Chromium Web Browser"), std::nullopt); // no state yet
    ASSERT_TRUE(store->write("chromium", stateOf("https://a.example/", true, 10)));
    EXPECT_EQ(run("Chromium Web Browser"), "https://a.example/");
    EXPECT_EQ(run("Chromium"), "https://a.example/");
    EXPECT_EQ(run("Firefox ESR"), std::nullopt); // another browser's state is not this one's
    EXPECT_EQ(run("Safari"), "error: The browser bridge does not serve Safari");

    // A second profile of the same browser: the focused window wins, else the latest report.
    ProcessIdentity otherHost = ProcessIdentity::current();
    otherHost.pid = ::getppid();
    otherHost.startTime = *ProcessIdentity::startTimeOf(otherHost.pid);
    ASSERT_TRUE(store->write("chromium", stateOf("https://b.example/", true, 20, otherHost)));
    EXPECT_EQ(run("Chromium Web Browser"), "https://b.example/");
    ASSERT_TRUE(store->write("chromium", stateOf("https://a.example/", true, 25)));
    EXPECT_EQ(run("Chromium Web Browser"), "https://a.example/");
    ASSERT_TRUE(store->write("chromium", stateOf("https://b.example/", false, 30, otherHost)));
    EXPECT_EQ(run("Chromium Web Browser"), "https://a.example/");

    // No focused window in view of any profile while the browser is in front (a private window
    // the extension may not see): a page without a domain. Nor with no window in view at all.
    ASSERT_TRUE(store->write("chromium", stateOf("https://a.example/", false, 5)));
    EXPECT_EQ(run("Chromium Web Browser"), QString(""));
    ASSERT_TRUE(store->write("chromium", stateOf(std::nullopt, false, 40)));
    EXPECT_EQ(run("Chromium Web Browser"), QString(""));
    // The hosts gone: the browser has no window.
    store->remove("chromium", ProcessIdentity::current().pid);
    store->remove("chromium", otherHost.pid);
    EXPECT_EQ(run("Chromium Web Browser"), std::nullopt);

    // A private tab answers a page without a domain.
    ASSERT_TRUE(store->write("google-chrome", stateOf("https://a.example", true, 10)));
    EXPECT_EQ(run("Google Chrome"), "https://a.example");
    auto privateTab = stateOf(std::nullopt, true, 20);
    privateTab.privateTab = true;
    ASSERT_TRUE(store->write("google-chrome", privateTab));
    EXPECT_EQ(run("Google Chrome"), QString(""));
    EXPECT_EQ(URLParser().parseDomain(*run("Google Chrome")), std::nullopt);

    // Chrome Canary's files begin with Chrome's name; neither browser reads the other's.
    ASSERT_TRUE(store->write("google-chrome-canary", stateOf("https://canary.example", true, 30, otherHost)));
    EXPECT_EQ(run("Google Chrome"), QString(""));
    EXPECT_EQ(run("Google Chrome Canary"), "https://canary.example");
    store->remove("google-chrome", ProcessIdentity::current().pid);
    EXPECT_EQ(run("Google Chrome"), std::nullopt);
    EXPECT_EQ(run("Google Chrome Canary"), "https://canary.example");

    // Only private states of running writers are believed.
    const ProcessIdentity self = ProcessIdentity::current();
    const QString path = store->stateFilePath("firefox", self.pid);
    ASSERT_TRUE(store->write("firefox", stateOf("https://a.example/", true)));
    EXPECT_EQ(run("Firefox"), "https://a.example/");

    ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), 0644), 0);
    EXPECT_EQ(run("Firefox"), std::nullopt);
    ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), 0600), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(store->directory()).constData(), 0755), 0);
    EXPECT_EQ(run("Firefox"), std::nullopt);
    ASSERT_EQ(::chmod(QFile::encodeName(store->directory()).constData(), 0700), 0);
    EXPECT_EQ(run("Firefox"), "https://a.example/");

    // A link to a file elsewhere is not followed.
    QFile::remove(path);
    const QString outside = runtime.path() + "/outside.json";
    ASSERT_TRUE(test::writeFile(outside, stateOf("https://planted.example/", true).toJson()));
    ASSERT_TRUE(QFile::link(outside, path));
    EXPECT_EQ(run("Firefox"), std::nullopt);
    QFile::remove(path);

    // A writer that has gone, or a pid now used by another process.
    ASSERT_TRUE(store->write("firefox", stateOf("https://a.example/", true, 1, {self.pid, self.startTime + 1})));
    EXPECT_EQ(run("Firefox"), std::nullopt);
    ASSERT_TRUE(store->write("firefox", stateOf("https://a.example/", true, 1, {0x3fffffff, 1})));
    EXPECT_EQ(run("Firefox"), std::nullopt);

    ASSERT_TRUE(test::writeFile(store->stateFilePath("firefox", self.pid), "{not json"));
    EXPECT_EQ(run("Firefox"), std::nullopt);
}

TEST(BrowserCatalog, NamesEveryBrowserOfTheTableExceptSafariAndFindsBrowsersByProgram)
{
    for (auto it = WebAppleScriptGenerator::browserTable().cbegin(); it != WebAppleScriptGenerator::browserTable().cend(); ++it) {
        if (it.key() != "Safari") {
            EXPECT_NE(BrowserCatalog::forAppName(it.key()), nullptr) << it.key().toStdString();
        }
    }
    EXPECT_EQ(BrowserCatalog::forExecutable("/usr/lib/chromium/chromium")->id, "chromium");
    EXPECT_EQ(BrowserCatalog::forExecutable("/opt/google/chrome/chrome")->id, "google-chrome");
    EXPECT_EQ(BrowserCatalog::forExecutable("/usr/lib/firefox-esr/firefox-esr")->id, "firefox");
    EXPECT_EQ(BrowserCatalog::forExecutable("/usr/bin/xterm"), nullptr);
}
