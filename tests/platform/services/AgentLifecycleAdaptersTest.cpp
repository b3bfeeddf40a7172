// Whether the agent runs at all: the one-agent lock and its folder. (The filter that sends the
// desktop's quit through the agent's termination: AgentUnderSessionManager in tests/integration.)
#include "platform/services/lifecycle/SingleInstance.h"
#include "support/AnotherUser.h"
#include "ScopedEnvironment.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <thread>

using namespace hourloom;
using namespace hourloom::test;

namespace {

TEST(SingleInstance, OneHolderPerDisplayAndAnEndedHolderNeverBlocks)
{
    QTemporaryDir folder;
    auto running = std::make_unique<SingleInstance>(folder.path(), QStringLiteral(":5"));
    ASSERT_TRUE(running->isRunningAgent());
    QList<QByteArray> opened;
    running->onOpenPanelRequested([&opened](const QByteArray &activationToken) { opened.append(activationToken); });

    SingleInstance second(folder.path(), QStringLiteral(":5"));
    EXPECT_FALSE(second.isRunningAgent());
    EXPECT_TRUE(SingleInstance(folder.path(), QStringLiteral(":6")).isRunningAgent()) << "another display";

    // A later start asks from a process of its own, here a thread; the running agent hears the
    // request on its main loop, with the activation token the desktop gave that start.
    bool asked = false;
    std::thread asker([&] { asked = second.askRunningAgentToOpenPanel("mutter-token-1\n"); });
    const QDeadlineTimer deadline(20000);
    while ((opened.isEmpty() || !asked) && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    asker.join();
    EXPECT_TRUE(asked);
    EXPECT_EQ(opened, QList<QByteArray>{"mutter-token-1"});

    // The holder ends (its lock goes with it; its socket file stays behind): the next start runs.
    running.reset();
    SingleInstance next(folder.path(), QStringLiteral(":5"));
    EXPECT_TRUE(next.isRunningAgent());
}

TEST(SingleInstance, WithoutARuntimeFolderAFolderAnotherUserMadeFirstIsNeverUsedAndTheLockHolds)
{
    if (!AnotherUser::canAct())
        GTEST_SKIP() << "acting as another user needs root";
    QTemporaryDir root;
    const QString temporary = root.filePath("tmp");
    ASSERT_TRUE(AnotherUser::makeShared(temporary));
    const ScopedEnvironment environment({{"XDG_RUNTIME_DIR", std::nullopt}, {"TMPDIR", temporary}, {"XDG_STATE_HOME", root.filePath("state")}});
    const QString planted = temporary + QStringLiteral("/hourloom-%1").arg(::getuid());
    // Made before the agent ever ran: open to all, or a link to such a folder of theirs.
    for (const QString &plant : {"mkdir -m 0777 " + planted, "mkdir -m 0777 " + temporary + "/theirs && ln -s theirs " + planted}) {
        ASSERT_TRUE(AnotherUser::run(plant)) << qPrintable(plant);
        const QString folder = SingleInstance::defaultFolder();
        EXPECT_EQ(folder.toStdString(), root.filePath("state/hourloom/run").toStdString()) << qPrintable(plant);
        SingleInstance first(folder, QStringLiteral(":7"));
        EXPECT_TRUE(first.isRunningAgent()) << qPrintable(plant);
        EXPECT_FALSE(SingleInstance(folder, QStringLiteral(":7")).isRunningAgent()) << qPrintable(plant);
        EXPECT_TRUE(QDir(planted).isEmpty()) << qPrintable(plant);
        EXPECT_EQ(QFileInfo(planted).permissions() & QFile::WriteOther, QFile::WriteOther) << "the other user's folder was changed";
        ASSERT_TRUE(QDir(temporary).removeRecursively() && AnotherUser::makeShared(temporary));
    }
    // A folder of this user's alone is used as before.
    ASSERT_TRUE(QDir().mkdir(planted, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    EXPECT_EQ(SingleInstance::defaultFolder().toStdString(), planted.toStdString());
}

} // namespace
