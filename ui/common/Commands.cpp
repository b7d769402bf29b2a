#include "ui/common/Commands.h"

#include <QDebug>

void Commands::add(const QString& name, Handler handler) {
    m_handlers[name] = std::move(handler);
}

void Commands::remove(const QString& name) {
    m_handlers.erase(name);
}

bool Commands::run(const QString& name, int value) const {
    const auto it = m_handlers.find(name);
    if (it == m_handlers.end() || !it->second) {
        qInfo().noquote() << QStringLiteral("command %1 is not available in this build").arg(name);
        return false;
    }
    // A copy: the handler may replace or remove its own command while it runs.
    const Handler handler = it->second;
    handler(value);
    return true;
}

QStringList Commands::names() const {
    QStringList out;
    for (const auto& [name, handler] : m_handlers)
        out << name;
    return out;
}
