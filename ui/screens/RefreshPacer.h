// Paces the video screens' repaints to the display. Whatever the number of channels and their
// frame rates, the screens that received a picture are updated together at most once per display
// refresh, on a fixed grid of refresh intervals: the window is composed and flushed once per
// refresh instead of once per decoded picture (three channels at 30 fps asked for up to 90).
// A picture waits at most one refresh, as it would for the display's own refresh.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QVector>

class QWidget;

class RefreshPacer : public QObject {
    Q_OBJECT
public:
    // The one pacer of the user-interface thread (created on first use there).
    static RefreshPacer& instance();

    // UI thread: `widget` has something new to show; it is updated at the next refresh.
    void request(QWidget* widget);

    int intervalMs() const { return m_intervalMs; }
    quint64 updates() const { return m_updates; } // refreshes that updated at least one widget

private:
    RefreshPacer();
    void refresh();

    QTimer m_timer;
    QElapsedTimer m_clock;
    QVector<QPointer<QWidget>> m_waiting;
    int m_intervalMs = 16;
    quint64 m_updates = 0;
};
