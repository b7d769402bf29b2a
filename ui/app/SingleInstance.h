// One running copy per user: the first start listens on a local socket named after the
// instance identifier and the user id; a later start hands its argument to it and ends.
// Used by CHvViewerApp.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

class QLocalServer;

class SingleInstance : public QObject {
    Q_OBJECT
public:
    static constexpr const char* kInstanceId = "HALVORN.TESQUE.BBPLAYER";

    // `name`: the identifier (tests use their own); the user id is appended.
    explicit SingleInstance(const QString& name = QString::fromLatin1(kInstanceId),
                            QObject* parent = nullptr);
    ~SingleInstance() override;

    QString serverName() const { return m_serverName; }

    // Hands `arguments` to a running copy. True when one answered: this start should end.
    bool notifyRunning(const QStringList& arguments, int timeoutMs = 2000);
    // Becomes the running copy. False when the name cannot be taken, e.g. because another copy
    // started at the same moment (hand the arguments to it then).
    bool listen();

signals:
    // A later start asked for the window (and maybe gave a file or folder, absolute path).
    void activationRequested(const QStringList& arguments);

private:
    void onNewConnection();

    QString m_serverName;
    QLocalServer* m_server = nullptr;
};
