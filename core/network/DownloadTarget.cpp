#include "core/network/DownloadTarget.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

QString SafeDownloadName(const QString& linkName) {
    QString name;
    name.reserve(linkName.size());
    for (const QChar c : linkName) {
        if (c == u'/' || c == u'\\')
            name += u'_';
        else if (c.unicode() < 0x20 || c.unicode() == 0x7f || c.category() == QChar::Other_Control ||
                 c.category() == QChar::Other_Format)
            continue;
        else
            name += c;
    }
    // Stored as a recording whatever the link calls it: a name such as "run.desktop" must not become
    // something the desktop runs or opens with another program.
    const QString kRecordingExtension = QStringLiteral(".qmv");
    const int extensionDot = name.lastIndexOf(u'.');
    if (extensionDot < 0 || name.mid(extensionDot).compare(kRecordingExtension, Qt::CaseInsensitive) != 0)
        name = (extensionDot > 0 ? name.left(extensionDot) : name) + kRecordingExtension;
    if (name.toUtf8().size() > kMaxDownloadNameBytes) {
        const int dot = name.lastIndexOf(u'.');
        QString ext = dot > 0 && name.size() - dot <= 10 ? name.mid(dot) : QString();
        QString stem = name.left(name.size() - ext.size());
        while (!stem.isEmpty() && (stem + ext).toUtf8().size() > kMaxDownloadNameBytes)
            stem.chop(stem.size() >= 2 && stem.at(stem.size() - 1).isLowSurrogate() ? 2 : 1);
        name = stem.trimmed() + ext;
    }
    // After the cut: cutting may bring two dots together.
    while (name.contains(QLatin1String("..")))
        name.replace(QLatin1String(".."), QLatin1String("."));
    name = name.trimmed();
    while (name.startsWith(u'.') || name.startsWith(u' '))
        name.remove(0, 1);
    if (name.isEmpty() || name == QLatin1String(".") ||
        name.compare(kRecordingExtension.mid(1), Qt::CaseInsensitive) == 0)
        name = QStringLiteral("download.qmv");
    return name;
}

namespace {
// A dangling link counts as taken too: writing through it would land elsewhere.
bool taken(const QString& path) {
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}
} // namespace

QString FreeTargetPath(const QString& folder, const QString& name) {
    const QDir dir(folder);
    if (!taken(dir.filePath(name)))
        return dir.filePath(name);
    const int dot = name.lastIndexOf(u'.');
    const QString stem = dot > 0 ? name.left(dot) : name;
    const QString ext = dot > 0 ? name.mid(dot) : QString();
    for (int n = 2; n < 1000; ++n) {
        const QString candidate = dir.filePath(QStringLiteral("%1 (%2)%3").arg(stem).arg(n).arg(ext));
        if (!taken(candidate))
            return candidate;
    }
    return {};
}

QString DesktopFolder() {
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    if (folder.isEmpty() || !QDir().mkpath(folder))
        return {};
    return folder;
}
