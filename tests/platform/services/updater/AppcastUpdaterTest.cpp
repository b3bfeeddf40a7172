// The update check against the local account service's sample appcast.
#include "platform/services/net/NetworkURLSession.h"
#include "platform/services/updater/AppcastUpdater.h"

#include "support/CountingURLSession.h"
#include "support/DevServerProcess.h"
#include "support/HostileHttpServer.h"

#include <gtest/gtest.h>

using namespace hourloom;
using hourloom::test::CountingURLSession;
using hourloom::test::DevServerProcess;
using hourloom::test::HostileHttpServer;

namespace {

// Writes down what the user would be told, and whether a check could start at that moment.
class RecordingPresenter final : public UpdatePresenterProtocol {
public:
    void showUpdateAvailable(const AppcastItem &item, const QString &currentVersion) override
    {
        told.append(QStringLiteral("available %1 over %2").arg(item.displayVersion(), currentVersion));
        offered = item;
        record();
    }
    void showUpToDate(const QString &currentVersion) override
    {
        told.append(QStringLiteral("up to date %1").arg(currentVersion));
        record();
    }
    void showFailure(UpdateCheckFailure failure) override
    {
        told.append(QStringLiteral("failure %1").arg(int(failure)));
        record();
    }

    void record() { canCheckWhileTelling.append(updater && updater->canCheckForUpdates()); }

    QStringList told;
    QList<bool> canCheckWhileTelling;
    std::optional<AppcastItem> offered;
    UpdaterProtocol *updater = nullptr;
};

class AppcastUpdater_ : public ::testing::Test {
protected:
    std::unique_ptr<AppcastUpdater> updater(const std::optional<QUrl> &feed, const QString &currentVersion)
    {
        // The local account service's sample links to itself over plain http.
        auto made = std::make_unique<AppcastUpdater>(session, feed, currentVersion, presenter, UpdateLinkPolicy(true));
        presenter->updater = made.get();
        QObject::connect(made.get(), &UpdaterProtocol::canCheckForUpdatesChanged, [this](bool canCheck) { changes.append(canCheck); });
        return made;
    }

    DevServerProcess server;
    std::shared_ptr<CountingURLSession> session = std::make_shared<CountingURLSession>(std::make_shared<NetworkURLSession>());
    std::shared_ptr<RecordingPresenter> presenter = std::make_shared<RecordingPresenter>();
    QList<bool> changes;
};

} // namespace

TEST_F(AppcastUpdater_, OffersTheHighestReleaseForEveryoneAndBlocksASecondCheckMeanwhileOrIsUpToDateFromAFeedUpToItsOwnLimit)
{
    const auto checker = updater(server.url("/appcast.xml"), "0.1.0");
    EXPECT_TRUE(checker->canCheckForUpdates());

    QCoro::Task<void> first = checker->check();
    EXPECT_FALSE(checker->canCheckForUpdates());
    checker->checkForUpdates();
    QCoro::waitFor(checker->check());
    QCoro::waitFor(std::move(first));

    EXPECT_EQ(session->sent.value("/appcast.xml"), 1) << "a check while one runs does nothing";
    EXPECT_EQ(presenter->told, QStringList{"available 0.2 over 0.1.0"});
    ASSERT_TRUE(presenter->offered);
    EXPECT_EQ(presenter->offered->downloadPage(), server.url("/downloads/hourloom-0.2.0-linux-x86_64.tar.gz"));
    EXPECT_TRUE(presenter->offered->descriptionHTML.contains("Crash reports"));
    EXPECT_EQ(changes, (QList<bool>{false, true}));
    EXPECT_TRUE(checker->canCheckForUpdates());

    // The newest or a newer running version is up to date.
    for (const char *running : {"0.2.0", "0.2", "0.2.1", "1.0"})
        QCoro::waitFor(updater(server.url("/appcast.xml"), running)->check());
    EXPECT_EQ(presenter->told.mid(1), (QStringList{"up to date 0.2.0", "up to date 0.2", "up to date 0.2.1", "up to date 1.0"}));

    // A feed may be larger than an answer of the service, up to its own limit.
    HostileHttpServer largeFeed(HostileHttpServer::Way::answer);
    const QByteArray item = "<item><sparkle:version xmlns:sparkle=\"http://www.andymatuschak.org/xml-namespaces/sparkle\">9.0</sparkle:version>"
                            "<enclosure url=\"https://hourloom.example/9.0.tar.gz\"/></item>";
    largeFeed.body = "<rss><channel>" + QByteArray(600 * 1024, ' ') + item + "</channel></rss>";
    QCoro::waitFor(updater(largeFeed.url("/appcast.xml"), "1.0")->check());
    HostileHttpServer floodedFeed(HostileHttpServer::Way::flood);
    floodedFeed.floodSize = 100 * 1000 * 1000;
    QCoro::waitFor(updater(floodedFeed.url("/appcast.xml"), "1.0")->check());
    EXPECT_EQ(presenter->told.mid(5), (QStringList{"available 9.0 over 1.0", QStringLiteral("failure %1").arg(int(UpdateCheckFailure::FeedUnreachable))}));
    EXPECT_LT(floodedFeed.bodyBytesSent, 20 * 1000 * 1000);
}

TEST_F(AppcastUpdater_, FailuresAreToldAndTheCommandComesBack)
{
    const auto unconfigured = updater(std::nullopt, "0.1.0");
    QCoro::waitFor(unconfigured->check());
    EXPECT_TRUE(unconfigured->canCheckForUpdates());

    QCoro::waitFor(updater(server.url("/no-such-feed.xml"), "0.1.0")->check());
    QCoro::waitFor(updater(server.url("/dev/envelopes"), "0.1.0")->check());
    server.injectFault({{"endpoint", "/appcast.xml"}, {"close", true}, {"count", 2}});
    const auto dropped = updater(server.url("/appcast.xml"), "0.1.0");
    QCoro::waitFor(dropped->check());

    EXPECT_EQ(presenter->told, (QStringList{QStringLiteral("failure %1").arg(int(UpdateCheckFailure::NotConfigured)),
                                            QStringLiteral("failure %1").arg(int(UpdateCheckFailure::FeedUnreachable)),
                                            QStringLiteral("failure %1").arg(int(UpdateCheckFailure::FeedUnreadable)),
                                            QStringLiteral("failure %1").arg(int(UpdateCheckFailure::FeedUnreachable))}));
    EXPECT_TRUE(dropped->canCheckForUpdates());
    EXPECT_EQ(presenter->canCheckWhileTelling, (QList<bool>{true, false, false, false}));
}
