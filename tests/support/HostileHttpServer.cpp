#include "HostileHttpServer.h"

#include <QTcpSocket>
#include <QTimer>

#include <memory>

namespace hourloom::test {
namespace {

// The request's length once head and body have arrived, else -1.
qsizetype completeRequestLength(const QByteArray &received)
{
    const qsizetype headEnd = received.indexOf("\r\n\r\n");
    if (headEnd < 0)
        return -1;
    qsizetype bodyLength = 0;
    for (const QByteArray &line : received.left(headEnd).split('\n')) {
        if (line.toLower().startsWith("content-length:"))
            bodyLength = line.mid(15).trimmed().toLongLong();
    }
    const qsizetype total = headEnd + 4 + bodyLength;
    return received.size() >= total ? total : -1;
}

} // namespace

HostileHttpServer::HostileHttpServer(Way way)
    : way_(way)
{
    connect(&server_, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket *socket = server_.nextPendingConnection()) {
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            auto received = std::make_shared<QByteArray>();
            connect(socket, &QTcpSocket::readyRead, this, [this, socket, received] {
                *received += socket->readAll();
                const qsizetype length = completeRequestLength(*received);
                if (length < 0)
                    return;
                requests.append(received->left(length));
                received->remove(0, length);
                serve(socket);
            });
        }
    });
    server_.listen(QHostAddress::LocalHost);
}

QUrl HostileHttpServer::url(const QString &path) const
{
    return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(port()).arg(path));
}

void HostileHttpServer::serve(QTcpSocket *socket)
{
    switch (way_) {
    case Way::answer:
        socket->write(head + "Content-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body);
        return;
    case Way::trickle: {
        socket->write("HTTP/1.1 201 Created\r\nContent-Type: application/json\r\nContent-Length: 1000000\r\n\r\n");
        auto *timer = new QTimer(socket);
        connect(timer, &QTimer::timeout, socket, [this, socket] {
            socket->write(" ");
            ++bodyBytesSent;
        });
        timer->start(100);
        return;
    }
    case Way::flood: {
        QByteArray floodHead = "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\n";
        floodHead += declareLength ? "Content-Length: " + QByteArray::number(floodSize) + "\r\n\r\n" : QByteArray("Connection: close\r\n\r\n");
        socket->write(floodHead);
        auto remaining = std::make_shared<qint64>(floodSize);
        connect(socket, &QTcpSocket::bytesWritten, socket, [this, socket, remaining] { feed(socket, *remaining); });
        feed(socket, *remaining);
        return;
    }
    }
}

void HostileHttpServer::feed(QTcpSocket *socket, qint64 &remaining)
{
    // A few blocks ahead of the client, no more: what was sent is what the client could read.
    static const QByteArray block(64 * 1024, ' ');
    while (remaining > 0 && socket->bytesToWrite() < 4 * block.size()) {
        const qint64 size = std::min<qint64>(remaining, block.size());
        socket->write(block.constData(), size);
        remaining -= size;
        bodyBytesSent += size;
    }
    if (remaining == 0 && !declareLength)
        socket->disconnectFromHost();
}

} // namespace hourloom::test
