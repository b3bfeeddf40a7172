#include "tracking/WebAppleScriptGenerator.h"

#include <gtest/gtest.h>

using namespace hourloom;

TEST(WebAppleScriptGenerator, WritesTheFrontDocumentScriptForWebkitAndTheActiveTabScriptForBlink)
{
    const QString safari = WebAppleScriptGenerator::generateScript("Safari");
    EXPECT_EQ(safari,
              "    tell application \"Safari\"\n"
              "        if (exists window 1) then\n"
              "            return URL of front document\n"
              "        end if\n"
              "    end tell");
    EXPECT_EQ(safari.size(), QString("Safari").size() + 126);

    const QString canary = WebAppleScriptGenerator::generateScript("Google Chrome Canary");
    EXPECT_EQ(canary,
              "    tell application \"Google Chrome Canary\"\n"
              "        if (exists window 1) then\n"
              "            return URL of active tab of front window\n"
              "        end if\n"
              "    end tell");
    EXPECT_EQ(canary.size(), QString("Google Chrome Canary").size() + 138);
}

TEST(WebAppleScriptGenerator, KnowsTheSevenBrowsersAndTheirLinuxNamesExactly)
{
    const QStringList blink{"Google Chrome", "Google Chrome Canary", "Brave Browser", "Opera", "Microsoft Edge", "Vivaldi",
                            "Chromium", "Chromium Web Browser", "Brave Web Browser", "Firefox", "Firefox ESR",
                            "Firefox Web Browser"};
    for (const QString &name : blink) {
        EXPECT_EQ(WebAppleScriptGenerator::browserTable().value(name, BrowserEngine::webkit), BrowserEngine::blink) << name.toStdString();
        EXPECT_TRUE(WebAppleScriptGenerator::generateScript(name).contains("return URL of active tab of front window"));
    }
    EXPECT_EQ(WebAppleScriptGenerator::browserTable().value("Safari"), BrowserEngine::webkit);
    EXPECT_EQ(WebAppleScriptGenerator::browserTable().size(), blink.size() + 1);

    for (const QString &name : QStringList{"safari", "GOOGLE CHROME", "Chromium web browser", "XTerm", ""}) {
        EXPECT_EQ(WebAppleScriptGenerator::generateScript(name), "") << name.toStdString();
        EXPECT_FALSE(WebAppleScriptGenerator::isBrowser(name));
    }
    // The name goes in as it is, quotes and all.
    EXPECT_TRUE(WebAppleScriptGenerator::generateScript("Opera").startsWith("    tell application \"Opera\"\n"));
}

TEST(WebAppleScriptGenerator, TellsBrowsersByTheirDesktopFileIdWhateverTheirNameAndOnlyNamesFromTheTable)
{
    EXPECT_EQ(WebAppleScriptGenerator::browserName("Chromium-Webbrowser", "chromium"), "Chromium");
    EXPECT_EQ(WebAppleScriptGenerator::browserName("Navigateur Web Chromium", "org.chromium.Chromium"), "Chromium");
    EXPECT_EQ(WebAppleScriptGenerator::browserName("Firefox ESR", "firefox-esr"), "Firefox ESR");
    EXPECT_EQ(WebAppleScriptGenerator::browserName("Navegador Firefox", "firefox-esr"), "Firefox ESR");
    EXPECT_EQ(WebAppleScriptGenerator::browserName("Google Chrome", "anything"), "Google Chrome");
    EXPECT_EQ(WebAppleScriptGenerator::browserName("Texteditor", "org.gnome.TextEditor"), std::nullopt);
    EXPECT_EQ(WebAppleScriptGenerator::browserName("chromium", "xterm"), std::nullopt);
    for (const QString id : {"chromium", "chromium-browser", "org.chromium.Chromium", "google-chrome", "com.google.Chrome",
                             "google-chrome-canary", "brave-browser", "com.brave.Browser", "microsoft-edge", "vivaldi-stable", "opera",
                             "firefox-esr", "firefox", "org.mozilla.firefox"}) {
        const auto name = WebAppleScriptGenerator::browserName("Localised", id);
        ASSERT_TRUE(name) << id.toStdString();
        EXPECT_TRUE(WebAppleScriptGenerator::isBrowser(*name)) << id.toStdString();
    }
}
