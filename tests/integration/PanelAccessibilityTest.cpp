// The real agent's panel as keyboard and screen-reader users meet it: typing through xdotool,
// and every step of the screen reader through AT-SPI (Debian's python3-pyatspi,
// tests/integration/panel_atspi.py) on the accessibility bus of the test's own session bus,
// started before the agent.
#include "AgentFixture.h"

#include <QFile>
#include <QProcess>

#include <gtest/gtest.h>

using namespace hourloom::test;

namespace {

class PanelAccessibility : public AgentFixture {
protected:
    PanelAccessibility() { extraEnvironment.insert(QStringLiteral("QT_LINUX_ACCESSIBILITY_ALWAYS_ON"), QStringLiteral("1")); }

    void SetUp() override
    {
        ASSERT_TRUE(startAccessibilityBus());
        AgentFixture::SetUp();
    }

    // Asking the session bus for the accessibility bus's address starts it (at-spi-bus-launcher,
    // activated by the bus), so it is there when the agent looks for it.
    static bool startAccessibilityBus()
    {
        QProcess call;
        call.start(QStringLiteral("dbus-send"), {QStringLiteral("--session"), QStringLiteral("--print-reply"), QStringLiteral("--dest=org.a11y.Bus"),
                                                 QStringLiteral("/org/a11y/bus"), QStringLiteral("org.a11y.Bus.GetAddress")});
        return call.waitForFinished(loadedMachineBound) && call.readAllStandardOutput().contains("unix:");
    }

    // Runs the AT-SPI client's steps; what it printed goes to `output`. Fails the test if a step
    // did not hold.
    void screenReader(const QStringList &steps, QByteArray *output = nullptr)
    {
        QProcess client;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        // The accessibility bus is found through the session bus, never a display's root window.
        environment.remove(QStringLiteral("DISPLAY"));
        client.setProcessEnvironment(environment);
        client.setProcessChannelMode(QProcess::MergedChannels);
        client.start(QStringLiteral("/usr/bin/python3"), QStringList{QStringLiteral(PANEL_ATSPI)} + steps);
        const bool finished = client.waitForFinished(4 * loadedMachineBound);
        const QByteArray printed = client.readAll();
        ASSERT_TRUE(finished && client.exitStatus() == QProcess::NormalExit && client.exitCode() == 0) << printed.toStdString();
        if (output)
            *output = printed;
    }
};

using PanelKeyboard = AgentFixture;

TEST_F(PanelKeyboard, APanelOpenedByARefusedLoginLeavesTheTypingToTheTerminalTheUserWorksIn)
{
    ASSERT_NO_FATAL_FAILURE(logInThroughThePanel());
    ASSERT_NO_FATAL_FAILURE(closePanel());
    ASSERT_TRUE(desktop.activate(terminal));
    server.injectFault(QJsonObject{{"endpoint", "/api/v1/user_activities"}, {"count", 2}, {"status", 401}});
    server.injectFault(QJsonObject{{"endpoint", "/oauth/token"}, {"count", 1}, {"status", 400},
                                   {"body", R"({"error":"invalid_grant","error_description":"revoked"})"}});
    ASSERT_TRUE(XDesktop::spinUntil([&] { return panel().isValid(); }, loadedMachineBound)) << "the panel did not ask for a login";

    const QString typed = home.filePath(QStringLiteral("typed"));
    ASSERT_TRUE(desktop.xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("2"), QStringLiteral("echo still-here > ") + typed + QStringLiteral("\n")}));
    QFile file(typed);
    EXPECT_TRUE(XDesktop::spinUntil([&] { return file.exists() && file.size() > 0; }, loadedMachineBound)) << "the typing did not reach the terminal; active window "
                                                                                                   << desktop.xdotoolOutput({QStringLiteral("getactivewindow")}).toStdString()
                                                                                                   << ", terminal " << terminal.toStdString();
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), "still-here\n");
    EXPECT_FALSE(panelIsActive());
    EXPECT_TRUE(panel().isValid());
}

TEST_F(PanelAccessibility, TypingRightAfterTheIconOpensThePanelLogsInAndARefusedPasswordKeepsTheFocusInTheForm)
{
    ASSERT_TRUE(desktop.activate(terminal));
    ASSERT_TRUE(openPanel());
    const auto typeText = [this](const QString &text) { return desktop.xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("2"), text}); };
    const auto key = [this](const QString &name) { return desktop.xdotool({QStringLiteral("key"), name}); };
    ASSERT_TRUE(typeText(DevServerProcess::email) && key(QStringLiteral("Tab")) && typeText(QStringLiteral("not the password")) && key(QStringLiteral("Return")));
    // The refusal shows, and the focus is still in Password: what is typed next replaces the
    // wrong password.
    ASSERT_NO_FATAL_FAILURE(screenReader({QStringLiteral("says:Invalid login details"), QStringLiteral("focused:Password")}));
    ASSERT_TRUE(key(QStringLiteral("ctrl+a")) && typeText(DevServerProcess::password) && key(QStringLiteral("Return")));
    EXPECT_TRUE(XDesktop::spinUntil([&] { return loggedIn(); }, loadedMachineBound)) << "the typing did not reach the form";
    EXPECT_TRUE(panelIsActive());
}

TEST_F(PanelAccessibility, AScreenReaderFindsThePanelLogsInHearsTheResultAndLogsOut)
{
    ASSERT_TRUE(openPanel());
    // A titled window with the focus in Email; every control named by what it shows.
    QByteArray heard;
    ASSERT_NO_FATAL_FAILURE(screenReader({QStringLiteral("window"), QStringLiteral("focused:Email"), QStringLiteral("wait:Password"),
                                               QStringLiteral("wait:Minimize"), QStringLiteral("wait:Quit"), QStringLiteral("dump"),
                                               QStringLiteral("type:Email=") + DevServerProcess::email,
                                               QStringLiteral("type:Password=not the password"), QStringLiteral("press:Log In"),
                                               QStringLiteral("announced:Invalid login details"), QStringLiteral("says:Invalid login details")},
                                              &heard));
    EXPECT_FALSE(loggedIn());
    std::cout << heard.toStdString();

    ASSERT_NO_FATAL_FAILURE(screenReader({QStringLiteral("type:Password=") + DevServerProcess::password, QStringLiteral("press:Log In"), QStringLiteral("wait:Settings"),
                  QStringLiteral("says:") + DevServerProcess::email, QStringLiteral("dump")}, &heard));
    std::cout << heard.toStdString();
    EXPECT_TRUE(XDesktop::spinUntil([&] { return loggedIn(); }, loadedMachineBound)) << "the login did not go through";

    ASSERT_NO_FATAL_FAILURE(screenReader({QStringLiteral("menu:Settings/Log Out"), QStringLiteral("wait:Email")}));
    EXPECT_TRUE(XDesktop::spinUntil([&] { return !loggedIn(); }, loadedMachineBound)) << "the log-out did not go through";
    EXPECT_TRUE(XDesktop::spinUntil([] { return storedToken("hourloomApiAccessToken").isEmpty(); }, loadedMachineBound));
}

} // namespace
