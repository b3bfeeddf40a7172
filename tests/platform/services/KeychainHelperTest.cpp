// The credential store against a real gnome-keyring on a private session bus.
#include "support/KeyringSession.h"
#include "support/PrivateSessionBus.h"
#include "support/TestFiles.h"
#include "support/XDesktop.h"

#include "platform/services/secret/KeychainHelper.h"
#include "platform/services/secret/SecretWorker.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <qcoro/qcorotask.h>

#include <future>

using namespace hourloom;
using hourloom::test::KeyringSession;
using hourloom::test::PrivateSessionBus;
using hourloom::test::readFile;
using hourloom::test::writeFile;
using hourloom::test::XDesktop;

namespace {

[[maybe_unused]] auto *const keyring = ::testing::AddGlobalTestEnvironment(new KeyringSession);

const QString accessService = KeychainHelperProtocol::accessTokenService;
const QString refreshService = KeychainHelperProtocol::refreshTokenService;

class KeychainHelper_ : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(KeyringSession::isReady());
        for (const QString &account : {KeychainHelperProtocol::account(), QStringLiteral("hourloom-Development")}) {
            for (const QString &service : {accessService, refreshService})
                KeyringSession::secretTool({"clear", "service", service, "account", account});
        }
    }

    std::optional<QByteArray> read(const QString &service, const QString &account = KeychainHelperProtocol::account())
    {
        return QCoro::waitFor(keychain.readItem(service, account));
    }
    void save(const QByteArray &data, const QString &service, const QString &account = KeychainHelperProtocol::account())
    {
        QCoro::waitFor(keychain.saveItem(data, service, account));
    }
    void remove(const QString &service, const QString &account = KeychainHelperProtocol::account())
    {
        QCoro::waitFor(keychain.deleteItem(service, account));
    }

    // How many items secret-tool finds for the pair, whatever their schema.
    static int itemCount(const QString &service, const QString &account)
    {
        return int(KeyringSession::secretTool({"search", "--all", "service", service, "account", account}).count("secret = "));
    }

    KeychainHelper keychain;
};

} // namespace

TEST_F(KeychainHelper_, SavesReplacesReadsAndDeletesEachItemOnItsOwnUnderAnAccountPerEnvironmentSharedWithSecretTool)
{
    EXPECT_EQ(read(accessService), std::nullopt);
    save("first token", accessService);
    save("refresh", refreshService);
    EXPECT_EQ(read(accessService), QByteArray("first token"));
    save("second token", accessService);
    EXPECT_EQ(read(accessService), QByteArray("second token"));
    EXPECT_EQ(itemCount(accessService, KeychainHelperProtocol::account()), 1);
    EXPECT_EQ(read(refreshService), QByteArray("refresh"));

    // Bytes come back as they went in, also ones that are not UTF-8.
    const QByteArray binary("\xff\x00\xfe token", 9);
    save(binary, accessService);
    EXPECT_EQ(read(accessService), binary);

    remove(accessService);
    EXPECT_EQ(read(accessService), std::nullopt);
    EXPECT_EQ(read(refreshService), QByteArray("refresh"));
    // Deleting what is not there is no error.
    remove(accessService);
    EXPECT_EQ(read(accessService), std::nullopt);

    // Each environment has its own account, shared with secret-tool.
    EXPECT_EQ(KeychainHelperProtocol::account(), "hourloom-Test");
    save("test token", accessService);
    KeyringSession::secretTool({"store", "--label=scripted", "service", accessService, "account", "hourloom-Development"}, "scripted token");
    EXPECT_EQ(read(accessService, "hourloom-Development"), QByteArray("scripted token"));

    // Saving over a scripted item replaces it rather than adding a second one.
    save("development token", accessService, "hourloom-Development");
    EXPECT_EQ(KeyringSession::secretTool({"lookup", "service", accessService, "account", "hourloom-Development"}), "development token");
    EXPECT_EQ(itemCount(accessService, "hourloom-Development"), 1);
    EXPECT_EQ(read(accessService), QByteArray("test token"));

    remove(accessService, "hourloom-Development");
    EXPECT_EQ(KeyringSession::secretTool({"lookup", "service", accessService, "account", "hourloom-Development"}), "");
    EXPECT_EQ(read(accessService), QByteArray("test token"));

    // A delete the keyring is slow to reach (a call ahead of it on the worker, no prompt) returns
    // at the deadline and still happens: a log-out must not leave the token for the next start.
    std::promise<void> release;
    SecretWorker::shared().submit([done = release.get_future().share()](SecretWorker::Job &) { done.wait(); });
    KeychainHelper hurried(std::chrono::milliseconds(100));
    QCoro::waitFor(hurried.deleteItem(accessService, KeychainHelperProtocol::account()));
    release.set_value();
    EXPECT_TRUE(XDesktop::spinUntil([] { return KeyringSession::secretTool({"lookup", "service", accessService, "account", KeychainHelperProtocol::account()}).isEmpty(); }, 30000));
}

// The probe in a process of its own (libsecret keeps its bus connection per process), on a
// private session bus or none. Nothing of the desktop this runs on reaches it or its bus: no bus
// address, no runtime folder where GLib would find the user's bus, no display, a HOME and data
// folder of its own.
class KeychainProbe {
public:
    KeychainProbe()
    {
        for (const char *name : {"DBUS_SESSION_BUS_ADDRESS", "DISPLAY", "WAYLAND_DISPLAY"})
            environment_.remove(name);
        environment_.insert("HOME", home_.path());
        environment_.insert("XDG_DATA_HOME", home_.filePath("data"));
        environment_.insert("XDG_RUNTIME_DIR", runtime_.path());
    }

    QProcessEnvironment &environment() { return environment_; }

    // Starts a private session bus for the probe, in the probe's environment; the services named
    // here fail to start on it, and each attempt is counted. A barren bus knows of no service at
    // all. What went wrong, if anything.
    QString startBus(const QStringList &unstartable, bool barren = false)
    {
        const QString services = home_.filePath("data/dbus-1/services");
        QDir().mkpath(services);
        for (const QString &name : unstartable)
            writeFile(services + u'/' + name + ".service",
                      QStringLiteral("[D-BUS Service]\nName=%1\nExec=/bin/sh -c 'echo >> %2; exit 1'\n").arg(name, startsFile(name)).toUtf8());
        const QString configuration = barren ? home_.filePath("barren-bus.conf") : QString();
        if (barren)
            writeFile(configuration, "<busconfig><type>session</type><listen>unix:tmpdir=/tmp</listen><auth>EXTERNAL</auth>"
                                     "<policy context=\"default\"><allow send_destination=\"*\" eavesdrop=\"true\"/><allow eavesdrop=\"true\"/>"
                                     "<allow own=\"*\"/></policy></busconfig>");
        bus_.emplace(configuration, environment_);
        environment_.insert("DBUS_SESSION_BUS_ADDRESS", bus_->address());
        return bus_->error();
    }
    int starts(const QString &service) const { return int(readFile(startsFile(service)).value_or("").count('\n')); }

    // Runs the probe with the arguments: it must end, successfully, having printed `expected`.
    void expectRunPrints(const std::string &expected, const QStringList &arguments = {})
    {
        process_.setProcessEnvironment(environment_);
        process_.start(KEYCHAIN_PROBE, arguments);
        ASSERT_TRUE(process_.waitForFinished(60000)) << "the probe hung";
        EXPECT_EQ(process_.exitCode(), 0);
        EXPECT_EQ(process_.readAllStandardOutput().toStdString(), expected);
    }

private:
    QString startsFile(const QString &service) const { return home_.filePath(service + ".starts"); }

    QTemporaryDir home_;
    QTemporaryDir runtime_;
    QProcessEnvironment environment_ = QProcessEnvironment::systemEnvironment();
    std::optional<PrivateSessionBus> bus_;
    QProcess process_;
};

const std::string keptInMemory = "access: kept\nrefresh: kept\nafter delete: access none, refresh kept\n";

// With the login keyring locked a save raises its prompt. Nothing gives a prompt up, which would
// take the daemon down: the tokens are held meanwhile and stored once the person answers, however
// late, and a process that quits under a prompt nobody answers ends all the same.
TEST_F(KeychainHelper_, ALockedKeyringsPromptIsWaitedForWithTheTokensHeldMeanwhile)
{
    XDesktop desktop(XDesktop::WindowManager::none);
    ASSERT_EQ(desktop.error(), "");
    // Keys typed before the prompt grabs the keyboard are lost: type until the keyring opens.
    const auto answerPrompt = [&] {
        EXPECT_TRUE(XDesktop::spinUntil([&] {
            if (!desktop.windowsOfClass("gcr-prompter").isEmpty())
                desktop.xdotool({"type", KeyringSession::password}) && desktop.xdotool({"key", "Return"});
            return XDesktop::spinUntil([] { return !KeyringSession::loginLocked(); }, 3000);
        }, 60000));
    };

    KeyringSession::lockLogin(desktop.display());
    save("held token", accessService);
    EXPECT_EQ(read(accessService), QByteArray("held token"));
    answerPrompt();
    EXPECT_TRUE(XDesktop::spinUntil([] { return KeyringSession::secretTool({"lookup", "service", accessService, "account", KeychainHelperProtocol::account()}) == "held token"; }, 60000));

    KeyringSession::lockLogin(desktop.display());
    KeychainProbe probe;
    probe.environment().insert("DBUS_SESSION_BUS_ADDRESS", qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS"));
    probe.expectRunPrints(keptInMemory);
    answerPrompt();
    EXPECT_TRUE(KeyringSession::daemonRunning());
}

// Without a session bus, or with no Secret Service on it, the store keeps this run's tokens in
// memory and says so once.
TEST(KeychainHelperWithoutSecretService, KeepsTokensForThisRunAndSaysSoOnce)
{
    const std::string expected = "No Secret Service is running: the login is kept only until Hourloom quits\n" + keptInMemory;
    {
        SCOPED_TRACE("a bus address where nothing listens");
        KeychainProbe probe;
        probe.environment().insert("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/hourloom-test-bus");
        probe.expectRunPrints(expected);
    }
    {
        SCOPED_TRACE("no address but a display, where GLib tries to start a bus and fails");
        KeychainProbe probe;
        QTemporaryDir bin;
        ASSERT_TRUE(writeFile(bin.filePath("dbus-launch"), "#!/bin/sh\nexit 1\n"));
        QFile::setPermissions(bin.filePath("dbus-launch"), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        probe.environment().insert("DISPLAY", ":99");
        probe.environment().insert("PATH", bin.path());
        probe.expectRunPrints(expected);
    }
    for (const bool barren : {false, true}) {
        SCOPED_TRACE(barren ? "a bus that knows of no Secret Service" : "a bus on which the Secret Service cannot be started");
        KeychainProbe probe;
        ASSERT_EQ(probe.startBus(barren ? QStringList() : QStringList{"org.freedesktop.secrets"}, barren), "");
        probe.expectRunPrints(expected);
    }
}

// A service that answers, but with errors, is no reason to give up on it: each save that fails
// says so, and nothing is kept in memory.
TEST(KeychainHelperWithAFailingSecretService, EverySaveThatFailsSaysSoAndNothingIsKept)
{
    KeychainProbe probe;
    ASSERT_EQ(probe.startBus({"org.freedesktop.secrets"}), "");
    probe.expectRunPrints("Could not save Keychain data\nCould not save Keychain data\n"
                          "access: none\nrefresh: none\nafter delete: access none, refresh none\n",
                          {"impostor"});
}

// gnome-keyring without any keyring yet asks for a password for a new one at the first save.
// Here its prompt cannot show and is dismissed: that counts like no Secret Service for this run,
// and nothing prompts again.
TEST(KeychainHelperWithADismissedPrompt, KeepsTokensForThisRunSaysSoOnceAndPromptsOnlyOnce)
{
    KeychainProbe probe;
    ASSERT_EQ(probe.startBus({"org.gnome.keyring.SystemPrompter", "org.gnome.keyring.PrivatePrompter"}), "");
    probe.expectRunPrints("The keyring prompt was dismissed: the login is kept only until Hourloom quits\n" + keptInMemory);
    EXPECT_EQ(probe.starts("org.gnome.keyring.SystemPrompter") + probe.starts("org.gnome.keyring.PrivatePrompter"), 1);
}

// A call stuck on the worker (libsecret in a D-Bus call that never answers) holds up the end of
// the process no longer than the worker's bound.
TEST(KeychainHelperAtExit, AStuckCallDoesNotHoldUpTheEndOfTheProcess)
{
    KeychainProbe probe;
    probe.expectRunPrints("quitting\n", {"stuck-at-exit"});
}
