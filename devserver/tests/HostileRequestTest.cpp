// The local account service against requests meant to hurt it or its user: huge declared
// lengths, endless chunked bodies, foreign Host names, cross-site posts, slow clients, guesses
// from every loopback address, sign-ins in parallel, a look at what its command line and its
// database file give away, and a database file another user placed.
#include "RequestGuard.h"
#include "ServiceClient.h"
#include "support/AnotherUser.h"
#include "support/TestFiles.h"
#include "support/TestProcesses.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <thread>

using namespace hourloom;
using namespace hourloom::test;

namespace {

// A plain TCP connection to the service, for requests no HTTP client would send, from any
// address of 127/8 (as every local process may).
class RawConnection {
public:
    explicit RawConnection(int port, const char *source = "127.0.0.1")
        : fd_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0))
    {
        sockaddr_in from{};
        from.sin_family = AF_INET;
        ::inet_pton(AF_INET, source, &from.sin_addr);
        EXPECT_EQ(::bind(fd_, reinterpret_cast<sockaddr *>(&from), sizeof from), 0) << source;
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(quint16(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        EXPECT_EQ(::connect(fd_, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
        // Only a service that stops answering comes near these.
        const timeval patience{20, 0};
        ::setsockopt(fd_, SOL_SOCKET, SO_SNDTIMEO, &patience, sizeof patience);
        ::setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &patience, sizeof patience);
    }
    ~RawConnection() { ::close(fd_); }
    RawConnection(const RawConnection &) = delete;
    RawConnection &operator=(const RawConnection &) = delete;

    bool send(const std::string &bytes)
    {
        for (size_t sent = 0; sent < bytes.size();) {
            const ssize_t written = ::send(fd_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
            if (written <= 0)
                return false;
            sent += size_t(written);
        }
        return true;
    }

    // What the service sends until it closes the connection.
    std::string answer()
    {
        std::string received;
        char buffer[4096];
        for (ssize_t read; (read = ::recv(fd_, buffer, sizeof buffer, 0)) > 0;)
            received.append(buffer, size_t(read));
        return received;
    }

private:
    int fd_;
};

int statusOf(const std::string &answer)
{
    return answer.rfind("HTTP/1.1 ", 0) == 0 ? std::atoi(answer.c_str() + 9) : 0;
}

std::string postHead(const std::string &path, const std::string &fields)
{
    return "POST " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: application/json\r\nConnection: close\r\n" + fields + "\r\n";
}

// The service's answer to the bytes, sent from `source`.
std::string sendAndRead(int port, const std::string &bytes, const char *source = "127.0.0.1")
{
    RawConnection connection(port, source);
    EXPECT_TRUE(connection.send(bytes));
    return connection.answer();
}

// The answer to a password grant sent from `source`.
std::string passwordGrantFrom(int port, const std::string &source, const QString &email, const QString &password)
{
    const std::string body = text(ServiceClient::passwordGrantBody(email, password));
    return sendAndRead(port, postHead("/oauth/token", "Content-Length: " + std::to_string(body.size()) + "\r\n") + body, source.c_str());
}

// The body in chunks of 64 KiB, each with its closing line.
std::string chunked(const std::string &body)
{
    std::string framed;
    for (size_t at = 0; at < body.size(); at += 64 * 1024) {
        const std::string chunk = body.substr(at, 64 * 1024);
        framed += QByteArray::number(qsizetype(chunk.size()), 16).toStdString() + "\r\n" + chunk + "\r\n";
    }
    return framed;
}

// Sends a chunked body one byte over the limit and nothing more: a service that stops reading
// there has read every byte, so its answer is never overtaken by a reset of unread ones.
std::string answerToOversizedChunkedBody(int port, const std::string &path, const std::string &fields, const std::string &start)
{
    const std::string atTheLimit = start + std::string(devserver::RequestGuard::maximumBodySize - start.size(), ' ');
    return sendAndRead(port, postHead(path, fields + "Transfer-Encoding: chunked\r\n") + chunked(atTheLimit) + "1\r\n ");
}

// Connections that send the start of a request and then one byte a second, for ever.
class SlowClients {
public:
    SlowClients(int port, int count)
    {
        for (int i = 0; i < count; ++i) {
            connections_.push_back(std::make_unique<RawConnection>(port));
            EXPECT_TRUE(connections_.back()->send("GET /appcast.xml HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Slow: "));
        }
        trickler_ = std::thread([this] {
            while (!stopping_) {
                for (const auto &connection : connections_)
                    connection->send("x");
                for (int tick = 0; tick < 10 && !stopping_; ++tick)
                    std::this_thread::sleep_for(std::chrono::milliseconds(100));
            }
        });
    }
    ~SlowClients()
    {
        stopping_ = true;
        trickler_.join();
    }

private:
    std::vector<std::unique_ptr<RawConnection>> connections_;
    std::atomic<bool> stopping_ = false;
    std::thread trickler_;
};

} // namespace

TEST(HostileRequests, TheBodyLimitHoldsForChunkedBodiesOnlyLoopbackNamesAndJsonFaultsAreServedAndSlowClientsStarveNoOne)
{
    DevServerProcess server;
    ServiceClient client(server.port(), 20);
    const std::string bearer = "Authorization: Bearer " + client.accessToken().toStdString() + "\r\n";
    const std::string upload = R"({"timezone_offset":0,"user_activities":[]})";

    // A small chunked body is still read and stored.
    const std::string stored = sendAndRead(server.port(), postHead("/api/v1/user_activities", bearer + "Transfer-Encoding: chunked\r\n") + chunked(upload) + "0\r\n\r\n");
    EXPECT_EQ(statusOf(stored), 201) << stored;
    ASSERT_EQ(server.uploads(), 1);

    // A valid upload padded past the limit, and a token request past it: refused, nothing taken.
    std::string answer = answerToOversizedChunkedBody(server.port(), "/api/v1/user_activities", bearer, upload);
    EXPECT_EQ(statusOf(answer), 413) << answer;
    EXPECT_EQ(server.uploads(), 1);
    answer = answerToOversizedChunkedBody(server.port(), "/oauth/token", "", text(ServiceClient::passwordGrantBody()));
    EXPECT_EQ(statusOf(answer), 413) << answer;
    EXPECT_EQ(answer.find("access_token"), std::string::npos) << answer;

    // Where no route reads a body, one without a declared length (chunked, or lasting until the
    // connection ends) is refused on its head alone, before a byte of it is sent.
    for (const std::string &framing : {std::string("Transfer-Encoding: chunked\r\n"), std::string()}) {
        answer = sendAndRead(server.port(), postHead("/nowhere", framing));
        EXPECT_EQ(statusOf(answer), 411) << answer;
    }

    // A page that rebinds its own name to 127.0.0.1 sends that name as Host.
    const std::string port = std::to_string(server.port());
    for (const std::string &host : std::vector<std::string>{"evil.example:" + port, "evil.example", "127.0.0.1.evil.example:" + port, "localhost.evil:" + port, ""}) {
        const auto readOut = client.Get("/dev/activities", {{"Host", host}});
        ASSERT_EQ(statusOf(readOut), 421) << host;
        EXPECT_EQ(readOut->body.find("users"), std::string::npos) << host;
    }
    for (const std::string &host : std::vector<std::string>{"127.0.0.1:" + port, "localhost:" + port, "LOCALHOST", "[::1]:" + port})
        EXPECT_EQ(statusOf(client.Get("/dev/activities", {{"Host", host}})), 200) << host;

    // A cross-site form may post text/plain without asking first; faults only come as JSON.
    const std::string fault = text({{"endpoint", "/oauth/token"}, {"status", 500}});
    EXPECT_EQ(statusOf(client.Post("/dev/faults", fault, "text/plain")), 415);
    EXPECT_EQ(statusOf(client.passwordGrant()), 200) << "the text/plain fault must not have been taken";
    EXPECT_EQ(client.Post("/dev/faults", fault, "application/json")->status, 204);

    // Nor do slow clients starve the others.
    const SlowClients slow(server.port(), 16);
    EXPECT_EQ(statusOf(ServiceClient(server.port(), 20).Get("/appcast.xml")), 200) << "no answer while slow clients hold connections";
}

TEST(HostileRequests, CredentialsComeFromAFileOrStandardInputAndStayOffTheCommandLine)
{
    QTemporaryDir folder;
    const QString clients = folder.filePath("clients");
    ASSERT_TRUE(writeFile(clients, (Configuration::apiClientId() + u':' + Configuration::apiClientSecret() + u'\n').toUtf8()));

    QProcess service;
    service.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    service.start(QStringLiteral(HOURLOOM_DEVSERVER_BINARY), {"--port", "0", "--users-from", "-", "--clients-from", clients});
    ASSERT_TRUE(service.waitForStarted());
    service.write("\nlin@hourloom.test:from standard input\n");
    service.closeWriteChannel();
    QByteArray output;
    int port = -1;
    static const QRegularExpression listening(QStringLiteral("listening on http://127\\.0\\.0\\.1:(\\d+)"));
    const QDeadlineTimer deadline(15000);
    while (port < 0 && !deadline.hasExpired() && service.state() == QProcess::Running) {
        service.waitForReadyRead(1000);
        output += service.readAllStandardOutput();
        if (const auto match = listening.match(QString::fromUtf8(output)); match.hasMatch())
            port = match.captured(1).toInt();
    }
    ASSERT_GT(port, 0) << "the service did not start: " << output.toStdString();

    const QByteArray arguments = readFile(QStringLiteral("/proc/%1/cmdline").arg(service.processId())).value_or("");
    EXPECT_FALSE(arguments.contains(Configuration::apiClientSecret().toUtf8()));
    EXPECT_FALSE(arguments.contains("from standard input"));

    EXPECT_EQ(statusOf(ServiceClient(port, 20).passwordGrant("lin@hourloom.test", "from standard input")), 200);
    service.terminate();
    EXPECT_TRUE(service.waitForFinished(10000));
}

TEST(HostileRequests, TheDatabaseIsPrivateAndHoldsOnlyTokenHashes)
{
    QTemporaryDir folder;
    const QString database = folder.filePath("accounts.sqlite");
    DevServerProcess server({"--database", database});
    ServiceClient client(server.port(), 20);
    const QJsonObject tokens = json(client.passwordGrant());
    const QByteArray accessToken = tokens.value("access_token").toString().toUtf8();
    const QByteArray refreshToken = tokens.value("refresh_token").toString().toUtf8();
    ASSERT_FALSE(accessToken.isEmpty());
    EXPECT_EQ(client.upload(accessToken)->status, 201);

    // Neither token is anywhere in the files, and no one else may read them.
    for (const QString &suffix : {QString(), QStringLiteral("-wal")}) {
        const auto bytes = readFile(database + suffix);
        ASSERT_TRUE(bytes) << qPrintable(suffix);
        EXPECT_FALSE(bytes->contains(accessToken)) << qPrintable(suffix);
        EXPECT_FALSE(bytes->contains(refreshToken)) << qPrintable(suffix);
        EXPECT_EQ(permissionsOf(database + suffix), 0600) << qPrintable(suffix);
    }
}

TEST(HostileRequests, GuessesAtOneAccountAreSlowedDownFromAnyAddressAndNoOtherSignInForgetsThem)
{
    const QString eve = QStringLiteral("eve@hourloom.test");
    DevServerProcess server({"--user", eve + ":" + DevServerProcess::password});
    // Each guess from another address of 127/8: the account is held up all the same.
    int guessed = 0;
    for (int guess = 0; guess < 30 && guessed != 429; ++guess)
        guessed = statusOf(passwordGrantFrom(server.port(), "127.0.1." + std::to_string(2 + guess), DevServerProcess::otherEmail, "guess"));
    ASSERT_EQ(guessed, 429) << "never slowed down";

    // From one address: four guesses at another account, then a sign-in to one's own (any
    // letter case), again and again. The successes do not forget the guesses.
    int status = 0;
    for (int round = 0; round < 10 && status != 429; ++round) {
        for (int guess = 0; guess < 4 && status != 429; ++guess)
            status = statusOf(passwordGrantFrom(server.port(), "127.0.9.9", DevServerProcess::email, "guess"));
        const int own = statusOf(passwordGrantFrom(server.port(), "127.0.9.9", eve.toUpper(), DevServerProcess::password));
        EXPECT_TRUE(round > 0 || own == 200) << own;
    }
    EXPECT_EQ(status, 429) << "the guesses at the other account went on unhindered";
}

TEST(HostileRequests, SignInsInParallelHashOnlyAFewPasswordsAtOnce)
{
    DevServerProcess server({"--password-cost", "interactive"});
    // Each from an address of its own at an account of its own, so that the throttle holds none
    // back: every one would cost a hash of 64 MiB.
    constexpr int parallel = 32;
    std::vector<std::string> answers(parallel);
    std::vector<std::thread> senders;
    for (int i = 0; i < parallel; ++i)
        senders.emplace_back([&, i] {
            answers[size_t(i)] = passwordGrantFrom(server.port(), "127.0.2." + std::to_string(2 + i),
                                                   QStringLiteral("nobody-%1@hourloom.test").arg(i), "guess");
        });
    for (std::thread &sender : senders)
        sender.join();
    // Refused, or asked to come back later: never failed.
    for (const std::string &answer : answers)
        EXPECT_TRUE(statusOf(answer) == 400 || (statusOf(answer) == 503 && answer.find("Retry-After: ") != std::string::npos)) << answer;
    static const QRegularExpression peak(QStringLiteral("VmHWM:\\s+(\\d+) kB"));
    const QByteArray status = readFile(QStringLiteral("/proc/%1/status").arg(server.processId())).value_or("");
    const qint64 peakKiB = peak.match(QString::fromLatin1(status)).captured(1).toLongLong();
    EXPECT_GT(peakKiB, 0);
    EXPECT_LT(peakKiB, 512 * 1024) << "as many hashes at once as requests";
}

TEST(HostileRequests, ADatabaseFileThatIsNotTheServicesAloneIsRefused)
{
    if (!AnotherUser::canAct())
        GTEST_SKIP() << "acting as another user needs root";
    QTemporaryDir folder;
    const QString shared = folder.filePath("shared");
    ASSERT_TRUE(AnotherUser::makeShared(shared));
    const QString database = shared + "/dev.sqlite";
    // What another user leaves where the service is told to keep its file: the file itself, a
    // companion SQLite would open beside it, or a link to a file of theirs.
    const QStringList plants{"touch dev.sqlite && chmod 0666 dev.sqlite", "touch dev.sqlite-wal && chmod 0666 dev.sqlite-wal",
                             "touch mine && chmod 0666 mine && ln -s mine dev.sqlite"};
    for (const QString &plant : plants) {
        ASSERT_TRUE(AnotherUser::run("cd " + shared + " && " + plant)) << qPrintable(plant);
        QProcess service;
        service.start(QStringLiteral(HOURLOOM_DEVSERVER_BINARY), {"--port", "0", "--database", database, "--password-cost", "minimal"});
        const bool ended = service.waitForFinished(15000);
        stopProcess(service);
        EXPECT_TRUE(ended) << "the service started with " << qPrintable(plant) << ": " << service.readAllStandardOutput().toStdString();
        EXPECT_EQ(service.exitCode(), 1) << qPrintable(plant);
        const QByteArray complaint = service.readAllStandardError();
        EXPECT_EQ(complaint.count('\n'), 1) << complaint.toStdString();
        EXPECT_TRUE(complaint.startsWith("hourloom-devserver: " + QFile::encodeName(database) + ": ")) << complaint.toStdString();
        QDir(shared).removeRecursively();
        ASSERT_TRUE(AnotherUser::makeShared(shared));
    }
}
