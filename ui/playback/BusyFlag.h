// Whether the main window is busy (a recording is being opened, a card is being formatted): the
// one owner of that flag. The command dispatch, the list and the busy window read it; work that
// must not run inside the busy stretch (a second start's hand-over) waits here until it is over.
#pragma once

#include <QObject>

#include <functional>

class BusyFlag : public QObject {
    Q_OBJECT
public:
    explicit BusyFlag(QObject* parent = nullptr) : QObject(parent) {}

    bool isBusy() const { return m_busy; }
    void setBusy(bool busy);
    // A recording is being opened (busy too); the busy window shows meanwhile.
    bool isOpening() const { return m_opening; }
    void setOpening(bool opening);

    // While busy: keeps `work` (replacing any kept before: the latest wins) to run from the event
    // loop once the flag is cleared, and returns true. Returns false, keeping nothing, when free.
    bool deferWhileBusy(std::function<void()> work);
    bool hasDeferredWork() const { return static_cast<bool>(m_deferred); }

signals:
    void busyChanged(bool busy);
    void openingChanged(bool opening);

private:
    bool m_busy = false;
    bool m_opening = false;
    std::function<void()> m_deferred;
};
