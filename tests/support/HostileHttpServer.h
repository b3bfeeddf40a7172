#pragma once

#include <QByteArray>
#include <QList>
#include <QTcpServer>
#include <QUrl>

namespace hourloom::test {

// An HTTP server on 127.0.0.1 that answers every request in one hostile way, for checking what
// the agent's HTTP client puts up with. It runs on the test's main loop.
class HostileHttpServer : public QObject {
public:
    enum class Way {
        // The head and body given, at once (a redirect, a 201 that should never be reached).
        answer,
        // The head with a large Content-Length, then one byte of body every 100 ms, for ever.
        trickle,
        // The head, then `floodSize` bytes as fast as the client takes them; with
        // `declareLength` false the answer has no Content-Length and ends with the connection.
        flood,
    };

    explicit HostileHttpServer(Way way);

    quint16 port() const { return server_.serverPort(); }
    QUrl url(const QString &path) const;

    // For Way::answer.
    QByteArray head = "HTTP/1.1 200 OK\r\n";
    QByteArray body;
    // For Way::flood.
    qint64 floodSize = 0;
    bool declareLength = true;

    // Every request received in full (head and body), in order.
    QList<QByteArray> requests;
    // Body bytes handed to the network by flood and trickle.
    qint64 bodyBytesSent = 0;

private:
    void serve(QTcpSocket *socket);
    void feed(QTcpSocket *socket, qint64 &remaining);

    Way way_;
    QTcpServer server_;
};

} // namespace hourloom::test
