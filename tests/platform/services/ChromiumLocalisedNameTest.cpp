// Debian's real chromium.desktop read under languages other than English: the desktop names the
// browser in the user's language, under its desktop-file id. (That the id tells the browser
// whatever its name: WebAppleScriptGenerator; that a browser so named gets its web sessions:
// AppSessionController_ in tests/tracking, with the bridge's script for it in BridgeScriptLibrary_.)
#include "platform/desktops/entries/DesktopApplication.h"

#include "ScopedEnvironment.h"

#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace hourloom;
using hourloom::test::ScopedEnvironment;

TEST(ChromiumLocalisedName, DebiansEntryNamesTheBrowserInTheUsersLanguageUnderItsDesktopFileId)
{
    ASSERT_TRUE(QFileInfo::exists(QStringLiteral("/usr/share/applications/chromium.desktop"))) << "Debian's chromium package is not installed";
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
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
        EXPECT_EQ(application.localizedName, expectedName);
        EXPECT_EQ(application.bundleIdentifier, "chromium");
    }
}
