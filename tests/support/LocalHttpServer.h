// A small HTTP/1.1 server on 127.0.0.1 for tests of the network code: each path answers with a
// status and a body; "/slow" sends half of its announced body and stalls, "/hang" never answers.
// A reply may announce another length than its body's (and close after the body), announce none,
// send without end, or name a Location.
// Needs a Qt application object and a running event loop.
#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QString>
#include <QTcpServer>
#include <QTcpSocket>

#include <cstdint>
#include <map>
#include <utility>
#include <vector>

class LocalServer : public QObject {
public:
    struct Reply {
        Reply(int s = 200, QByteArray b = {}, int64_t a = -1, bool e = false, QByteArray l = {})
            : status(s), body(std::move(b)), announce(a), endless(e), location(std::move(l)) {}
        int status;
        QByteArray body;
        int64_t announce;    // Content-Length sent: -1 the body's length, -2 none
        bool endless;        // after the body, filler until the client goes
        QByteArray location; // a Location header
    };
    int64_t endlessBytes = 0; // filler sent by endless replies
    std::map<QByteArray, Reply> routes;
    std::vector<QByteArray> requests;   // request lines' paths, in order
    std::vector<QByteArray> userAgents; // the User-Agent of each request

    LocalServer() {
        m_server.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* s = m_server.nextPendingConnection())
                QObject::connect(s, &QTcpSocket::readyRead, this, [this, s] { serve(s); });
        });
    }
    QString url(const QString& path) const {
        return QStringLiteral("http://127.0.0.1:%1%2").arg(m_server.serverPort()).arg(path);
    }

private:
    void serve(QTcpSocket* s) {
        m_pending[s] += s->readAll();
        const QByteArray& in = m_pending[s];
        const int end = in.indexOf("\r\n\r\n");
        if (end < 0)
            return;
        const QList<QByteArray> lines = in.left(end).split('\n');
        const QByteArray target = lines.value(0).split(' ').value(1);
        requests.push_back(target);
        for (const QByteArray& l : lines)
            if (l.toLower().startsWith("user-agent:"))
                userAgents.push_back(l.mid(11).trimmed());
        m_pending.erase(s);
        const QByteArray path = target.split('?').value(0);
        if (path == "/hang")
            return;
        if (path == "/slow") {
            s->write("HTTP/1.1 200 OK\r\nContent-Length: 4194304\r\n\r\n");
            s->write(QByteArray(2 * 1024 * 1024, 'x'));
            return; // the rest never comes
        }
        const auto it = routes.find(path);
        const Reply r = it == routes.end() ? Reply{404, "no such page"} : it->second;
        QByteArray head = "HTTP/1.1 " + QByteArray::number(r.status) + " X\r\n";
        if (r.announce != -2)
            head += "Content-Length: " + QByteArray::number(r.announce >= 0 ? r.announce : r.body.size()) + "\r\n";
        if (!r.location.isEmpty())
            head += "Location: " + r.location + "\r\n";
        s->write(head + "Connection: close\r\n\r\n" + r.body);
        if (r.endless) {
            // Kept at most 1 MiB ahead of the client: the server itself stays small.
            auto more = [this, s] {
                while (s->state() == QAbstractSocket::ConnectedState && s->bytesToWrite() < (1 << 20)) {
                    s->write(QByteArray(64 * 1024, 'e'));
                    endlessBytes += 64 * 1024;
                }
            };
            QObject::connect(s, &QTcpSocket::bytesWritten, this, more);
            more();
            return;
        }
        s->disconnectFromHost();
    }

    QTcpServer m_server;
    std::map<QTcpSocket*, QByteArray> m_pending;
};

// A port nothing listens on.
inline quint16 closedPort() {
    QTcpServer s;
    s.listen(QHostAddress::LocalHost, 0);
    const quint16 port = s.serverPort();
    s.close();
    return port;
}
