#include "ui/screens/RefreshPacer.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <algorithm>
#include <cmath>

RefreshPacer& RefreshPacer::instance() {
    static RefreshPacer* pacer = new RefreshPacer; // lives as long as the process
    return *pacer;
}

RefreshPacer::RefreshPacer() {
    double hz = 60.0;
    if (const QScreen* screen = QGuiApplication::primaryScreen(); screen && screen->refreshRate() >= 20.0)
        hz = screen->refreshRate();
    m_intervalMs = std::clamp(int(std::lround(1000.0 / hz)), 4, 50);
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &RefreshPacer::refresh);
    m_clock.start();
}

void RefreshPacer::request(QWidget* widget) {
    if (!widget)
        return;
    if (!m_waiting.contains(widget))
        m_waiting.append(widget);
    if (m_timer.isActive())
        return;
    // The next line of the refresh grid: pictures of all channels that arrive within one
    // interval are shown by one update of the window.
    const qint64 now = m_clock.elapsed();
    const qint64 next = (now / m_intervalMs + 1) * m_intervalMs;
    m_timer.start(int(next - now));
}

void RefreshPacer::refresh() {
    const QVector<QPointer<QWidget>> waiting = std::exchange(m_waiting, {});
    bool any = false;
    for (const QPointer<QWidget>& widget : waiting) {
        if (widget) {
            widget->update();
            any = true;
        }
    }
    if (any)
        ++m_updates;
}
