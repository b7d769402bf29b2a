// The program's named commands: one registry from a command name to its handler. The skin page's
// command names, the keys, the caption buttons and the list all run commands through it; each
// feature folder adds its own with its install function. A command's value is its one argument
// (a row, a position in ms, a level); commands without one ignore it.
#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <map>

class Commands {
public:
    using Handler = std::function<void(int value)>;

    // Adds `name`, or replaces the handler an earlier install gave it.
    void add(const QString& name, Handler handler);
    void remove(const QString& name);
    bool contains(const QString& name) const { return m_handlers.count(name) != 0; }
    // Runs the handler of `name`; false when there is none.
    bool run(const QString& name, int value = 0) const;
    // Every name, sorted.
    QStringList names() const;

private:
    std::map<QString, Handler> m_handlers;
};
