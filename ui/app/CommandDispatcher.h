// Turns a skin command (name, value) from window.external into an action of the main window.
// One per main window; the script bridge calls Dispatch on the user-interface thread. Nothing runs
// while the window's busy flag is set.
#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>

class BusyFlag;
class CommandTarget;

class CommandDispatcher {
public:
    CommandDispatcher(CommandTarget& target, const BusyFlag& busy) : m_target(target), m_busy(busy) {}

    // Runs the first table entry whose name equals `name` (case-sensitive). Returns false when
    // the command was dropped (busy) or the name is unknown.
    bool dispatch(const QString& name, int value);

    // Every command name, in table order.
    static QStringList commandNames();

    static constexpr const char* kMakerSite = "www.morvent.com";

private:
    struct Entry;
    static const Entry* table(int& count);

    void playPause(int);
    void fileOpen(int);
    void mirror(int);
    void flip(int);
    void volume(int value);
    void speed(int index);
    void brightness(int step);
    void change(int);
    void collect(int);
    void tripple(int);
    void home(int);
    void end(int);
    void prev(int);
    void next(int);
    void position(int ms);
    void frameDown(int);
    void frameUp(int);
    void fileSelect(int row);
    void fileFolder(int tab);
    void checkAll(int value);
    void checkOn(int row);
    void checkOff(int row);
    void info(int);
    void unit(int unit);
    void map(int);
    void loop(int);
    void loopClose(int);
    void loopStart(int ms);
    void loopEnd(int ms);
    void homepage(int);

    CommandTarget& m_target;
    const BusyFlag& m_busy;
};
