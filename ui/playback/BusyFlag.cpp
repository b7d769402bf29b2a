#include "ui/playback/BusyFlag.h"

#include <QTimer>

#include <utility>

void BusyFlag::setBusy(bool busy) {
    if (busy == m_busy)
        return;
    m_busy = busy;
    emit busyChanged(busy);
    if (!busy && m_deferred) {
        // After the work that held it back has returned, and only if nothing became busy since.
        QTimer::singleShot(0, this, [this] {
            if (!m_busy && m_deferred)
                std::exchange(m_deferred, {})();
        });
    }
}

void BusyFlag::setOpening(bool opening) {
    if (opening == m_opening)
        return;
    m_opening = opening;
    emit openingChanged(opening);
    setBusy(opening);
}

bool BusyFlag::deferWhileBusy(std::function<void()> work) {
    if (!m_busy)
        return false;
    m_deferred = std::move(work);
    return true;
}
