// A small HTTP/1.1 server on 127.0.0.1 for tests of the network code: each path answers with a
// status and a body; "/slow" sends half of its announced body and stalls, "/hang" never answers.
// Needs a Qt application object and a running event loop.
#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QString>
#include <QTcpServer>
#include <QTcpSocket>

#include <map>
#include <vector>

class LocalServer : public QObject {
public:
    struct Reply {
        int status = 200;
        QByteArray body;
    };
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
        s->write("HTTP/1.1 " + QByteArray::number(r.status) + " X\r\nContent-Length: " +
                 QByteArray::number(r.body.size()) + "\r\nConnection: close\r\n\r\n" + r.body);
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
