#include "ui/app/SingleInstance.h"

#include <QDataStream>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>

#include <unistd.h>

namespace {
constexpr quint32 kMagic = 0x51494C31;       // "QIL1": message format of the hand-over
constexpr qsizetype kMaxMessage = 64 * 1024; // a path or link; anything larger is not ours
} // namespace

SingleInstance::SingleInstance(const QString& name, QObject* parent)
    : QObject(parent), m_serverName(QStringLiteral("%1-%2").arg(name).arg(getuid())) {}

SingleInstance::~SingleInstance() = default;

bool SingleInstance::notifyRunning(const QStringList& arguments, int timeoutMs) {
    QLocalSocket socket;
    socket.connectToServer(m_serverName);
    if (!socket.waitForConnected(timeoutMs))
        return false;
    QByteArray data;
    QDataStream out(&data, QIODevice::WriteOnly);
    out << kMagic << arguments;
    socket.write(data);
    if (!socket.waitForBytesWritten(timeoutMs))
        return false;
    // Wait for the running copy to close the connection: it has read everything by then.
    socket.waitForDisconnected(timeoutMs);
    return true;
}

bool SingleInstance::listen() {
    // A listen with access options binds elsewhere and renames over the name, so it would take
    // the name from a live copy (one that started at the same moment): ask first. A socket that
    // nobody answers was left by a copy that crashed and is removed.
    {
        QLocalSocket probe;
        probe.connectToServer(m_serverName);
        if (probe.waitForConnected(500))
            return false;
    }
    QLocalServer::removeServer(m_serverName);
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(m_serverName))
        return false;
    connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::onNewConnection);
    return true;
}

void SingleInstance::onNewConnection() {
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        auto buffer = std::make_shared<QByteArray>();
        connect(socket, &QLocalSocket::readyRead, this, [this, socket, buffer] {
            buffer->append(socket->readAll());
            if (buffer->size() > kMaxMessage) {
                socket->abort();
                return;
            }
            QDataStream in(*buffer);
            in.startTransaction();
            quint32 magic = 0;
            QStringList arguments;
            in >> magic >> arguments;
            if (!in.commitTransaction())
                return; // wait for the rest
            socket->disconnectFromServer();
            if (magic == kMagic)
                emit activationRequested(arguments);
        });
    }
}
