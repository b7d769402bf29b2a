#include "core/tools/MountWatcher.h"

#include <QFile>

#include <utility>

MountWatcher::MountWatcher(MountPointSource source)
    : m_source(source ? std::move(source) : MountPointSource(&MountWatcher::SystemMountPoints)) {
    m_last = m_source();
    QObject::connect(&m_timer, &QTimer::timeout, [this] { Check(); });
}

void MountWatcher::Start(int intervalMs) {
    m_last = m_source();
    m_timer.start(intervalMs);
}

void MountWatcher::Check() {
    const QSet<QString> now = m_source();
    if (now == m_last)
        return;
    const QSet<QString> before = std::exchange(m_last, now);
    for (const QString& m : before)
        if (!now.contains(m) && m_removed)
            m_removed(m);
    for (const QString& m : now)
        if (!before.contains(m) && m_added)
            m_added(m);
}

QSet<QString> MountWatcher::ParseMountInfo(const QByteArray& text) {
    QSet<QString> out;
    for (const QByteArray& line : text.split('\n')) {
        const QList<QByteArray> fields = line.split(' ');
        if (fields.size() < 5)
            continue;
        // Field 5 is the mount point; blanks and backslashes are written as octal escapes.
        const QByteArray& raw = fields[4];
        QByteArray decoded;
        decoded.reserve(raw.size());
        for (int i = 0; i < raw.size(); ++i) {
            if (raw[i] == '\\' && i + 3 < raw.size()) {
                bool ok = false;
                const int code = raw.mid(i + 1, 3).toInt(&ok, 8);
                if (ok) {
                    decoded.append(static_cast<char>(code));
                    i += 3;
                    continue;
                }
            }
            decoded.append(raw[i]);
        }
        out.insert(QString::fromUtf8(decoded));
    }
    return out;
}

QSet<QString> MountWatcher::SystemMountPoints() {
    QFile f(QStringLiteral("/proc/self/mountinfo"));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return ParseMountInfo(f.readAll());
}

bool SourceIsOnVolume(const QString& sourcePath, const QString& mountPoint) {
    if (sourcePath.isEmpty() || mountPoint.isEmpty() || mountPoint == QLatin1String("/"))
        return false;
    QString source = sourcePath;
    QString mount = mountPoint;
    while (source.size() > 1 && source.endsWith('/'))
        source.chop(1);
    while (mount.size() > 1 && mount.endsWith('/'))
        mount.chop(1);
    return source == mount || source.startsWith(mount + '/');
}
