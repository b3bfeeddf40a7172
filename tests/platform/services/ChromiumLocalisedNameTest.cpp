// Debian's real chromium.desktop read under languages other than English: the desktop names the
// browser in the user's language, and web sessions are recorded all the same.
#include "model/AppSession.h"
#include "model/JsonWriter.h"
#include "platform/services/browser/BridgeScriptLibrary.h"
#include "platform/desktops/entries/DesktopApplication.h"
#include "platform/services/errors/StandardErrorLogger.h"
#include "tracking/AppSessionController.h"
#include "tracking/WebSessionController.h"

#include "ScopedEnvironment.h"
#include "support/XDesktop.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace hourloom;
using hourloom::test::ScopedEnvironment;
using hourloom::test::XDesktop;

TEST(ChromiumLocalisedName, RecordsWebSessionsUnderEveryLanguageAndSendsTheNameTheUserSees)
{
    const QString entryPath = QStringLiteral("/usr/share/applications/chromium.desktop");
    ASSERT_TRUE(QFileInfo::exists(entryPath)) << "Debian's chromium package is not installed";
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    const auto store = std::make_shared<BrowserStateStore>(root.path() + "/hourloom/browser");
    ASSERT_TRUE(store->preparePrivateDirectory());
    ASSERT_TRUE(store->write("chromium", BrowserState{"https://www.example.org", true, false, 1, ProcessIdentity::current()}));

    const QList<std::pair<QString, QString>> languages{
        {"de_DE.UTF-8", "Chromium-Webbrowser"},
        {"fr_FR.UTF-8", "Navigateur Web Chromium"},
        {"es_ES.UTF-8", "Navegador web Chromium"},
        {"C.UTF-8", "Chromium Web Browser"},
    };
    for (const auto &[locale, expectedName] : languages) {
        SCOPED_TRACE(locale.toStdString());
        const ScopedEnvironment environment({{"LC_ALL", locale}, {"XDG_DATA_HOME", root.path() + "/data"}, {"XDG_DATA_DIRS", "/usr/share"}});
        const RunningApplication application =
            describeApplication(DesktopEntryIndex::fromSystem(), WindowFacts{"chromium", "Chromium", std::nullopt, std::nullopt});
        ASSERT_EQ(application.localizedName, expectedName);
        ASSERT_EQ(application.bundleIdentifier, "chromium");

        const auto appSession = std::make_shared<AppSession>(application.localizedName, application.bundleIdentifier);
        AppSessionController controller(appSession, [store](std::shared_ptr<AppSessionProtocol> session) {
            auto web = std::make_shared<WebSessionController>(
                std::move(session), WebScriptingPlatform{BridgeScriptLibrary::type(store), StandardErrorLogger::shared()});
            web->scriptCache = std::make_shared<WebScriptCache>();
            web->webPollingInterval = 0.05;
            web->minWebSessionDuration = 0;
            return web;
        });
        ASSERT_NE(controller.wsc(), nullptr);
        ASSERT_TRUE(XDesktop::spinUntil([&] { return !appSession->webSessions().isEmpty(); }));
        EXPECT_EQ(appSession->webSessions().first()->webDomain()->domain(), "example.org");
        controller.endSession(QDateTime::currentDateTimeUtc());
        JsonWriter writer;
        appSession->encode(writer);
        const QJsonObject sent = QJsonDocument::fromJson(writer.take()).object();
        EXPECT_EQ(sent.value("desktop_app_attributes").toObject().value("app_name"), expectedName);
        EXPECT_EQ(sent.value("web_sessions_attributes").toArray().size(), 1);
    }
}
