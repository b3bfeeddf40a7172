// The credential store against a real gnome-keyring on a private session bus.
#include "support/KeyringSession.h"

#include "platform/secret/KeychainHelper.h"

#include <QProcess>

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

// Without a Secret Service the store keeps this run's tokens in memory and says so once.
// libsecret keeps its bus connection per process, hence a process of its own.
TEST(KeychainHelperWithoutSecretService, KeepsTokensForThisRunAndSaysSoOnce)
{
    // A bus address where nothing listens; and no address but a display, where GLib tries (and
    // here fails) to start a bus itself.
    const std::vector<std::pair<QString, QString>> sessions{{"DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/hourloom-test-bus"},
                                                            {"DISPLAY", ":99"}};
    for (const auto &[variable, value] : sessions) {
        QProcess probe;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove("DBUS_SESSION_BUS_ADDRESS");
        environment.insert(variable, value);
        probe.setProcessEnvironment(environment);
        probe.start(KEYCHAIN_PROBE);
        ASSERT_TRUE(probe.waitForFinished(30000));
        EXPECT_EQ(probe.exitCode(), 0);
        const QString output = QString::fromUtf8(probe.readAllStandardOutput());
        EXPECT_EQ(output,
                  "No Secret Service is running: the login is kept only until Hourloom quits\n"
                  "access: kept\nrefresh: kept\nafter delete: access none, refresh kept\n")
            << variable.toStdString();
    }
}
