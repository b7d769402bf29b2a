// One running copy per login session: the first start listens on a local socket named after the
// instance identifier, the user id and the session's display, in the session's runtime folder; a
// later start of the same session hands its argument to it and ends. Another session (another
// display or runtime folder) runs its own copy.
// Used by Application.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <sys/types.h>

class QLocalServer;

class SingleInstance : public QObject {
    Q_OBJECT
public:
    static constexpr const char* kInstanceId = "HALVORN.TESQUE.BBPLAYER";

    // `name`: the identifier (tests use their own); user id and session are appended.
    explicit SingleInstance(const QString& name = QString::fromLatin1(kInstanceId),
                            QObject* parent = nullptr);
    ~SingleInstance() override;

    QString serverName() const { return m_serverName; }
    // The socket of `name` for a user and session: "<runtime>/<name>-<uid>-<display>", without the
    // folder when there is no runtime folder (the temporary folder then), without the display
    // when there is none.
    static QString serverNameFor(const QString& name, uid_t uid, const QString& runtimeFolder,
                                 const QString& display);
    // serverNameFor with this process's user, XDG_RUNTIME_DIR and WAYLAND_DISPLAY or DISPLAY.
    static QString sessionServerName(const QString& name);

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
