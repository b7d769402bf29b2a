#include "ui/common/StartupArguments.h"

#include <QStringList>

StartupArgument parseStartupArgument(const QString& argument) {
    StartupArgument out;
    if (argument.isEmpty())
        return out;
    if (argument.startsWith(QLatin1String("qmv:"), Qt::CaseSensitive)) {
        out.kind = StartupArgument::Link;
        QString text = argument;
        text.remove(QLatin1String("qmv:"), Qt::CaseSensitive);
        const QStringList parts = text.split(QLatin1Char('|'));
        out.source = parts.value(0);
        out.name = parts.value(1);
        bool ok = false;
        const qlonglong size = parts.value(2).trimmed().toLongLong(&ok);
        out.size = ok && size > 0 ? size : 0;
        return out;
    }
    out.kind = StartupArgument::Path;
    const int slash = argument.lastIndexOf(QLatin1Char('/'));
    if (slash < 0) {
        out.name = argument;
    } else {
        out.folder = argument.left(slash);
        out.name = argument.mid(slash + 1);
    }
    return out;
}
