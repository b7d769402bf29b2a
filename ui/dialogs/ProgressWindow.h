// The small busy window shown while a recording opens: it is drawn first, then 10 ms later it tells
// its owner that the (possibly slow) opening may run. The owner keeps the window's busy flag
// (BusyFlag) set meanwhile; this window only shows it.
#pragma once

#include <QPixmap>
#include <QTimer>
#include <QWidget>

class ProgressWindow : public QWidget {
    Q_OBJECT
public:
    static constexpr int kWidth = 219;
    static constexpr int kHeight = 120;
    static constexpr int kTimerId = 1;
    static constexpr int kDelayMs = 10;

    explicit ProgressWindow(QWidget* owner);

    // Shows the window centred over its owner and arms the 10 ms timer for `job`.
    void start(int job);
    // Ends a run: hidden.
    void finish();
    // Stops a pending timer for good (owner closing): no openNow() after this.
    void stop();

    int job() const { return m_job; }
    // The caption in the language in force ("MAIN_TEXT_LOADING"); the bitmap carries the English one.
    static QString caption();

signals:
    void openNow(int job); // 0x41a

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void onTimer();

    QWidget* m_owner;
    bool m_stopped = false;
    int m_job = 0;
    QTimer m_timer;
    QPixmap m_picture; // bitmap 385
};
