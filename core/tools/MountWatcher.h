// Watches the mount table so that the list can forget a card that was pulled out. Polls on a timer;
// the mount-point source is injectable so tests give a changing fake table.
#pragma once

#include <QSet>
#include <QString>
#include <QTimer>
#include <functional>

class MountWatcher {
public:
    using MountPointSource = std::function<QSet<QString>()>;
    using Listener = std::function<void(const QString& mountPoint)>;

    explicit MountWatcher(MountPointSource source = {});
    void OnRemoved(Listener l) { m_removed = std::move(l); }
    void OnAdded(Listener l) { m_added = std::move(l); }
    void Start(int intervalMs = 1000);
    void Stop() { m_timer.stop(); }
    // Compares the table with the last one and reports the differences (the timer calls this).
    void Check();

    // Mount points of /proc/self/mountinfo (octal escapes decoded).
    static QSet<QString> SystemMountPoints();
    static QSet<QString> ParseMountInfo(const QByteArray& text);

private:
    Listener m_removed;
    Listener m_added;
    MountPointSource m_source;
    QSet<QString> m_last;
    QTimer m_timer;
};

// True when `sourcePath` (a scanned drive root or folder) lies on the volume mounted at `mountPoint`.
bool SourceIsOnVolume(const QString& sourcePath, const QString& mountPoint);
