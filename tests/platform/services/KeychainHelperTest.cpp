// The credential store against a real gnome-keyring on a private session bus.
#include "support/KeyringSession.h"

#include "platform/services/secret/KeychainHelper.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <qcoro/qcorotask.h>

using namespace hourloom;
using hourloom::test::KeyringSession;

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
        QProcess tool;
        tool.setProcessChannelMode(QProcess::MergedChannels);
        tool.start("secret-tool", {"search", "--all", "service", service, "account", account});
        tool.waitForFinished(10000);
        return int(tool.readAll().count("secret = "));
    }

    KeychainHelper keychain;
};

} // namespace

TEST_F(KeychainHelper_, SavesReplacesReadsAndDeletes)
{
    EXPECT_EQ(read(accessService), std::nullopt);
    save("first token", accessService);
    EXPECT_EQ(read(accessService), QByteArray("first token"));
    save("second token", accessService);
    EXPECT_EQ(read(accessService), QByteArray("second token"));
    EXPECT_EQ(itemCount(accessService, KeychainHelperProtocol::account()), 1);

    // Bytes come back as they went in, also ones that are not UTF-8.
    const QByteArray binary("\xff\x00\xfe token", 9);
    save(binary, accessService);
    EXPECT_EQ(read(accessService), binary);

    remove(accessService);
    EXPECT_EQ(read(accessService), std::nullopt);
    // Deleting what is not there is no error.
    remove(accessService);
    EXPECT_EQ(read(accessService), std::nullopt);
}

TEST_F(KeychainHelper_, TheTwoItemsAreIndependent)
{
    save("access", accessService);
    save("refresh", refreshService);
    EXPECT_EQ(read(accessService), QByteArray("access"));
    EXPECT_EQ(read(refreshService), QByteArray("refresh"));

    save("refresh 2", refreshService);
    EXPECT_EQ(read(accessService), QByteArray("access"));
    remove(accessService);
    EXPECT_EQ(read(accessService), std::nullopt);
    EXPECT_EQ(read(refreshService), QByteArray("refresh 2"));
}

TEST_F(KeychainHelper_, EachEnvironmentHasItsOwnAccount)
{
    EXPECT_EQ(KeychainHelperProtocol::account(), "hourloom-Test");
    save("test token", accessService);
    save("development token", accessService, "hourloom-Development");
    EXPECT_EQ(read(accessService), QByteArray("test token"));
    EXPECT_EQ(read(accessService, "hourloom-Development"), QByteArray("development token"));
    remove(accessService, "hourloom-Development");
    EXPECT_EQ(read(accessService), QByteArray("test token"));
}

TEST_F(KeychainHelper_, ItemsAreSharedWithSecretTool)
{
    KeyringSession::secretTool({"store", "--label=scripted", "service", accessService, "account", "hourloom-Development"}, "scripted token");
    EXPECT_EQ(read(accessService, "hourloom-Development"), QByteArray("scripted token"));

    // Saving over a scripted item replaces it rather than adding a second one.
    save("agent token", accessService, "hourloom-Development");
    EXPECT_EQ(KeyringSession::secretTool({"lookup", "service", accessService, "account", "hourloom-Development"}), "agent token");
    EXPECT_EQ(itemCount(accessService, "hourloom-Development"), 1);

    remove(accessService, "hourloom-Development");
    EXPECT_EQ(KeyringSession::secretTool({"lookup", "service", accessService, "account", "hourloom-Development"}), "");
}

// The probe in a process of its own (libsecret keeps its bus connection per process), on the
// session bus the arguments set up: a private one started by dbus-run-session, or none. Nothing of
// the desktop this runs on reaches it: no bus address, no runtime folder where GLib would find the
// user's bus, no display, a HOME of its own.
class KeychainProbe {
public:
    KeychainProbe()
    {
        environment_ = QProcessEnvironment::systemEnvironment();
        environment_.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
        environment_.remove(QStringLiteral("DISPLAY"));
        environment_.insert(QStringLiteral("HOME"), home_.path());
        environment_.insert(QStringLiteral("XDG_DATA_HOME"), home_.filePath(QStringLiteral("data")));
        environment_.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime_.path());
    }

    QProcessEnvironment &environment() { return environment_; }

    // A bus configuration that knows no services: nothing can be started for the Secret Service.
    QString barrenBusConfiguration()
    {
        const QString path = home_.filePath(QStringLiteral("barren-bus.conf"));
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write("<busconfig><type>session</type><listen>unix:tmpdir=/tmp</listen><auth>EXTERNAL</auth>"
                   "<policy context=\"default\"><allow send_destination=\"*\" eavesdrop=\"true\"/><allow eavesdrop=\"true\"/>"
                   "<allow own=\"*\"/></policy></busconfig>");
        return path;
    }

    // A folder whose dbus-launch fails, as it does where no bus can be started for a display.
    QString failingDbusLaunch()
    {
        const QString folder = home_.filePath(QStringLiteral("bin"));
        QDir().mkpath(folder);
        QFile script(folder + QStringLiteral("/dbus-launch"));
        script.open(QIODevice::WriteOnly);
        script.write("#!/bin/sh\nexit 1\n");
        script.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        return folder;
    }

    // Runs the program (the probe itself, or dbus-run-session around it); false if it hung.
    bool run(const QString &program, const QStringList &arguments)
    {
        process_.setProcessEnvironment(environment_);
        process_.start(program, arguments);
        return process_.waitForFinished(60000);
    }

    std::string output() { return process_.readAllStandardOutput().toStdString(); }
    QString errors() { return QString::fromUtf8(process_.readAllStandardError()); }
    int exitCode() const { return process_.exitCode(); }

private:
    QTemporaryDir home_;
    QTemporaryDir runtime_;
    QProcessEnvironment environment_;
    QProcess process_;
};

const std::string keptInMemory = "access: kept\nrefresh: kept\nafter delete: access none, refresh kept\n";

// Without a session bus, or with no Secret Service on it, the store keeps this run's tokens in
// memory and says so once.
TEST(KeychainHelperWithoutSecretService, KeepsTokensForThisRunAndSaysSoOnce)
{
    const std::string expected = "No Secret Service is running: the login is kept only until Hourloom quits\n" + keptInMemory;
    {
        SCOPED_TRACE("a bus address where nothing listens");
        KeychainProbe probe;
        probe.environment().insert("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/hourloom-test-bus");
        ASSERT_TRUE(probe.run(KEYCHAIN_PROBE, {}));
        EXPECT_EQ(probe.exitCode(), 0);
        EXPECT_EQ(probe.output(), expected);
    }
    {
        SCOPED_TRACE("no address but a display, where GLib tries to start a bus and fails");
        KeychainProbe probe;
        probe.environment().insert("DISPLAY", ":99");
        probe.environment().insert("PATH", probe.failingDbusLaunch());
        ASSERT_TRUE(probe.run(KEYCHAIN_PROBE, {}));
        EXPECT_EQ(probe.exitCode(), 0);
        EXPECT_EQ(probe.output(), expected);
    }
    {
        SCOPED_TRACE("a bus on which nothing serves or can start the Secret Service");
        KeychainProbe probe;
        ASSERT_TRUE(probe.run("dbus-run-session", {"--config-file=" + probe.barrenBusConfiguration(), "--", KEYCHAIN_PROBE}));
        EXPECT_EQ(probe.exitCode(), 0);
        EXPECT_EQ(probe.output(), expected);
    }
}

// A service that answers, but with errors, is no reason to give up on it: each save that fails
// says so, and nothing is kept in memory.
TEST(KeychainHelperWithAFailingSecretService, EverySaveThatFailsSaysSoAndNothingIsKept)
{
    KeychainProbe probe;
    ASSERT_TRUE(probe.run("dbus-run-session", {"--config-file=" + probe.barrenBusConfiguration(), "--", KEYCHAIN_PROBE, "impostor"}));
    EXPECT_EQ(probe.exitCode(), 0);
    EXPECT_EQ(probe.output(), "Could not save Keychain data\nCould not save Keychain data\n"
                              "access: none\nrefresh: none\nafter delete: access none, refresh none\n");
}

// gnome-keyring without any keyring yet asks for a password for a new one at the first save.
// Here its prompt cannot show (no display) and is dismissed: that counts like no Secret Service
// for this run, and nothing prompts again.
TEST(KeychainHelperWithADismissedPrompt, KeepsTokensForThisRunSaysSoOnceAndPromptsOnlyOnce)
{
    KeychainProbe probe;
    ASSERT_TRUE(probe.run("dbus-run-session", {"--", KEYCHAIN_PROBE}));
    EXPECT_EQ(probe.exitCode(), 0);
    EXPECT_EQ(probe.output(), "The keyring prompt was dismissed: the login is kept only until Hourloom quits\n" + keptInMemory);
    EXPECT_EQ(probe.errors().count(QStringLiteral("Activating service name='org.gnome.keyring.SystemPrompter'")), 1) << probe.errors().toStdString();
}
