#include "platform/PlatformBackend.h"

#include <gtest/gtest.h>

using namespace hourloom;

TEST(PlatformBackend, WaylandOrNoDisplayRunsWithoutTrackingAndSaysSo)
{
    NotificationCenter center;
    for (const auto &[variable, value] : std::vector<std::pair<QString, QString>>{
             {"WAYLAND_DISPLAY", "wayland-0"}, {"XDG_SESSION_TYPE", "wayland"}, {"DISPLAY", ""}, {"DISPLAY", ":999"}}) {
        QProcessEnvironment environment;
        environment.insert(QStringLiteral("DISPLAY"), QStringLiteral(":0"));
        environment.insert(variable, value);
        testing::internal::CaptureStdout();
        const PlatformBackend backend = PlatformBackend::forDesktop(center, environment);
        const std::string said = testing::internal::GetCapturedStdout();
        EXPECT_NE(said.find("This desktop is not supported yet"), std::string::npos) << variable.toStdString();
        EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1);
        EXPECT_FALSE(backend.workspace->frontmostApplication().has_value());
        EXPECT_EQ(backend.eventSource->secondsSinceLastEventType(1, 0xFFFFFFFF), 0.0);
        EXPECT_FALSE(backend.eventTracker->addGlobalMonitorForEvents(~0ull, [](const InputEvent &) {}).has_value());
    }
}
