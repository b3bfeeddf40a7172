// The real agent ending every way it can, with the local account service down: by a signal, by
// SIGKILL, by its X server going away, by the service refusing its login; and started twice.
// What had ended arrives once the service is back and the agent runs again.
#include "AgentFixture.h"

#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QSaveFile>
#include <QRegularExpression>
#include <QFileInfo>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>

using namespace hourloom::test;

namespace {

class AgentLifecycle : public AgentFixture {
protected:
    explicit AgentLifecycle(const QJsonObject &configuration = {})
        : AgentFixture(configuration)
    {
    }

    // Logs in, quits and empties the state folder for the next start.
    void quitAfterALogInAndEmptyTheStateFolder();
    // The started agent tracks a switch from the terminal to the logo and uploads it.
    void expectTrackingAndUploads();

    const QString state = home.filePath(QStringLiteral("state"));
    const QString folder = state + QStringLiteral("/hourloom");
};

QString wire(const QDateTime &time)
{
    return time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

int permissions(const QString &path)
{
    struct stat status {};
    ::stat(QFile::encodeName(path).constData(), &status);
    return status.st_mode & 07777;
}

// The sessions that began in [from, to], in start order.
QList<StoredAppSession> between(const QHash<QString, StoredAppSession> &sessions, const QDateTime &from, const QDateTime &to)
{
    QList<StoredAppSession> found;
    for (const auto &session : sessions) {
        if (session.startTime >= wire(from) && session.startTime <= wire(to))
            found.append(session);
    }
    std::sort(found.begin(), found.end(), [](const auto &a, const auto &b) { return a.startTime < b.startTime; });
    return found;
}

QStringList appNames(const QList<StoredAppSession> &sessions)
{
    QStringList names;
    for (const auto &session : sessions)
        names.append(session.appName);
    return names;
}

// The id of a session of `app` that the service stores now and did not store in `before`.
QString arrivedSince(const QHash<QString, StoredAppSession> &before, const QString &app, const QHash<QString, StoredAppSession> &now)
{
    for (auto session = now.cbegin(); session != now.cend(); ++session) {
        if (session->appName == app && !before.contains(session.key()))
            return session.key();
    }
    return {};
}

TEST_F(AgentLifecycle, WhatEndedDuringAnOutageArrivesAfterSighupAndAfterSigkillWithItsTimes)
{
    QDateTime begin;
    ASSERT_NO_FATAL_FAILURE(workInTwoApplications(begin, true));
    ASSERT_TRUE(desktop.activate(terminal));
    XDesktop::spinFor(500);

    // The session ends (systemd-logind's SIGHUP): the quit sequence runs, its upload fails.
    ::kill(pid_t(agent.process().processId()), SIGHUP);
    ASSERT_NO_FATAL_FAILURE(expectCleanExit("SIGHUP"));
    const QDateTime quit = QDateTime::currentDateTime();
    XDesktop::spinFor(1100); // the next start's first session begins after that second
    EXPECT_EQ(permissions(folder), 0700);
    EXPECT_EQ(permissions(folder + QStringLiteral("/outbox.sqlite")), 0600);

    serviceBack();
    ASSERT_NO_FATAL_FAILURE(startAgent());
    ASSERT_TRUE(XDesktop::spinUntil([&] { return between(server.storedActivities(), begin, quit).size() >= 3; }, loadedMachineBound));
    const auto afterQuit = server.storedActivities();
    EXPECT_EQ(appNames(between(afterQuit, begin, quit)), (QStringList{"XTerm", "XLogo", "XTerm"})) << "each once, in order";
    for (const auto &session : between(afterQuit, QDateTime(), quit)) {
        EXPECT_LE(session.startTime, session.endTime);
        EXPECT_LE(session.endTime, wire(quit)) << "ended by the quit, not at the restart";
    }

    // Down again, and the agent is killed outright: the open session arrives ended at the last
    // upload tick before the kill.
    serviceDown();
    const QDateTime second = QDateTime::currentDateTime();
    ASSERT_TRUE(desktop.activate(logo));
    XDesktop::spinFor(5000); // two upload ticks: checkpoints
    agent.process().kill();
    ASSERT_TRUE(agent.process().waitForFinished(loadedMachineBound));
    const QDateTime killed = QDateTime::currentDateTime();
    XDesktop::spinFor(1100);
    serviceBack();
    ASSERT_NO_FATAL_FAILURE(startAgent());
    ASSERT_TRUE(XDesktop::spinUntil([&] { return appNames(between(server.storedActivities(), second, killed)).contains("XLogo"); }, loadedMachineBound));
    for (const auto &session : between(server.storedActivities(), second, killed)) {
        if (session.appName == "XLogo") {
            EXPECT_LT(session.startTime, session.endTime) << "checkpointed after it began";
            EXPECT_LE(session.endTime, wire(killed));
        }
    }
}

TEST_F(AgentLifecycle, WhenTheXServerGoesAwayWhatHadEndedArrivesFromTheNextStart)
{
    ASSERT_NO_FATAL_FAILURE(logInThroughThePanel());
    const QDateTime begin = QDateTime::currentDateTime().addSecs(-1);
    serviceDown();
    ASSERT_TRUE(desktop.activate(logo));
    XDesktop::spinFor(1500);
    ASSERT_TRUE(desktop.activate(terminal));
    XDesktop::spinFor(3000); // an upload tick: a checkpoint of the open session

    desktop.killServer();
    ASSERT_TRUE(agent.process().waitForFinished(loadedMachineBound)) << "the agent outlived its display";
    const QDateTime gone = QDateTime::currentDateTime();

    serviceBack();
    XDesktop next(XDesktop::WindowManager::none);
    ASSERT_TRUE(next.error().isEmpty()) << next.error().toStdString();
    ASSERT_NO_FATAL_FAILURE(startAgent(next.display()));
    ASSERT_TRUE(XDesktop::spinUntil([&] { return between(server.storedActivities(), begin, gone).size() >= 2; }, loadedMachineBound));
    EXPECT_EQ(appNames(between(server.storedActivities(), begin, gone)).mid(0, 2), (QStringList{"XLogo", "XTerm"}));
}

TEST_F(AgentLifecycle, ARefusedLoginAsksForANewOneAndTheTimeTrackedBeforeArrivesAfterIt)
{
    ASSERT_NO_FATAL_FAILURE(logInThroughThePanel());
    ASSERT_NO_FATAL_FAILURE(closePanel());
    // The session the refusal ends is known by its id, not by when it began: XLogo may have been
    // frontmost since the login, and the next login begins another XLogo session, possibly within
    // the second the refusal was seen in.
    ASSERT_TRUE(desktop.activate(terminal));
    ASSERT_TRUE(XDesktop::spinUntil([&] { return storedApps({"XTerm"}); }, loadedMachineBound));
    const auto beforeLogo = server.storedActivities();
    ASSERT_TRUE(desktop.activate(logo));
    QString open;
    ASSERT_TRUE(XDesktop::spinUntil([&] { return !(open = arrivedSince(beforeLogo, "XLogo", server.storedActivities())).isEmpty(); },
                                    loadedMachineBound))
        << "the XLogo session did not go out open";
    // What an upload before the refusal carried: the session open, with a provisional end.
    const QString provisional = server.storedActivities().value(open).endTime;

    // The login is revoked at the service: the access token is refused, and so is the refresh.
    server.injectFault(QJsonObject{{"endpoint", "/api/v1/user_activities"}, {"count", 2}, {"status", 401}});
    server.injectFault(QJsonObject{{"endpoint", "/oauth/token"}, {"count", 1}, {"status", 400},
                                   {"body", R"({"error":"invalid_grant","error_description":"revoked"})"}});
    ASSERT_TRUE(XDesktop::spinUntil([&] { return !loggedIn(); }, loadedMachineBound)) << "still shown as logged in";
    ASSERT_TRUE(XDesktop::spinUntil([&] { return panel().isValid(); }, loadedMachineBound)) << "the panel did not ask for a login";
    const QDateTime expired = QDateTime::currentDateTime();
    const auto atRefusal = server.storedActivities();
    EXPECT_TRUE(XDesktop::spinUntil([&] { return agent.output().contains("no longer accepts this login"); }, loadedMachineBound));

    // The next login's first upload carries what waited in the outbox with the new session.
    ASSERT_NO_FATAL_FAILURE(logInThroughThePanel());
    ASSERT_TRUE(XDesktop::spinUntil([&] { return server.storedActivities().size() > atRefusal.size(); }, loadedMachineBound))
        << "nothing arrived after the new login";
    const QString end = server.storedActivities().value(open).endTime;
    EXPECT_GT(end, provisional) << "the session ended by the refusal did not arrive";
    EXPECT_LE(end, wire(expired)) << "the session ended by the refusal arrived with a later end";
}

TEST_F(AgentLifecycle, WhatALogOutDuringAnOutageLeftArrivesWithTheSameAccountsNextLoginOnly)
{
    QDateTime begin;
    ASSERT_NO_FATAL_FAILURE(workInTwoApplications(begin, true));
    ASSERT_NO_FATAL_FAILURE(logOutThroughThePanel()); // its upload fails
    const QDateTime loggedOut = QDateTime::currentDateTime();
    XDesktop::spinFor(1100);
    serviceBack();

    // Another account on this machine: its uploads carry none of them.
    ASSERT_NO_FATAL_FAILURE(logInThroughThePanel(DevServerProcess::otherEmail));
    ASSERT_TRUE(XDesktop::spinUntil([&] { return !server.storedActivities(DevServerProcess::otherEmail).isEmpty(); }, loadedMachineBound))
        << "nothing arrived for the other account";
    EXPECT_TRUE(between(server.storedActivities(DevServerProcess::otherEmail), begin, loggedOut).isEmpty());
    ASSERT_NO_FATAL_FAILURE(logOutThroughThePanel());

    // The first account again: they arrive under it, with the ends the log-out gave them.
    ASSERT_NO_FATAL_FAILURE(logInThroughThePanel());
    ASSERT_TRUE(XDesktop::spinUntil([&] { return between(server.storedActivities(), begin, loggedOut).size() >= 2; }, loadedMachineBound))
        << "the sessions the log-out left did not arrive";
    const auto leftByTheLogOut = between(server.storedActivities(), begin, loggedOut);
    EXPECT_EQ(appNames(leftByTheLogOut), (QStringList{"XTerm", "XLogo"}));
    for (const auto &session : leftByTheLogOut)
        EXPECT_LE(session.endTime, wire(loggedOut));
    EXPECT_TRUE(between(server.storedActivities(DevServerProcess::otherEmail), begin, loggedOut).isEmpty());
}

// Idle after two seconds without input, polled every second: a return from idleness is quick.
class AgentQuickToIdle : public AgentLifecycle {
protected:
    AgentQuickToIdle()
        : AgentLifecycle({{"MIN_IDLE_TIME", "2"}, {"IDLE_POLLING_INTERVAL", "1"}})
    {
    }
};

TEST_F(AgentQuickToIdle, AfterALogOutAReturnFromIdlenessAndAQuitRecordNothingTheNextLoginSends)
{
    ASSERT_NO_FATAL_FAILURE(logInThroughThePanel());
    ASSERT_NO_FATAL_FAILURE(logOutThroughThePanel());
    XDesktop::spinFor(1100);
    const QDateTime loggedOut = QDateTime::currentDateTime();
    ASSERT_TRUE(desktop.activate(terminal));
    XDesktop::spinFor(4000);
    ASSERT_TRUE(desktop.xdotool({QStringLiteral("key"), QStringLiteral("x")}));
    XDesktop::spinFor(3000);
    ASSERT_NO_FATAL_FAILURE(quitAgent());
    const QDateTime quit = QDateTime::currentDateTime();
    XDesktop::spinFor(1100);

    // The next login's first upload carries whatever the outbox held, before the work after it.
    ASSERT_NO_FATAL_FAILURE(startAgent());
    ASSERT_NO_FATAL_FAILURE(logInThroughThePanel());
    ASSERT_NO_FATAL_FAILURE(closePanel());
    ASSERT_NO_FATAL_FAILURE(expectTrackingAndUploads());
    const QStringList whileLoggedOut = appNames(between(server.storedActivities(), loggedOut, quit));
    EXPECT_TRUE(whileLoggedOut.isEmpty()) << "booked from while logged out: " << whileLoggedOut.join(u' ').toStdString();
}

// Sessions shorter than five seconds are dropped: a detour is easy to make.
class AgentDroppingShortSessions : public AgentFixture {
protected:
    AgentDroppingShortSessions()
        : AgentFixture({{"SECONDS_MIN_APP_SESSION", "5"}})
    {
    }
};

TEST_F(AgentDroppingShortSessions, ADetourCheckpointedDuringAnOutageIsNotSentAfterARestart)
{
    ASSERT_NO_FATAL_FAILURE(logInThroughThePanel());
    ASSERT_NO_FATAL_FAILURE(closePanel());
    XDesktop::spinFor(1100);
    const QDateTime begin = QDateTime::currentDateTime();
    serviceDown();
    ASSERT_TRUE(desktop.activate(terminal));
    XDesktop::spinFor(6000);
    // Upload ticks (every 2 s) checkpoint while the detour is open; the return merges it away.
    ASSERT_TRUE(desktop.activate(logo));
    XDesktop::spinFor(3000);
    ASSERT_TRUE(desktop.activate(terminal));
    XDesktop::spinFor(2000);
    ASSERT_NO_FATAL_FAILURE(quitAgent());
    const QDateTime quit = QDateTime::currentDateTime();
    XDesktop::spinFor(1100);

    serviceBack();
    ASSERT_NO_FATAL_FAILURE(startAgent());
    ASSERT_TRUE(XDesktop::spinUntil([&] { return appNames(between(server.storedActivities(), begin, quit)).contains("XTerm"); }, loadedMachineBound))
        << "what the quit left did not arrive";
    const QStringList arrived = appNames(between(server.storedActivities(), begin, quit));
    EXPECT_FALSE(arrived.contains("XLogo")) << "booked: " << arrived.join(u' ').toStdString();
}

// The agent's wall clock is its own (libfaketime, steered through a file read at every reading),
// while its timers and the idle counter run on the monotonic clock: a step of the file's offset
// is a suspend and wake-up. The idle poll is slow, so that a switch notices the wake-up first.
class AgentWakingUp : public AgentFixture {
protected:
    AgentWakingUp()
        : AgentFixture({{"IDLE_POLLING_INTERVAL", "30"}})
    {
        setWallClockOffset(0);
        extraEnvironment = {{"LD_PRELOAD", "/usr/lib/x86_64-linux-gnu/faketime/libfaketimeMT.so.1"},
                            {"FAKETIME_TIMESTAMP_FILE", clockFile},
                            {"FAKETIME_NO_CACHE", "1"},
                            {"FAKETIME_DONT_FAKE_MONOTONIC", "1"},
                            {"FAKETIME_FORCE_MONOTONIC_FIX", "0"}};
    }
    void setWallClockOffset(int seconds)
    {
        QSaveFile file(clockFile);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QStringLiteral("%1%2\n").arg(seconds < 0 ? "" : "+").arg(seconds).toUtf8());
        ASSERT_TRUE(file.commit());
    }

    const QString clockFile = home.filePath(QStringLiteral("wall-clock-offset"));
};

TEST_F(AgentWakingUp, AClickRightAfterTheLidOpensBooksNoneOfTheNight)
{
    ASSERT_NO_FATAL_FAILURE(logInThroughThePanel());
    ASSERT_NO_FATAL_FAILURE(closePanel());
    ASSERT_TRUE(desktop.activate(terminal));
    XDesktop::spinFor(3000);
    setWallClockOffset(8 * 3600);
    ASSERT_TRUE(desktop.activate(logo));
    XDesktop::spinFor(3000);
    ASSERT_TRUE(desktop.activate(terminal));
    ASSERT_TRUE(XDesktop::spinUntil([&] { return storedApps({"XLogo"}); }, loadedMachineBound)) << "the switch after the wake-up did not arrive";
    for (const StoredAppSession &session : server.storedActivities()) {
        const auto start = QDateTime::fromString(session.startTime, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        const auto end = QDateTime::fromString(session.endTime, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        EXPECT_LT(start.secsTo(end), 3600) << session.appName.toStdString() << " " << session.startTime.toStdString() << " to "
                                           << session.endTime.toStdString();
    }
}

// Every file under `folder` (relative paths), for telling what a run wrote.
QStringList filesUnder(const QString &folder)
{
    QStringList files;
    QDirIterator entries(folder, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (entries.hasNext())
        files.append(QDir(folder).relativeFilePath(entries.next()));
    files.sort();
    return files;
}

// The agent's lines about its outbox.
QList<QByteArray> outboxLines(const QByteArray &output)
{
    QList<QByteArray> lines;
    for (const QByteArray &line : output.split('\n')) {
        if (line.contains("outbox"))
            lines.append(line);
    }
    return lines;
}

void AgentLifecycle::quitAfterALogInAndEmptyTheStateFolder()
{
    ASSERT_NO_FATAL_FAILURE(logInThroughThePanel());
    ASSERT_NO_FATAL_FAILURE(quitAgent());
    for (const QString &name : filesUnder(folder))
        QFile::remove(folder + u'/' + name);
}

void AgentLifecycle::expectTrackingAndUploads()
{
    const auto before = server.storedActivities();
    ASSERT_TRUE(desktop.activate(terminal));
    XDesktop::spinFor(1500);
    ASSERT_TRUE(desktop.activate(logo));
    ASSERT_TRUE(XDesktop::spinUntil([&] { return !arrivedSince(before, "XTerm", server.storedActivities()).isEmpty(); }, loadedMachineBound))
        << "the agent does not track or upload";
}

TEST_F(AgentLifecycle, ACorruptOutboxIsMovedAsideWithOneLineAndTheAgentTracksAndUploadsOn)
{
    ASSERT_NO_FATAL_FAILURE(quitAfterALogInAndEmptyTheStateFolder());
    const QByteArray garbage = QByteArray("not a database at all\n").repeated(200);
    QFile corrupt(folder + QStringLiteral("/outbox.sqlite"));
    ASSERT_TRUE(corrupt.open(QIODevice::WriteOnly));
    corrupt.write(garbage);
    corrupt.close();

    ASSERT_NO_FATAL_FAILURE(startAgent());
    // Said while the agent starts; its output may reach the pipe after the tray icon shows.
    EXPECT_TRUE(XDesktop::spinUntil([&] { return outboxLines(agent.output()).size() == 1; }, loadedMachineBound)) << "said at start";
    ASSERT_NO_FATAL_FAILURE(expectTrackingAndUploads());

    const auto lines = outboxLines(agent.output());
    ASSERT_EQ(lines.size(), 1) << agent.output().toStdString();
    EXPECT_TRUE(lines.first().contains("moved it to")) << lines.first().toStdString();
    const QStringList aside = QDir(folder).entryList({QStringLiteral("outbox.sqlite.broken-*")}, QDir::Files);
    ASSERT_EQ(aside.size(), 1);
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^outbox\\.sqlite\\.broken-\\d{8}-\\d{6}$")).match(aside.first()).hasMatch()) << aside.first().toStdString();
    QFile kept(folder + u'/' + aside.first());
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), garbage) << "the corrupt file is kept as it was";
    EXPECT_EQ(permissions(folder + QStringLiteral("/outbox.sqlite")), 0600) << "a fresh outbox took its place";
}

TEST_F(AgentLifecycle, AReadOnlyStateFolderCostsOnlyTheOutboxWithOneLineAndNothingIsWrittenElsewhere)
{
    // Root writes through any permission bits: the folder is made read-only by a read-only
    // bind mount, in a mount namespace of the agent's own.
    if (QProcess::execute(QStringLiteral("unshare"), {QStringLiteral("-m"), QStringLiteral("true")}) != 0)
        GTEST_SKIP() << "no mount namespace can be made here";
    ASSERT_NO_FATAL_FAILURE(quitAfterALogInAndEmptyTheStateFolder());
    // The settings file is the agent's to write; nothing else may appear anywhere it could reach.
    const auto besidesSettings = [](QStringList files) {
        files.removeAll(QStringLiteral("config/Hourloom/Hourloom.conf"));
        return files;
    };
    // The agent's home is the test's, and so is its working folder.
    const QStringList homeBefore = besidesSettings(filesUnder(home.path()));

    launcher = {QStringLiteral("unshare"), QStringLiteral("-m"), QStringLiteral("sh"), QStringLiteral("-c"),
                QStringLiteral("mount --bind -o ro \"$1\" \"$1\" && shift && exec \"$@\""), QStringLiteral("sh"), state};
    ASSERT_NO_FATAL_FAILURE(startAgent());
    ASSERT_NO_FATAL_FAILURE(expectTrackingAndUploads());
    ASSERT_NO_FATAL_FAILURE(quitAgent());

    const auto lines = outboxLines(agent.output());
    ASSERT_EQ(lines.size(), 1) << agent.output().toStdString();
    EXPECT_TRUE(lines.first().contains("cannot be used")) << lines.first().toStdString();
    EXPECT_TRUE(filesUnder(folder).isEmpty());
    EXPECT_EQ(besidesSettings(filesUnder(home.path())), homeBefore);
}

// The agent in a desktop session run by an X11 session manager (the tests' own, speaking XSMP
// through libSM in a process of its own), uploading only when it quits: whatever reaches the
// service came with the quit sequence.
class AgentUnderSessionManager : public AgentFixture {
protected:
    AgentUnderSessionManager()
        : AgentFixture({{"SECONDS_BETWEEN_API_SENDS", "3600"}})
    {
    }

    void SetUp() override
    {
        manager.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        manager.start(QStringLiteral(XSMP_MANAGER), {QString::number(loadedMachineBound / 1000 * 3)});
        ASSERT_TRUE(XDesktop::spinUntil([&] { return said("SESSION_MANAGER=").size() > 0; }, loadedMachineBound)) << managerOutput.toStdString();
        const QString ids = QString::fromUtf8(said("SESSION_MANAGER=")).section(u'=', 1).trimmed();
        // An empty authority file of the test's own: the manager lets every local client in.
        extraEnvironment.insert(QStringLiteral("ICEAUTHORITY"), home.filePath(QStringLiteral("iceauthority")));
        extraEnvironment.insert(QStringLiteral("SESSION_MANAGER"), ids);
        AgentFixture::SetUp();
    }

    void TearDown() override
    {
        AgentFixture::TearDown();
        if (HasFailure())
            std::cerr << "session manager output:\n" << managerOutput.toStdString() << std::endl;
        manager.kill();
        manager.waitForFinished(loadedMachineBound);
    }

    // The line of the manager's output that starts with `step`, or an empty one.
    QByteArray said(const QByteArray &step)
    {
        managerOutput += manager.readAllStandardOutput();
        for (const QByteArray &line : managerOutput.split('\n')) {
            if (line.startsWith(step))
                return line;
        }
        return {};
    }

    QProcess manager;
    QByteArray managerOutput;
};

TEST_F(AgentUnderSessionManager, ALogOutEndsTheSessionAndSendsItBeforeTheAgentEnds)
{
    ASSERT_TRUE(XDesktop::spinUntil([&] { return !said("REGISTERED").isEmpty(); }, loadedMachineBound)) << "the agent did not join the session";
    QDateTime begin;
    ASSERT_NO_FATAL_FAILURE(workInTwoApplications(begin, false));
    ASSERT_EQ(server.uploads(), 0) << "an upload came before the log-out";

    manager.write("logout\n");
    ASSERT_TRUE(XDesktop::spinUntil([&] { return !said("DIE").isEmpty(); }, loadedMachineBound)) << "the agent did not save itself";
    ASSERT_NO_FATAL_FAILURE(expectCleanExit("the manager's Die"));
    const QDateTime ended = QDateTime::currentDateTime();
    const auto arrived = server.storedActivities();
    EXPECT_EQ(appNames(between(arrived, begin, ended)), (QStringList{"XTerm", "XLogo"})) << "the quit's upload did not carry them";
    for (const auto &session : arrived)
        EXPECT_LE(session.endTime, wire(ended));
    EXPECT_TRUE(XDesktop::spinUntil([&] { return !said("CLOSED").isEmpty(); }, loadedMachineBound)) << "the agent left the session unannounced";
}

// GNOME without an AppIndicator extension: nothing on the desktop shows tray icons.
class AgentWithoutTray : public AgentLifecycle {
protected:
    AgentWithoutTray() { withTray = false; }
};

// What the desktop scenarios leave out: the first start opened the panel by itself; the next one
// leaves it closed, and a tray that comes later gets the icon: by the time the icon is in it, a
// panel the start opened would show.
TEST_F(AgentWithoutTray, ALaterTrayGetsTheIconAndTheApplicationsStartAnAgentWithItsPanelOpen)
{
    ASSERT_TRUE(XDesktop::spinUntil([&] { return panel().isValid(); }, loadedMachineBound)) << "the first start opened no panel";
    ASSERT_NO_FATAL_FAILURE(quitAgent());
    ASSERT_NO_FATAL_FAILURE(startAgent());
    ASSERT_TRUE(desktop.startTray());
    ASSERT_TRUE(XDesktop::spinUntil([&] { return trayIcon().width() >= 16; }, loadedMachineBound)) << "the later tray got no icon";
    EXPECT_FALSE(panel().isValid()) << "the panel opened by itself again";

    // A start from the applications opens the closed panel of the running agent, and starts an
    // agent with its panel open while none runs.
    ASSERT_TRUE(startAgainFromTheApplications()) << "the applications did not bring the closed panel back";
    ASSERT_NO_FATAL_FAILURE(quitAgent());
    ASSERT_TRUE(startAgainFromTheApplications()) << "the applications started an agent that showed no panel";
    const int started = desktop.xdotoolOutput({QStringLiteral("getwindowpid"), panelWindow().first}).toInt();
    ASSERT_GT(started, 0);
    ::kill(pid_t(started), SIGTERM);
    EXPECT_TRUE(XDesktop::spinUntil([&] { return ::kill(pid_t(started), 0) != 0; }, loadedMachineBound)) << "SIGTERM did not end the agent";
}

} // namespace
