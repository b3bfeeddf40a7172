#include "SingleInstance.h"

#include "platform/services/files/PrivateFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalSocket>
#include <QRegularExpression>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace hourloom {
namespace {

const QByteArray openPanelRequest = QByteArrayLiteral("open-panel\n");

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
        while (QLocalSocket *client = server_.nextPendingConnection()) {
            QObject::connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
            const auto readRequest = [this, client] {
                if (client->bytesAvailable() < openPanelRequest.size())
                    return;
                if (client->read(openPanelRequest.size()) == openPanelRequest)
                    requested();
                client->disconnectFromServer();
            };
            QObject::connect(client, &QLocalSocket::readyRead, client, readRequest);
            readRequest();
        }
    });
}

void SingleInstance::requested()
{
    if (handler_)
        handler_();
    else
        ++pendingRequests_;
}

void SingleInstance::onOpenPanelRequested(std::function<void()> handler)
{
    handler_ = std::move(handler);
    for (; pendingRequests_ > 0; --pendingRequests_)
        handler_();
}

bool SingleInstance::askRunningAgentToOpenPanel()
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
    socket.write(openPanelRequest);
    if (!socket.waitForBytesWritten(5000))
        return false;
    // The agent closes the connection once it has read the request.
    socket.waitForDisconnected(5000);
    return true;
}

} // namespace hourloom
