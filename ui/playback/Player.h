// The playback clock (timer 257) and the operations that start, stop and move playback:
// play/pause, steps, previous/next, return to idle, the delayed open (timer 258), seeks and row
// opens. It only reads the engine and publishes the position and state through the session; the
// page, the list, the screens and the panels follow the session. Keys and commands call it.
#pragma once

#include "media/playback/PlaybackEngine.h"
#include "ui/playback/PlaybackOperations.h"

#include <QObject>
#include <QTimer>

#include <functional>

class PlaybackEngineHolder;
class PlaybackSession;
class RecordingList;
class RecordingOpener;
struct PlaybackState;

class Player : public QObject, public PlaybackOperations {
    Q_OBJECT
public:
    static constexpr int kClockPeriodMs = 100; // timer kTimerClock
    static constexpr int kOpenNowMs = 1;       // open the chosen recording now
    static constexpr int kOpenNextMs = 1000;   // open the next one after the end of a recording

    // Whether the left mouse button is held anywhere (the clock does not move meanwhile).
    using MouseHeld = std::function<bool()>;

    Player(PlaybackSession& session, PlaybackEngineHolder& engine, PlaybackState& state,
                  RecordingList& list, RecordingOpener& opener);

    void setMouseHeld(MouseHeld held) { m_mouseHeld = std::move(held); }

    // PlaybackOperations
    void playPause() override;
    void stepBack() override;
    void stepForward() override;
    void openPrevious() override;
    void openNext() override;
    void returnToIdle(bool clearSelection = false) override;
    void seek(int64_t positionMs) override;
    void openRow(int index) override;

    // Closes the recording and empties the list (a single file is about to be listed).
    void clearAndClose();
    // The engine's position to the session (only while running or paused).
    void showPosition();
    // The opener has opened a recording: it runs at normal rate and brightness, the clock ticks.
    void playbackStarted();

    // One clock tick, as timer 257 runs it (tests call it directly).
    void tick();
    // Timer 258's work, as it runs it.
    void delayedOpen();

    // Stops timers 257 and 258 without touching the engine (the window is closing).
    void stopTimers() {
        m_clock.stop();
        m_openTimer.stop();
    }

    bool isRunning() const { return m_clock.isActive(); }
    bool isOpenPending() const { return m_openTimer.isActive(); }
    int openDelayMs() const { return m_openTimer.interval(); }

    // Last row, from `from` upwards or downwards, whose kind matches the kind filter; -1 none.
    int findRow(int from, int step) const;
    // A folder or card named on the command line has been listed: its oldest recording plays.
    void playFirstListed();

    // The engine as the tools see it (the engine holder's answers, unchanged).
    PlaybackEngine::State state() const;
    int channelCount() const;
    uint64_t positionMs() const;
    uint64_t durationMs() const;
    bool run();
    bool pause();
    bool stop();
    bool stepFrame();
    // Channel 1..4; null when that channel has no picture.
    VideoFramePtr captureImage(int channel);
    // The row of the open or chosen recording (-1 none); a deletion renumbers the rows.
    int selectedRow() const;
    void setSelectedRow(int row);

signals:
    void ticked(int64_t positionMs);

private:
    bool busy() const;
    void armClock() { m_clock.start(kClockPeriodMs); }
    void closeEngine();
    void clearLoop();
    void requestOpen(int job);

    PlaybackSession& m_session;
    PlaybackEngineHolder& m_engine;
    PlaybackState& m_state;
    RecordingList& m_list;
    RecordingOpener& m_opener;
    MouseHeld m_mouseHeld;
    QTimer m_clock;     // 257
    QTimer m_openTimer; // 258
};
