#include "tracking/WebAppleScriptGenerator.h"

#include <gtest/gtest.h>

using namespace hourloom;

TEST(WebAppleScriptGenerator, WritesTheFrontDocumentScriptForWebkitTheActiveTabScriptForEveryOtherBrowserAndTellsBrowsersByTheirDesktopFileId)
{
    EXPECT_EQ(WebAppleScriptGenerator::generateScript("Safari"),
              "    tell application \"Safari\"\n"
              "        if (exists window 1) then\n"
              "            return URL of front document\n"
              "        end if\n"
              "    end tell");
    EXPECT_EQ(WebAppleScriptGenerator::generateScript("Google Chrome Canary"),
              QString(WebAppleScriptGenerator::generateScript("Safari")).replace("Safari", "Google Chrome Canary").replace("front document", "active tab of front window"));
    for (const QString name : {"Chromium Web Browser", "Firefox ESR"})
        EXPECT_TRUE(WebAppleScriptGenerator::generateScript(name).contains("return URL of active tab of front window")) << name.toStdString();

    // Names match exactly; anything else is no browser.
    for (const QString name : {"safari", "GOOGLE CHROME", "Chromium web browser", "XTerm", ""}) {
        EXPECT_EQ(WebAppleScriptGenerator::generateScript(name), "") << name.toStdString();
        EXPECT_FALSE(WebAppleScriptGenerator::isBrowser(name));
    }

    // Browsers are told by their desktop-file id whatever their name, and only names from the table.
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
