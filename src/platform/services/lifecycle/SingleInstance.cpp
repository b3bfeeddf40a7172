#include "SingleInstance.h"

#include "platform/services/files/PrivateFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalSocket>
#include <QRegularExpression>

#include <memory>
#include <utility>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace hourloom {
namespace {

const QByteArray openPanelRequest = QByteArrayLiteral("open-panel\n");
// The line after the request. An agent of an earlier version reads the request alone and closes
// the connection; a start of an earlier version sends no such line and waits for that close.
const QByteArray tokenLine = QByteArrayLiteral("activation-token ");
constexpr qint64 longestLine = 4096;

} // namespace

QString SingleInstance::defaultFolder()
{
    return privateRuntimeFolder();
}

SingleInstance::SingleInstance(const QString &folder, const QString &display)
{
    static const QRegularExpression unsafe(QStringLiteral("[^A-Za-z0-9.]"));
    QString name = QStringLiteral("agent");
    if (!display.isEmpty())
        name += u'-' + QString(display).replace(unsafe, QStringLiteral("_"));
    lockPath_ = folder + u'/' + name + QStringLiteral(".lock");
    socketPath_ = folder + u'/' + name + QStringLiteral(".socket");

    // A folder another user can enter could hold their lock file or socket, and ours would be theirs to break.
    if (folder.isEmpty() || !QDir().mkpath(QFileInfo(folder).path()) || !makePrivateFolder(folder)) {
        lockable_ = false;
        return;
    }
    const int fd = ::open(QFile::encodeName(lockPath_).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        lockable_ = false;
        return;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return;
    }
    lockFd_ = fd;
    listen();
}

SingleInstance::~SingleInstance()
{
    if (lockFd_ < 0)
        return;
    server_.close();
    ::close(lockFd_);
}

void SingleInstance::listen()
{
    // Holding the lock, whatever socket file is there was left by an agent that has ended.
    QLocalServer::removeServer(socketPath_);
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    if (!server_.listen(socketPath_))
        return;
    QObject::connect(&server_, &QLocalServer::newConnection, &server_, [this] {
        while (QLocalSocket *client = server_.nextPendingConnection())
            serve(client);
    });
}

void SingleInstance::serve(QLocalSocket *client)
{
    auto asked = std::make_shared<bool>(false);
    QObject::connect(client, &QLocalSocket::disconnected, client, [this, client, asked] {
        if (std::exchange(*asked, false))
            requested({});
        client->deleteLater();
    });
    const auto read = [this, client, asked] {
        while (client->canReadLine()) {
            const QByteArray line = client->readLine(longestLine);
            if (!*asked && line == openPanelRequest) {
                *asked = true;
                continue;
            }
            if (std::exchange(*asked, false))
                requested(line.startsWith(tokenLine) ? line.mid(tokenLine.size()).trimmed() : QByteArray());
            client->disconnectFromServer();
            return;
        }
        if (client->bytesAvailable() > longestLine)
            client->disconnectFromServer();
    };
    QObject::connect(client, &QLocalSocket::readyRead, client, read);
    read();
}

void SingleInstance::requested(const QByteArray &activationToken)
{
    if (handler_)
        handler_(activationToken);
    else
        pendingRequests_.append(activationToken);
}

void SingleInstance::onOpenPanelRequested(Handler handler)
{
    handler_ = std::move(handler);
    for (const QByteArray &token : std::exchange(pendingRequests_, {}))
        handler_(token);
}

bool SingleInstance::askRunningAgentToOpenPanel(const QByteArray &activationToken)
{
    QLocalSocket socket;
    // The running agent may be starting: it listens right after taking the lock, but give it time.
    for (int attempt = 0; attempt < 50; ++attempt) {
        socket.connectToServer(socketPath_);
        if (socket.waitForConnected(1000))
            break;
        ::usleep(100 * 1000);
    }
    if (socket.state() != QLocalSocket::ConnectedState)
        return false;
    QByteArray token = activationToken;
    token.replace('\n', QByteArray());
    socket.write(openPanelRequest + tokenLine + token + '\n');
    if (!socket.waitForBytesWritten(5000))
        return false;
    // The agent closes the connection once it has read the request.
    socket.waitForDisconnected(5000);
    return true;
}

} // namespace hourloom
