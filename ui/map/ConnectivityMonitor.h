// Watches whether the map's tile server can be reached: every few seconds it opens a TCP
// connection to it without waiting on the UI thread, and reports each change (lost or back).
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

class QTcpSocket;

class ConnectivityMonitor : public QObject {
    Q_OBJECT
public:
    static constexpr int kIntervalMs = 5000; // between checks
    static constexpr int kTimeoutMs = 4000;  // a check that has not connected by then fails

    explicit ConnectivityMonitor(QObject* parent = nullptr);
    ~ConnectivityMonitor() override;

    // `given` when there is one (it is started and targeted by its owner), else a new monitor
    // owned by `parent` that watches the tile server of map kind `kind`.
    static ConnectivityMonitor* forMapKind(int kind, ConnectivityMonitor* given, QObject* parent);

    // The server to reach; a new target is checked at once.
    void setTarget(const QString& host, quint16 port);
    void start();
    void stop();
    bool isConnected() const { return m_connected; }
    void setInterval(int ms) { m_interval.setInterval(ms); }

signals:
    void connectivityChanged(bool connected);
    void checked(bool connected); // after every check (tests, diagnostics)

private:
    void check();
    void finish(bool ok);

    QString m_host;
    quint16 m_port = 443;
    bool m_connected = false;
    bool m_known = false;
    QTimer m_interval;
    QTimer m_timeout;
    QPointer<QTcpSocket> m_socket;
};
