#include "core/Log.h"
#include "platform/desktops/BackendAttempt.h"
#include "platform/desktops/PlatformBackend.h"
#include "platform/desktops/unsupported/UnsupportedDesktop.h"
#include "platform/services/ScopedEnvironment.h"
#include "support/PrivateSessionBus.h"


#include <gtest/gtest.h>

using namespace hourloom;

namespace {

std::vector<std::string> linesOf(const QString &said)
{
    std::vector<std::string> lines;
    for (const QString &line : said.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        lines.push_back(line.toStdString());
    return lines;
}

void expectNoTracking(const PlatformBackend &backend)
{
    EXPECT_FALSE(backend.workspace->frontmostApplication().has_value());
    EXPECT_EQ(backend.eventSource->secondsSinceLastEventType(1, 0xFFFFFFFF), 0.0);
    EXPECT_FALSE(backend.eventTracker->addGlobalMonitorForEvents(~0ull, [](const InputEvent &) {}).has_value());
}

} // namespace

TEST(PlatformBackend, TheFirstBackendThatStartsServesOneWithoutIdleSecondsLeavesTheUserNeverIdleAndWithoutOneNothingIsTracked)
{
    NotificationCenter center;
    const auto workspace = std::make_shared<NoFrontmostWorkspace>();
    int tried = 0;
    const auto refused = [&](const char *why) {
        return [&tried, why](NotificationCenter &, const QProcessEnvironment &) {
            ++tried;
            return BackendAttempt::refused(QString::fromLatin1(why));
        };
    };
    const std::vector<PlatformBackend::Candidate> candidates{
        {QStringLiteral("First"), refused("not here")},
        {QStringLiteral("Second"), [&](NotificationCenter &, const QProcessEnvironment &) {
             ++tried;
             return BackendAttempt::withoutIdle(workspace, QStringLiteral("The desktop keeps its idle time to itself"));
         }},
        {QStringLiteral("Third"), refused("never asked")},
    };
    const LogCapture capture;
    const PlatformBackend backend = PlatformBackend::choose(candidates, center, QProcessEnvironment());
    EXPECT_EQ(linesOf(capture.standardOutput()), (std::vector<std::string>{"The First backend cannot start: not here",
                                                                           "The desktop keeps its idle time to itself: idle time is not detected"}));
    EXPECT_EQ(tried, 2);
    EXPECT_EQ(backend.workspace, workspace);
    expectNoTracking(backend);

    // Without a backend that starts, the agent runs without tracking and says so.
    for (const auto &[display, kind] : std::vector<std::pair<QString, std::string>>{{"", "no display"}, {":999", "an X11 session"}}) {
        QProcessEnvironment environment;
        environment.insert(QStringLiteral("DISPLAY"), display);
        const LogCapture capture;
        const PlatformBackend backend = PlatformBackend::forDesktop(center, environment);
        const std::vector<std::string> lines = linesOf(capture.standardOutput());
        ASSERT_EQ(lines.size(), 2u) << display.toStdString();
        EXPECT_EQ(lines[0].rfind("The X11 backend cannot start: ", 0), 0u) << lines[0];
        EXPECT_EQ(lines[1].rfind("This desktop is not supported yet (" + kind + ")", 0), 0u) << lines[1];
        expectNoTracking(backend);
    }
}

TEST(PlatformBackend, AWaylandSessionWhoseCompositorCannotBeReachedIsNotTrackedAndSaysSo)
{
    // As on a desktop, the test itself runs with a session bus; the session asked about has none.
    const test::PrivateSessionBus ownBus;
    ASSERT_TRUE(ownBus.error().isEmpty()) << ownBus.error().toStdString();
    const test::ScopedEnvironment ownAddress({{"DBUS_SESSION_BUS_ADDRESS", ownBus.address()}});

    NotificationCenter center;
    QProcessEnvironment environment;
    environment.insert(QStringLiteral("XDG_SESSION_TYPE"), QStringLiteral("wayland"));
    environment.insert(QStringLiteral("DISPLAY"), QStringLiteral(":999"));
    std::optional<LogCapture> capture(std::in_place);
    PlatformBackend backend = PlatformBackend::forDesktop(center, environment);
    EXPECT_EQ(linesOf(capture->standardOutput()),
              (std::vector<std::string>{"The GNOME Shell backend cannot start: no session bus", "The KDE backend cannot start: no session bus",
                                        "The wlroots backend cannot start: no Wayland display",
                                        "This desktop is not supported yet (a Wayland session): Hourloom cannot see the frontmost application or idle time here"}));
    expectNoTracking(backend);

    environment.insert(QStringLiteral("WAYLAND_DISPLAY"), QStringLiteral("wayland-9"));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), QStringLiteral("/nonexistent"));
    capture.emplace();
    backend = PlatformBackend::forDesktop(center, environment);
    EXPECT_EQ(linesOf(capture->standardOutput()).at(2),
              "The wlroots backend cannot start: cannot connect to the Wayland display /nonexistent/wayland-9");
    expectNoTracking(backend);
}
