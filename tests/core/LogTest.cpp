// The one log path: the system's lines exactly as given, failures apart, traces only when asked
// for, and Qt's own messages left to Qt.
#include "core/Log.h"

#include <QLoggingCategory>
#include <QScopeGuard>

#include <gtest/gtest.h>

using namespace hourloom;

TEST(Log, LinesGoOutExactlyAndTracesOnlyWhenSwitchedOn)
{
    const LogCapture capture;
    logLine(lcUpload, QStringLiteral("Could not send data to API"));
    logError(lcErrors, QStringLiteral("ScriptExecutionError: {\"NSAppleScriptErrorNumber\":-1}"));
    qCDebug(lcUpload) << "a trace nobody asked for";
    qWarning("Qt's own warning");
    EXPECT_EQ(capture.standardOutput(), "Could not send data to API\n");
    EXPECT_EQ(capture.standardError(), "ScriptExecutionError: {\"NSAppleScriptErrorNumber\":-1}\n");

    const auto restore = qScopeGuard([] { QLoggingCategory::setFilterRules({}); });
    QLoggingCategory::setFilterRules(QStringLiteral("hourloom.upload.debug=true"));
    qCDebug(lcUpload).noquote() << "nothing to send";
    qCDebug(lcIdle) << "still off";
    EXPECT_EQ(capture.standardError(), "ScriptExecutionError: {\"NSAppleScriptErrorNumber\":-1}\nhourloom.upload: nothing to send\n");
    EXPECT_EQ(capture.standardOutput(), "Could not send data to API\n");
}
