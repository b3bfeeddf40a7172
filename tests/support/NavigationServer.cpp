#include "NavigationServer.h"

namespace hourloom::test {

namespace {

const QByteArray page = QByteArrayLiteral(
    "<!doctype html><title>Hourloom test page</title><p>Waiting for the test.</p>"
    "<script>fetch('/next').then(r => r.text()).then(url => { location.href = url; });</script>");

} // namespace

NavigationServer::NavigationServer()
{
    connect(&server_, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket *socket = server_.nextPendingConnection()) {
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { serve(socket); });
        }
    });
    server_.listen(QHostAddress::LocalHost);
}

QString NavigationServer::pageURL(const QString &host) const
{
    return QStringLiteral("http://%1:%2/page").arg(host).arg(port());
}

qsizetype NavigationServer::waitingPages() const
{
    qsizetype count = 0;
    for (const auto &socket : waiting_)
        count += socket && socket->state() == QAbstractSocket::ConnectedState;
    return count;
}

qsizetype NavigationServer::navigate(const QString &url)
{
    qsizetype told = 0;
    for (const auto &socket : std::exchange(waiting_, {})) {
        if (socket && socket->state() == QAbstractSocket::ConnectedState) {
            answer(socket, "text/plain", url.toUtf8());
            ++told;
        }
    }
    return told;
}

void NavigationServer::serve(QTcpSocket *socket)
{
    // Requests are small and come whole; the browser sends nothing after the headers.
    if (!socket->canReadLine())
        return;
    const QList<QByteArray> requestLine = socket->readLine().trimmed().split(' ');
    socket->readAll();
    // Long addresses carry their length in the query; the page is the same.
    const QByteArray path = requestLine.value(1).split('?').value(0);
    if (path == "/next")
        waiting_.append(socket);
    else if (path == "/page")
        answer(socket, "text/html", page);
    else
        answer(socket, "text/plain", QByteArray());
}

void NavigationServer::answer(QTcpSocket *socket, const QByteArray &type, const QByteArray &body)
{
    socket->write("HTTP/1.1 200 OK\r\nContent-Type: " + type + "\r\nCache-Control: no-store\r\nConnection: close\r\nContent-Length: "
                  + QByteArray::number(body.size()) + "\r\n\r\n" + body);
    socket->disconnectFromHost();
}

} // namespace hourloom::test
