// The upload scheduler and dispatcher in the agent as it is built, against a scripted service
// and with the sessions' times from a clock the tests control.
#include "agent/InMemoryAgent.h"

#include "core/Configuration.h"
#include "core/Log.h"
#include "model/WebSession.h"

using namespace hourloom;
using namespace hourloom::test;

namespace {

class Upload : public InMemoryAgent {
protected:
    void SetUp() override
    {
        launch();
        ASSERT_TRUE(logIn().isSuccess());
        tracking().minSessionDuration = 0;
    }

    std::shared_ptr<FakeTimer> uploadTimer() const { return std::dynamic_pointer_cast<FakeTimer>(scheduler().uploadActivityTimer); }
    QJsonObject received(const std::shared_ptr<AppSessionProtocol> &session) const { return accepted().value(id(session)); }
    QStringList domains(const std::shared_ptr<AppSessionProtocol> &session) const
    {
        QStringList result;
        for (const QJsonValue &web : received(session)["web_sessions_attributes"].toArray())
            result << web["web_domain_attributes"]["domain"].toString();
        return result;
    }
};

TEST_F(Upload, TheTimerUploadsEveryPeriodFromOnePeriodAfterLoginAndOnlyWithAToken)
{
    const auto timer = uploadTimer();
    ASSERT_NE(timer, nullptr);
    EXPECT_TRUE(timer->repeats);
    EXPECT_EQ(timer->interval, Configuration::secondsBetweenApiSends());
    EXPECT_EQ(uploads(), 0); // nothing at once

    const auto first = switchTo("Editor", 0);
    const auto second = switchTo("Files", 30);
    timer->fire();
    EXPECT_EQ(uploads(), 1);
    EXPECT_EQ(service->last(FakeURLSession::activityPath).header("Authorization"), "Bearer access-1");
    EXPECT_EQ(batch(), AppSessionList{second}); // only the open one waits

    timer->fire();
    EXPECT_EQ(uploads(), 2);
    expectArrivedAsRecorded({first});
    EXPECT_EQ(received(second)["end_time"], wire(clock.now())); // the open one, ending "now"

    // Without a token a timer step sends nothing, and the timer keeps running.
    QCoro::waitFor(auth().logOut());
    QCoro::waitFor(scheduler().uploadTimerFired());
    EXPECT_EQ(uploads(), 2);
    EXPECT_TRUE(timer->isValid());
}

TEST_F(Upload, ARejectedTokenIsRenewedOnceAndTheUploadRetried)
{
    const auto editor = switchTo("Editor", 0);
    switchTo("Files", 30);
    service->queue(FakeURLSession::activityPath, {401});
    upload();
    EXPECT_EQ(service->sent(FakeURLSession::tokenPath), 2);
    EXPECT_EQ(uploads(), 2);
    EXPECT_EQ(service->last(FakeURLSession::activityPath).header("Authorization"), "Bearer access-2");
    EXPECT_EQ(stored(refreshService), "refresh-2");
    expectArrivedAsRecorded({editor});

    // Rejected again after the renewal: no second renewal, and nothing is lost.
    const auto files = batch().last();
    switchTo("Terminal", 30);
    service->queue(FakeURLSession::activityPath, {401}, 2);
    upload();
    EXPECT_EQ(service->sent(FakeURLSession::tokenPath), 3);
    EXPECT_EQ(uploads(), 4);
    EXPECT_TRUE(batch().contains(files));
    upload();
    expectArrivedAsRecorded({editor, files});
}

TEST_F(Upload, NoEndedSessionIsLostThroughAnOutageAndALogOutDuringOneCompletes)
{
    QList<std::shared_ptr<AppSessionProtocol>> ended;
    ended << switchTo("Editor", 0);
    auto page = std::make_shared<WebSession>(QStringLiteral("example.org"));
    ended.last()->webSessions().append(page);
    clock.advance(10);
    page->end(clock.now());

    // The service cannot be reached.
    ended << switchTo("Files", 30);
    service->queue(FakeURLSession::activityPath, {.transportFailure = true});
    {
        const LogCapture capture;
        upload();
        EXPECT_EQ(capture.standardOutput(), "Could not send data to API\n");
    }
    EXPECT_EQ(batch().size(), 2);

    // It answers failing, then recovers.
    service->queue(FakeURLSession::activityPath, {500, "<html>down</html>"}, 2);
    ended << switchTo("Terminal", 30);
    upload();
    ended << switchTo("Browser", 30);
    upload();
    EXPECT_EQ(batch().size(), 4); // ended ones wait, in order, with the open one
    const auto current = switchTo("Editor", 30);
    upload(); // recovered
    expectArrivedAsRecorded(ended);
    EXPECT_EQ(domains(ended.first()), QStringList{"example.org"});
    EXPECT_EQ(batch(), AppSessionList{current});

    // Logging out with the service down again completes and forgets the access token.
    service->queue(FakeURLSession::activityPath, {.transportFailure = true});
    const LogCapture capture;
    QCoro::waitFor(scheduler().logOut());
    EXPECT_EQ(capture.standardOutput(), "Could not send data to API\n");
    EXPECT_FALSE(auth().loggedIn());
    EXPECT_EQ(stored(accessService), std::nullopt);
    EXPECT_EQ(stored(refreshService), "refresh-1");
    EXPECT_TRUE(batch().isEmpty());
    EXPECT_EQ(scheduler().uploadActivityTimer, nullptr);
    EXPECT_FALSE(tracking().appSwitchTracker()->appSwitchObserver().has_value());
}

TEST_F(Upload, ASessionReopenedWhileItsUploadIsInFlightStaysAndGoesOutWithItsNewTimes)
{
    tracking().minSessionDuration = 5;
    const auto browser = switchTo("Browser", 0);
    auto page = std::make_shared<WebSession>(QStringLiteral("example.org"));
    browser->webSessions().append(page);
    switchTo("Files", 30); // the browser's session and its page end
    page->end(*browser->endTime());

    service->gate.close();
    auto inFlight = scheduler().uploadSessionBatch();
    // A detour: back in the browser a second later. Files was too short, and the browser's
    // session is reopened with its last page, as a quick return does.
    switchTo("Browser", 1);
    ASSERT_TRUE(browser->isActive());
    page->setEndTime(std::nullopt);
    service->gate.open();
    QCoro::waitFor(std::move(inFlight));
    EXPECT_EQ(batch(), AppSessionList{browser});
    EXPECT_EQ(browser->webSessions(), WebSessionList{page});

    // Both go on, end for good and reach the service with their true ends.
    clock.advance(40);
    page->end(clock.now());
    switchTo("Terminal", 0);
    upload();
    expectArrivedAsRecorded({browser});
    EXPECT_EQ(domains(browser), QStringList{"example.org"});
    const QJsonObject web = received(browser)["web_sessions_attributes"][0].toObject();
    EXPECT_EQ(web["id"], page->id().toString(QUuid::WithoutBraces));
    EXPECT_EQ(web["end_time"], wire(*page->endTime()));
}

TEST_F(Upload, EachPartTakesWhatItCarriedEndedWhenTheBodiesAreWritten)
{
    const auto editor = switchTo("Editor", 0);
    const auto files = switchTo("Files", 30);
    const auto terminal = switchTo("Terminal", 30);
    scheduler().maxUploadBytes = 1; // a part per session; the open Terminal session goes last
    service->gate.close();
    auto parts = scheduler().uploadSessionBatch();
    // While the first part is in flight, Terminal's session ends.
    const auto browser = switchTo("Browser", 20);
    service->gate.open();
    QCoro::waitFor(std::move(parts));
    EXPECT_EQ(uploads(), 3);
    EXPECT_EQ(batch(), (AppSessionList{terminal, browser}));

    upload();
    expectArrivedAsRecorded({editor, files, terminal});
}

TEST_F(Upload, OneUploadAtATimeAndLogOutWaitsForTheOneInFlight)
{
    // The service answers slowly; a timer step while the upload is in flight sends nothing.
    const auto editor = switchTo("Editor", 0);
    service->gate.close();
    auto slow = scheduler().uploadSessionBatch();
    const auto files = switchTo("Files", 13);
    uploadTimer()->fire();
    EXPECT_EQ(uploads(), 1);
    service->gate.open();
    QCoro::waitFor(std::move(slow));
    upload();
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(uploads(), 2);
    expectArrivedAsRecorded({editor}); // the older answer never lands over a newer one

    // Log-out during a slow timer upload: its own upload follows, with the session's true end.
    service->gate.close();
    auto timerUpload = scheduler().uploadTimerFired();
    clock.advance(20);
    auto logOut = scheduler().logOut();
    service->gate.open();
    QCoro::waitFor(std::move(logOut));
    QCoro::waitFor(std::move(timerUpload));
    EXPECT_EQ(uploads(), 4);
    expectArrivedAsRecorded({editor, files});
    EXPECT_EQ(received(files)["end_time"], wire(clock.now()));

    // The log-out's end stays that session's end: the first switch after the next login starts
    // afresh instead of ending it once more.
    const QDateTime loggedOutAt = *files->endTime();
    ASSERT_TRUE(logIn().isSuccess());
    switchTo("Mail", 30);
    EXPECT_EQ(*files->endTime(), loggedOutAt);
}

TEST_F(Upload, A413NeverDropsASessionAndThePartSizeGrowsBackWhileARefusalDropsTheEndedOnesWithOneLine)
{
    QList<std::shared_ptr<AppSessionProtocol>> ended;
    ended << switchTo("Editor", 0) << switchTo("Files", 30) << switchTo("Terminal", 30) << switchTo("Browser", 30);
    const auto current = switchTo("Mail", 30);

    // The service refuses every body as too large for a while: parts shrink to single sessions,
    // and a single session that is still too large waits like any failure.
    service->queue(FakeURLSession::activityPath, {413}, 16);
    {
        const LogCapture capture;
        for (int attempt = 0; attempt < 20 && batch().size() > 1; ++attempt)
            upload();
        EXPECT_EQ(capture.standardOutput(), "");
    }
    EXPECT_EQ(batch(), AppSessionList{current});
    expectArrivedAsRecorded(ended);
    EXPECT_LT(scheduler().maxUploadBytes, UserActivityController::defaultMaxUploadBytes);

    // Accepted uploads let the part size grow back to the default.
    for (int attempt = 0; attempt < 30 && scheduler().maxUploadBytes < UserActivityController::defaultMaxUploadBytes; ++attempt)
        upload();
    EXPECT_EQ(scheduler().maxUploadBytes, UserActivityController::defaultMaxUploadBytes);

    // A batch the service refuses for good goes.
    const auto files = switchTo("Files", 30);
    service->queue(FakeURLSession::activityPath, {422, R"({"errors":[{"message":"bad batch"}]})"});
    const LogCapture capture;
    upload();
    EXPECT_EQ(capture.standardOutput(), "The service refused the activity upload (HTTP 422): 1 ended sessions dropped\n");
    EXPECT_EQ(batch(), AppSessionList{files});
}

TEST_F(Upload, AnOpenSessionGoesOutOnlyOnceItHasLastedTheShortestSessionKept)
{
    // A session the agent drops as too short never reaches the service, even though an upload
    // came while it was open.
    tracking().minSessionDuration = 10;
    const auto editor = switchTo("Editor", 0);
    clock.advance(3);
    upload();
    const auto files = switchTo("Files", 4);
    EXPECT_FALSE(batch().contains(editor)) << "dropped as too short";
    clock.advance(12);
    upload();
    EXPECT_FALSE(accepted().contains(id(editor)));
    EXPECT_EQ(received(files)["end_time"], wire(clock.now()));
}

} // namespace
