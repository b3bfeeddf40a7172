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
