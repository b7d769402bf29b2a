// The playback clock (timer 257) and the operations that start, stop and move playback:
// play/pause, steps, previous/next, return to idle, the delayed open (timer 258), seeks and row
// opens. It only reads the engine and publishes the position and state through the session; the
// page, the list and the panels follow the session. Commands and keys call it.
#pragma once

#include "ui/playback/PlaybackHost.h"

#include <QObject>
#include <QTimer>

class RecordingOpener;

class PlaybackClock : public QObject {
    Q_OBJECT
public:
    static constexpr int kClockPeriodMs = 100; // timer kTimerClock
    static constexpr int kOpenNowMs = 1;       // open the chosen recording now
    static constexpr int kOpenNextMs = 1000;   // open the next one after the end of a recording

    PlaybackClock(PlaybackHost& host, RecordingOpener& opener);

    void PlayPause();
    void StepBack();    // two seconds back
    void StepForward(); // one second forward
    void OpenPrevious();
    void OpenNext();
    void ReturnToIdle(bool resetTitle = false);
    void ClearAndClose();
    void ShowPosition();
    void PlaybackStarted();
    void UpdateChannelControls();

    // 0x413: seek to a position in ms (ignored while busy).
    void Seek(int64_t positionMs);
    // 0x414 and "btnFileSelect": open a row of the recording list (ignored while busy).
    void OpenRow(int index);

    // One clock tick, as timer 257 runs it (tests call it directly).
    void Tick();
    // Timer 258's work, as it runs it.
    void DelayedOpen();

    // Stops timers 257 and 258 without touching the engine (the window is closing).
    void StopTimers() {
        m_clock.stop();
        m_openTimer.stop();
    }

    bool isRunning() const { return m_clock.isActive(); }
    bool isOpenPending() const { return m_openTimer.isActive(); }
    int openDelayMs() const { return m_openTimer.interval(); }

    // Last row, from `from` upwards or downwards, whose kind matches the kind filter; -1 none.
    int findRow(int from, int step) const;

signals:
    void ticked(int64_t positionMs);

private:
    bool busy() const;
    void armClock() { m_clock.start(kClockPeriodMs); }
    void closeEngine();
    void clearLoop();
    void requestOpen(int job);

    PlaybackHost& m_host;
    RecordingOpener& m_opener;
    QTimer m_clock;     // 257
    QTimer m_openTimer; // 258
};
