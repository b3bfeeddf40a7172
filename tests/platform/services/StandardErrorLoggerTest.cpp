#include "platform/services/errors/StandardErrorLogger.h"
#include "tracking/ScriptExecutionError.h"

#include <gtest/gtest.h>

using namespace hourloom;

TEST(StandardErrorLogger, WritesOneLineWithTheTypeAndTheDetails)
{
    const ScriptExecutionError error("    tell application \"Opera\"\n    end tell", QVariantMap{{"message", "gone"}});
    const QString line = StandardErrorLogger::line(error);
    EXPECT_EQ(line, R"(ScriptExecutionError: {"Execution Error":{"message":"gone"},"Script":"    tell application \"Opera\"\n    end tell"})");
}
