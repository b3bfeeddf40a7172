#pragma once

#include <QList>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>

namespace hourloom::test {

// A small HTTP server on 127.0.0.1 that makes the browser navigate when the test says so. Its
// page asks GET /next and waits; navigate() answers with the address to go to, and the page
// goes there. Every page it serves is that same page, so navigation can go on and on.
class NavigationServer : public QObject {
public:
    NavigationServer();

    bool isListening() const { return server_.isListening(); }
    quint16 port() const { return server_.serverPort(); }
    // The page's address on the given host name, which must name this machine.
    QString pageURL(const QString &host) const;
    // Pages currently waiting for the next address.
    qsizetype waitingPages() const;
    // Sends every waiting page to `url`; how many were told.
    qsizetype navigate(const QString &url);

private:
    void serve(QTcpSocket *socket);
    static void answer(QTcpSocket *socket, const QByteArray &type, const QByteArray &body);

    QTcpServer server_;
    QList<QPointer<QTcpSocket>> waiting_;
};

} // namespace hourloom::test
