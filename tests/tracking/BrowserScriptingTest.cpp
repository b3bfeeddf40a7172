#include "tracking/AppleScriptService.h"
#include "tracking/WebAppleScriptGenerator.h"
#include "tracking/WebScriptCache.h"

#include "support/FakeErrorLogger.h"
#include "support/FakeScriptLibrary.h"

#include <QThread>

#include <gtest/gtest.h>

using namespace hourloom;
using namespace hourloom::test;

namespace {

struct Completion {
    int calls = 0;
    std::shared_ptr<ScriptLibraryResponseProtocol> response;
    std::optional<ScriptExecutionError> error;
    // How many errors the logger held when the completion ran.
    qsizetype capturesBefore = -1;
    bool onMainThread = false;
};

ScriptCompletion recordInto(Completion &completion, const FakeErrorLogger &logger)
{
    return [&completion, &logger](std::shared_ptr<ScriptLibraryResponseProtocol> response, std::optional<ScriptExecutionError> error) {
        ++completion.calls;
        completion.response = std::move(response);
        completion.error = std::move(error);
        completion.capturesBefore = logger.captures.size();
        completion.onMainThread = QThread::currentThread() == QCoreApplication::instance()->thread();
    };
}

class BrowserScripting : public ::testing::Test {
protected:
    // One run of the script, completed on the main loop.
    Completion execute(const std::shared_ptr<ScriptLibraryProtocol> &script, const QString &source)
    {
        Completion completion;
        service.executeScript(script, source, &logger, recordInto(completion, logger));
        finishScripts();
        EXPECT_EQ(completion.calls, 1);
        return completion;
    }

    FakeBrowser browser;
    FakeErrorLogger logger;
    AppleScriptService service;
};

} // namespace

TEST_F(BrowserScripting, TheCacheMakesOneCompiledScriptPerBrowser)
{
    WebScriptCache cache;

    const auto chrome = cache.script("Google Chrome", service, browser.libraryType(), &logger);
    ASSERT_NE(chrome, nullptr);
    finishScripts();
    EXPECT_EQ(browser.sources(), QStringList{WebAppleScriptGenerator::generateScript("Google Chrome")});
    EXPECT_EQ(browser.compiled, 1);

    // The second request is the same object, without a new text, object or compile.
    EXPECT_EQ(cache.script("Google Chrome", service, browser.libraryType(), &logger), chrome);
    finishScripts();
    EXPECT_EQ(browser.created, 1);
    EXPECT_EQ(browser.compiled, 1);
}

TEST_F(BrowserScripting, TheServiceReportsACompileErrorOnceAndCompletesRunsOnTheMainLoopReportingFailuresBeforeCompleting)
{
    const QString source = WebAppleScriptGenerator::generateScript("Opera");
    const auto script = service.initializeScript(source, browser.libraryType());

    browser.failCompile(QVariantMap{{"message", "no such application"}});
    service.compileScript(script, source, &logger);
    QThreadPool::globalInstance()->waitForDone();
    EXPECT_TRUE(logger.captures.isEmpty()); // not before the main loop runs
    finishScripts();
    ASSERT_EQ(logger.captures.size(), 1);
    EXPECT_EQ(logger.captures[0].typeName, "ScriptCompileError");
    EXPECT_EQ(logger.captures[0].details.value("Script").toString(), source);
    EXPECT_EQ(logger.captures[0].details.value("Compile Error").toMap().value("message"), "no such application");
    EXPECT_EQ(logger.captures[0].details.size(), 2);
    browser.failCompile(std::nullopt);
    service.compileScript(script, source, &logger);
    finishScripts();

    browser.show("https://example.org/");
    const Completion shown = execute(script, source);
    EXPECT_TRUE(shown.onMainThread);
    ASSERT_NE(shown.response, nullptr);
    EXPECT_EQ(shown.response->stringValue(), "https://example.org/");
    EXPECT_FALSE(shown.error);

    // No window: a response without text, and no error.
    browser.show(std::nullopt);
    const Completion noWindow = execute(script, source);
    ASSERT_NE(noWindow.response, nullptr);
    EXPECT_EQ(noWindow.response->stringValue(), std::nullopt);
    EXPECT_FALSE(noWindow.error);
    EXPECT_EQ(logger.captures.size(), 1) << "a compile or a run that went well reported something";

    browser.failRuns(QVariantMap{{"message", "the browser went away"}});
    const Completion failed = execute(script, source);
    EXPECT_EQ(failed.response, nullptr);
    ASSERT_TRUE(failed.error);
    EXPECT_EQ(failed.error->script, source);
    EXPECT_EQ(failed.capturesBefore, 2);
    ASSERT_EQ(logger.captures.size(), 2);
    EXPECT_EQ(logger.captures[1].typeName, "ScriptExecutionError");
    EXPECT_EQ(logger.captures[1].details.keys(), (QStringList{"Execution Error", "Script"}));
    EXPECT_EQ(logger.captures[1].details.value("Execution Error").toMap().value("message"), "the browser went away");
}
