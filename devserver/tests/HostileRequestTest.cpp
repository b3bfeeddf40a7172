// The local account service against requests meant to hurt it or its user: huge declared
// lengths, endless chunked bodies, foreign Host names, cross-site posts, slow clients, and a
// look at what its command line and its database file give away.
#include "support/DevServerProcess.h"

#include "core/Configuration.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <httplib.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <thread>

using namespace hourloom;
using hourloom::test::DevServerProcess;

namespace {

std::string text(const QJsonObject &object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact).toStdString();
}

QJsonObject passwordGrantBody(const QString &email, const QString &password)
{
    return {{"grant_type", "password"}, {"client_id", Configuration::apiClientId()}, {"client_secret", Configuration::apiClientSecret()},
            {"email", email}, {"password", password}};
}

httplib::Client clientOf(int port)
{
    httplib::Client client("127.0.0.1", port);
    client.set_connection_timeout(5);
    client.set_read_timeout(20);
    return client;
}

// A plain TCP connection to the service, for requests no HTTP client would send.
int connectedSocket(int port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(quint16(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    EXPECT_EQ(::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
    return fd;
}

// The body sent in chunks of 64 KiB, without a declared length.
httplib::ContentProviderWithoutLength chunked(std::string body)
{
    return [body = std::move(body)](size_t offset, httplib::DataSink &sink) {
        if (offset >= body.size()) {
            sink.done();
            return true;
        }
        const size_t length = std::min<size_t>(64 * 1024, body.size() - offset);
        return sink.write(body.data() + offset, length);
    };
}

// A TCP connection that sends the start of a request and then one byte a second, for ever.
class SlowClients {
public:
    SlowClients(int port, int count)
    {
        for (int i = 0; i < count; ++i) {
            const int fd = connectedSocket(port);
            const char start[] = "GET /appcast.xml HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Slow: ";
            EXPECT_GT(::send(fd, start, sizeof start - 1, MSG_NOSIGNAL), 0);
            sockets_.push_back(fd);
        }
        trickler_ = std::thread([this] {
            while (!stopping_) {
                for (const int fd : sockets_)
                    ::send(fd, "x", 1, MSG_NOSIGNAL);
                for (int tick = 0; tick < 10 && !stopping_; ++tick)
                    std::this_thread::sleep_for(std::chrono::milliseconds(100));
            }
        });
    }
    ~SlowClients()
    {
        stopping_ = true;
        trickler_.join();
        for (const int fd : sockets_)
            ::close(fd);
    }

private:
    std::vector<int> sockets_;
    std::atomic<bool> stopping_ = false;
    std::thread trickler_;
};

} // namespace

TEST(HostileRequests, AnEnvelopeLengthNear2To63IsRefusedAndTheServiceLivesOn)
{
    DevServerProcess server;
    httplib::Client client = clientOf(server.port());
    const httplib::Headers auth{{"X-Sentry-Auth", "Sentry sentry_version=7, sentry_client=test/1.0, sentry_key=devkey"}};
    // The item header past offset 1024: added to its offset, 2^63 - 1024 overflowed.
    const std::string header = R"({"event_id":"0123456789abcdef0123456789abcdef","sdk":{"name":")" + std::string(2000, 'x') + R"(","version":"1"}})";
    for (const char *length : {"9223372036854774784", "9223372036854775807", "1e300", "-1", "4294967296"}) {
        const std::string envelope = header + "\n{\"type\":\"event\",\"length\":" + length + "}\n{}\n";
        const auto answer = client.Post("/api/1/envelope/", auth, envelope, "application/x-sentry-envelope");
        ASSERT_TRUE(answer) << "no answer for length " << length;
        EXPECT_EQ(answer->status, 400) << length;
    }
    const auto appcast = client.Get("/appcast.xml");
    ASSERT_TRUE(appcast);
    EXPECT_EQ(appcast->status, 200);
}

TEST(HostileRequests, TheBodyLimitHoldsForChunkedBodies)
{
    DevServerProcess server;
    httplib::Client client = clientOf(server.port());
    const QString token = QJsonDocument::fromJson(QByteArray::fromStdString(
                              client.Post("/oauth/token", text(passwordGrantBody(DevServerProcess::email, DevServerProcess::password)), "application/json")->body))
                              .object()
                              .value("access_token")
                              .toString();
    const httplib::Headers bearer{{"Authorization", "Bearer " + token.toStdString()}};
    const std::string upload = R"({"timezone_offset":0,"user_activities":[]})";

    // A small chunked body is still read and stored.
    const auto small = client.Post("/api/v1/user_activities", bearer, chunked(upload), "application/json");
    ASSERT_TRUE(small);
    EXPECT_EQ(small->status, 201) << small->body;

    // A valid upload padded to 2.5 MB, and a token request of 3 MB: both over the limit.
    // The service answers 413 and closes while the body is still coming: depending on timing the
    // client reads that answer or finds the connection cut under its write. Either way nothing
    // of the body is taken.
    const auto refusedOrCut = [](const httplib::Result &answer, int status = 413) {
        if (answer)
            EXPECT_EQ(answer->status, status);
        else
            EXPECT_EQ(answer.error(), httplib::Error::Write) << httplib::to_string(answer.error());
    };
    refusedOrCut(client.Post("/api/v1/user_activities", bearer, chunked(upload + std::string(2500 * 1000, ' ')), "application/json"));
    httplib::Client other = clientOf(server.port());
    refusedOrCut(other.Post("/oauth/token", chunked(std::string(3 * 1000 * 1000, ' ')), "application/json"));

    // Where no route reads a body, a chunked one is refused before it is read.
    httplib::Client third = clientOf(server.port());
    refusedOrCut(third.Post("/nowhere", chunked(std::string(1000, 'x')), "application/json"), 411);
    // So is one that would last until the connection ends.
    const int raw = connectedSocket(server.port());
    const timeval sendPatience{20, 0};
    ::setsockopt(raw, SOL_SOCKET, SO_SNDTIMEO, &sendPatience, sizeof sendPatience);
    const std::string head = "POST /nowhere HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: application/json\r\n\r\n" + std::string(64 * 1024, 'x');
    ASSERT_GT(::send(raw, head.data(), head.size(), MSG_NOSIGNAL), 0);
    const timeval patience{20, 0};
    ::setsockopt(raw, SOL_SOCKET, SO_RCVTIMEO, &patience, sizeof patience);
    char answer[64] = {};
    const ssize_t received = ::recv(raw, answer, sizeof answer - 1, 0);
    if (received < 0) // the refusal can be overtaken by the reset of the unread body
        EXPECT_EQ(errno, ECONNRESET) << "no answer while the body goes on";
    else
        EXPECT_EQ(std::string(answer).rfind("HTTP/1.1 411", 0), 0u) << answer;
    ::close(raw);
    EXPECT_EQ(clientOf(server.port()).Get("/appcast.xml")->status, 200);
}

TEST(HostileRequests, OnlyLoopbackNamesAndJsonFaultsAreServed)
{
    DevServerProcess server;
    httplib::Client client = clientOf(server.port());
    const std::string port = std::to_string(server.port());

    // A page that rebinds its own name to 127.0.0.1 sends that name as Host.
    for (const std::string &host : std::vector<std::string>{"evil.example:" + port, "evil.example", "127.0.0.1.evil.example:" + port, "localhost.evil:" + port, ""}) {
        const auto readOut = client.Get("/dev/activities", {{"Host", host}});
        ASSERT_TRUE(readOut) << host;
        EXPECT_EQ(readOut->status, 421) << host;
        EXPECT_EQ(readOut->body.find("users"), std::string::npos) << host;
    }
    for (const std::string &host : std::vector<std::string>{"127.0.0.1:" + port, "localhost:" + port, "LOCALHOST", "[::1]:" + port}) {
        const auto readOut = client.Get("/dev/activities", {{"Host", host}});
        ASSERT_TRUE(readOut) << host;
        EXPECT_EQ(readOut->status, 200) << host;
    }

    // A cross-site form may post text/plain without asking first; faults only come as JSON.
    const std::string fault = text({{"endpoint", "/oauth/token"}, {"status", 500}});
    const auto plain = client.Post("/dev/faults", fault, "text/plain");
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->status, 415);
    const auto grant = client.Post("/oauth/token", text(passwordGrantBody(DevServerProcess::email, DevServerProcess::password)), "application/json");
    ASSERT_TRUE(grant);
    EXPECT_EQ(grant->status, 200) << "the text/plain fault must not have been taken";
    EXPECT_EQ(client.Post("/dev/faults", fault, "application/json")->status, 204);
}

TEST(HostileRequests, SlowClientsDoNotStarveTheOthers)
{
    DevServerProcess server;
    const SlowClients slow(server.port(), 16);
    httplib::Client client = clientOf(server.port());
    const auto appcast = client.Get("/appcast.xml");
    ASSERT_TRUE(appcast) << "no answer while slow clients hold connections";
    EXPECT_EQ(appcast->status, 200);
}

TEST(HostileRequests, CredentialsComeFromAFileOrStandardInputAndStayOffTheCommandLine)
{
    QTemporaryDir folder;
    const QString clients = folder.filePath("clients");
    QFile clientFile(clients);
    ASSERT_TRUE(clientFile.open(QIODevice::WriteOnly));
    clientFile.write((Configuration::apiClientId() + u':' + Configuration::apiClientSecret() + u'\n').toUtf8());
    clientFile.close();

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

    QFile commandLine(QStringLiteral("/proc/%1/cmdline").arg(service.processId()));
    ASSERT_TRUE(commandLine.open(QIODevice::ReadOnly));
    const QByteArray arguments = commandLine.readAll();
    EXPECT_FALSE(arguments.contains(Configuration::apiClientSecret().toUtf8()));
    EXPECT_FALSE(arguments.contains("from standard input"));

    const auto grant = clientOf(port).Post("/oauth/token", text(passwordGrantBody("lin@hourloom.test", "from standard input")), "application/json");
    ASSERT_TRUE(grant);
    EXPECT_EQ(grant->status, 200) << grant->body;
    service.terminate();
    EXPECT_TRUE(service.waitForFinished(10000));
}

TEST(HostileRequests, TheDatabaseIsPrivateAndHoldsOnlyTokenHashes)
{
    QTemporaryDir folder;
    const QString database = folder.filePath("accounts.sqlite");
    DevServerProcess server({"--database", database});
    httplib::Client client = clientOf(server.port());
    const auto grant = client.Post("/oauth/token", text(passwordGrantBody(DevServerProcess::email, DevServerProcess::password)), "application/json");
    ASSERT_TRUE(grant);
    ASSERT_EQ(grant->status, 200) << grant->body;
    const QJsonObject tokens = QJsonDocument::fromJson(QByteArray::fromStdString(grant->body)).object();
    const QByteArray accessToken = tokens.value("access_token").toString().toUtf8();
    const QByteArray refreshToken = tokens.value("refresh_token").toString().toUtf8();
    const httplib::Headers bearer{{"Authorization", "Bearer " + accessToken.toStdString()}};
    EXPECT_EQ(client.Post("/api/v1/user_activities", bearer, R"({"timezone_offset":0,"user_activities":[]})", "application/json")->status, 201);

    // Neither token is anywhere in the files, and no one else may read them.
    for (const QString &suffix : {QString(), QStringLiteral("-wal")}) {
        QFile file(database + suffix);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << qPrintable(file.fileName());
        const QByteArray bytes = file.readAll();
        EXPECT_FALSE(bytes.contains(accessToken)) << qPrintable(file.fileName());
        EXPECT_FALSE(bytes.contains(refreshToken)) << qPrintable(file.fileName());
        struct stat info {};
        ASSERT_EQ(::stat(QFile::encodeName(file.fileName()).constData(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, 0600u) << qPrintable(file.fileName());
    }
}
