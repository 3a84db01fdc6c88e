#pragma once

#include <QByteArray>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUrl>

// A small real HTTP/1.1 server on 127.0.0.1 that answers every request with one canned
// response, and remembers what it was asked.
class HttpServer : public QObject {
public:
    struct Response {
        int status = 200;
        QByteArray body;
        bool sendLength = true; // without it the body ends when the connection closes
        bool silent = false;    // accept the request, never answer
    };

    HttpServer() {
        server_.listen(QHostAddress::LocalHost, 0);
        connect(&server_, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = server_.nextPendingConnection()) {
                socket->setParent(this);
                connect(socket, &QTcpSocket::readyRead, socket, [this, socket] { serve(socket); });
            }
        });
    }

    QUrl url(const QString& path = QStringLiteral("/version.json")) const {
        return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(server_.serverPort()).arg(path));
    }

    Response response;
    QByteArray location;        // sent as Location, for a redirect
    QList<QByteArray> requests; // each request's head, as received

private:
    void serve(QTcpSocket* socket) {
        QByteArray& buffer = pending_[socket];
        buffer += socket->readAll();
        const qsizetype end = buffer.indexOf("\r\n\r\n");
        if (end < 0)
            return;
        requests << buffer.left(end);
        buffer.clear();
        if (response.silent)
            return;
        QByteArray head = "HTTP/1.1 " + QByteArray::number(response.status) + " Canned\r\n" +
                          "Content-Type: application/json\r\nConnection: close\r\n";
        if (!location.isEmpty())
            head += "Location: " + location + "\r\n";
        if (response.sendLength)
            head += "Content-Length: " + QByteArray::number(response.body.size()) + "\r\n";
        socket->write(head + "\r\n" + response.body);
        socket->disconnectFromHost();
    }

    QTcpServer server_;
    QHash<QTcpSocket*, QByteArray> pending_;
};
