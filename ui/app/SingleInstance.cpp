#include "ui/app/SingleInstance.h"

#include <QDataStream>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>

#include <unistd.h>

namespace {
constexpr quint32 kMagic = 0x51494C31;       // "QIL1": message format of the hand-over
constexpr qsizetype kMaxMessage = 64 * 1024; // a path or link; anything larger is not ours
} // namespace

QString SingleInstance::serverNameFor(const QString& name, uid_t uid, const QString& runtimeFolder,
                                      const QString& display) {
    QString session = display;
    // The display name becomes part of a file name: ":0.0" and "wayland-1" stay readable.
    for (QChar& c : session)
        if (!c.isLetterOrNumber() && c != QLatin1Char('.') && c != QLatin1Char('-'))
            c = QLatin1Char('_');
    QString base = QStringLiteral("%1-%2").arg(name).arg(uid);
    if (!session.isEmpty())
        base += QLatin1Char('-') + session;
    // A socket path must fit the address (108 bytes with its terminator); a runtime folder that is
    // that deep leaves the name to the temporary folder, still keyed by the display.
    if (!runtimeFolder.isEmpty() && QDir::isAbsolutePath(runtimeFolder)) {
        const QString path = QDir(runtimeFolder).filePath(base);
        if (path.toLocal8Bit().size() < 100)
            return path;
    }
    return base;
}

QString SingleInstance::sessionServerName(const QString& name) {
    QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && !QFileInfo(runtime).isDir())
        runtime.clear();
    QString display = qEnvironmentVariable("WAYLAND_DISPLAY");
    if (display.isEmpty())
        display = qEnvironmentVariable("DISPLAY");
    return serverNameFor(name, getuid(), runtime, display);
}

SingleInstance::SingleInstance(const QString& name, QObject* parent)
    : QObject(parent), m_serverName(sessionServerName(name)) {}

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
