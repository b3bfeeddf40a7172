// The outbox's SQLite file: what it keeps and for whom, its permissions, and how it copes with
// a state folder it cannot write (a corrupt file: AgentLifecycle in tests/integration).
#include "core/Log.h"
#include "platform/services/store/SqliteOutbox.h"

#include "support/TestFiles.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace hourloom;

namespace {

const OutboxKey ada{QStringLiteral("ada@hourloom.test"), QStringLiteral("Development")};

QDateTime at(int minute, int millisecond = 0)
{
    return QDateTime(QDate(2026, 3, 1), QTime(9, minute, 0, millisecond));
}

OutboxAppSession session(int startMinute, int endMinute, const QStringList &domains = {})
{
    OutboxAppSession stored{QUuid::createUuid(), at(startMinute, 123), at(endMinute, 456), QStringLiteral("XTerm"),
                            QStringLiteral("debian-xterm"), {}};
    for (int i = 0; i < domains.size(); ++i)
        stored.webSessions.append({QUuid::createUuid(), at(startMinute, 500 + i), at(endMinute, 400), domains[i]});
    return stored;
}

QList<QUuid> ids(const QList<OutboxAppSession> &sessions)
{
    QList<QUuid> result;
    for (const auto &stored : sessions)
        result.append(stored.id);
    return result;
}

class SqliteOutboxTest : public ::testing::Test {
protected:
    QString path() const { return folder.filePath(QStringLiteral("state/hourloom/outbox.sqlite")); }
    QTemporaryDir folder;
};

TEST_F(SqliteOutboxTest, KeepsSessionsPrivatelyPerAccountAndEnvironmentUntilTheSentEndIsRemovedOrTheyAreTrimmed)
{
    const OutboxAppSession later = session(20, 25, {QStringLiteral("example.org"), QStringLiteral("hourloom.test")});
    OutboxAppSession earlier = session(10, 15);
    // Only the owner may read the folder (whatever it was made with) and the files.
    QDir().mkpath(QFileInfo(path()).absolutePath());
    QFile::setPermissions(QFileInfo(path()).absolutePath(), QFileDevice::Permissions(0x7777));
    {
        SqliteOutbox outbox(path());
        ASSERT_TRUE(outbox.isOpen());
        ASSERT_TRUE(outbox.save(ada, {later, earlier}));
        EXPECT_EQ(test::permissionsOf(QFileInfo(path()).absolutePath()), 0700);
        EXPECT_EQ(test::permissionsOf(path()), 0600);
        EXPECT_EQ(test::permissionsOf(path() + QStringLiteral("-wal")), 0600) << "write-ahead logging";
        const OutboxKey production{ada.account, QStringLiteral("Production")};
        const OutboxKey grace{QStringLiteral("grace@hourloom.test"), ada.environment};
        EXPECT_TRUE(outbox.waiting(production).isEmpty()) << "another environment";
        EXPECT_TRUE(outbox.waiting(grace).isEmpty()) << "another account";
        EXPECT_TRUE(outbox.remove(grace, {{later.id, later.endTime}}));
    }

    // Opened again, as after a restart: oldest first, times to the millisecond, web sessions kept.
    SqliteOutbox outbox(path());
    QList<OutboxAppSession> waiting = outbox.waiting(ada);
    ASSERT_EQ(ids(waiting), (QList<QUuid>{earlier.id, later.id}));
    EXPECT_EQ(waiting[1].startTime, later.startTime);
    EXPECT_EQ(waiting[1].endTime, later.endTime);
    EXPECT_EQ(waiting[1].appName, QStringLiteral("XTerm"));
    EXPECT_EQ(waiting[1].appIdentifier, QStringLiteral("debian-xterm"));
    ASSERT_EQ(waiting[1].webSessions.size(), 2);
    EXPECT_EQ(waiting[1].webSessions[0].domain, QStringLiteral("example.org"));
    EXPECT_EQ(waiting[1].webSessions[1].endTime, later.webSessions[1].endTime);

    // A session saved again replaces itself, web sessions included; removing it under the end
    // that went out before its new end leaves it waiting.
    const QDateTime sentEnd = earlier.endTime;
    earlier.endTime = at(16);
    earlier.webSessions = {{QUuid::createUuid(), at(15), at(16), QStringLiteral("debian.org")}};
    ASSERT_TRUE(outbox.save(ada, {earlier}));
    ASSERT_TRUE(outbox.remove(ada, {{earlier.id, sentEnd}, {later.id, later.endTime}}));
    waiting = outbox.waiting(ada);
    ASSERT_EQ(ids(waiting), QList<QUuid>{earlier.id});
    EXPECT_EQ(waiting[0].endTime, at(16));
    ASSERT_EQ(waiting[0].webSessions.size(), 1);
    EXPECT_EQ(waiting[0].webSessions[0].domain, QStringLiteral("debian.org"));

    ASSERT_TRUE(outbox.remove(ada, {{earlier.id, at(16)}}));
    EXPECT_TRUE(outbox.waiting(ada).isEmpty());

    // Trimming drops the oldest beyond the count and everything past the age, per account.
    const OutboxAppSession ancient = session(1, 2);
    const OutboxAppSession old = session(3, 4, {QStringLiteral("example.org")});
    const OutboxAppSession middle = session(5, 6);
    const OutboxAppSession recent = session(7, 8);
    const OutboxKey grace{QStringLiteral("grace@hourloom.test"), ada.environment};
    ASSERT_TRUE(outbox.save(ada, {recent, old, ancient, middle}));
    ASSERT_TRUE(outbox.save(grace, {session(1, 2)}));
    const OutboxProtocol::Trimmed trimmed = outbox.trim(ada, 2, at(2));
    EXPECT_EQ(trimmed.tooOld, 1);
    EXPECT_EQ(trimmed.overLimit, 1);
    EXPECT_EQ(ids(outbox.waiting(ada)), (QList<QUuid>{middle.id, recent.id}));
    EXPECT_EQ(outbox.waiting(grace).size(), 1) << "another account's limits are its own";
    const OutboxProtocol::Trimmed none = outbox.trim(ada, 2, at(2));
    EXPECT_EQ(none.tooOld + none.overLimit, 0);
}

TEST_F(SqliteOutboxTest, AStateFolderThatCannotBeWrittenLeavesTheStoreClosedWithOneLineAndNothingElsewhere)
{
    // Where the state folder should be there is a file: not even root can create the folder.
    ASSERT_TRUE(test::writeFile(folder.filePath(QStringLiteral("state"))));

    const LogCapture capture;
    SqliteOutbox outbox(path());
    EXPECT_FALSE(outbox.save(ada, {session(1, 2)}));
    EXPECT_FALSE(outbox.remove(ada, {}));
    EXPECT_TRUE(outbox.waiting(ada).isEmpty());
    EXPECT_FALSE(outbox.isOpen());
    const QString output = capture.standardOutput();
    EXPECT_EQ(output.count(u'\n'), 1) << output.toStdString();
    EXPECT_TRUE(output.contains("kept in memory only")) << output.toStdString();
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{QStringLiteral("state")});
}

} // namespace
