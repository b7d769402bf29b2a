#include "ui/map/ConnectivityMonitor.h"

#include "ui/map/MapSource.h"

#include <QTcpSocket>

ConnectivityMonitor::ConnectivityMonitor(QObject* parent) : QObject(parent) {
    m_interval.setInterval(kIntervalMs);
    connect(&m_interval, &QTimer::timeout, this, &ConnectivityMonitor::check);
    m_timeout.setSingleShot(true);
    m_timeout.setInterval(kTimeoutMs);
    connect(&m_timeout, &QTimer::timeout, this, [this] { finish(false); });
}

ConnectivityMonitor::~ConnectivityMonitor() {
    if (m_socket)
        m_socket->abort();
}

void ConnectivityMonitor::setTarget(const QString& host, quint16 port) {
    m_host = host;
    m_port = port;
    if (m_interval.isActive())
        check();
}

void ConnectivityMonitor::start() {
    m_interval.start();
    check();
}

void ConnectivityMonitor::stop() {
    m_interval.stop();
    m_timeout.stop();
    if (m_socket) {
        m_socket->abort();
        m_socket->deleteLater();
    }
}

void ConnectivityMonitor::check() {
    if (m_socket)
        return; // the previous check is still waiting
    if (m_host.isEmpty()) {
        finish(false);
        return;
    }
    auto* socket = new QTcpSocket(this);
    m_socket = socket;
    connect(socket, &QTcpSocket::connected, this, [this] { finish(true); });
    connect(socket, &QTcpSocket::errorOccurred, this, [this] { finish(false); });
    m_timeout.start();
    socket->connectToHost(m_host, m_port); // name lookup and connect run without blocking
}

void ConnectivityMonitor::finish(bool ok) {
    m_timeout.stop();
    if (m_socket) {
        QTcpSocket* socket = m_socket;
        m_socket = nullptr;
        socket->disconnect(this);
        socket->abort();
        socket->deleteLater();
    }
    const bool changed = !m_known || ok != m_connected;
    m_known = true;
    m_connected = ok;
    if (changed)
        emit connectivityChanged(ok);
    emit checked(ok);
}

ConnectivityMonitor* ConnectivityMonitor::forMapKind(int kind, ConnectivityMonitor* given, QObject* parent) {
    if (given)
        return given;
    auto* monitor = new ConnectivityMonitor(parent);
    const MapHost host = MapHostFor(MapSourceFor(kind));
    monitor->setTarget(host.host, host.port);
    return monitor;
}
