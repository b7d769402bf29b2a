// What the skin command dispatcher drives: the main window's shared state, its engine, its page,
// the playback operations (the clock's) and the window's own work. MainWindow implements it;
// tests implement it to watch the dispatcher.
#pragma once

#include "ui/app/ViewerState.h"

#include <QString>

#include <cstdint>

// The dispatcher's view of the player (MainWindow forwards both to its Player; tests record the
// calls).

class PlaybackControl {
public:
    virtual ~PlaybackControl() = default;

    virtual int getState() const = 0; // 0 running, 1 paused, 2 stopped, 3 not yet built, -1 no engine
    virtual int getChannelCount() const = 0;
    virtual uint64_t getPositionMs() const = 0;
    virtual uint64_t getDurationMs() const = 0;
    virtual bool Run() = 0;
    virtual bool pause() = 0;
    virtual bool stop() = 0;
    virtual void seekTo(int64_t ms) = 0;
    virtual void setRate(float rate) = 0;
    virtual void setBrightness(int channel, int level) = 0; // level -255..255
    virtual bool stepFrame() = 0;
    virtual void setVolume(int level) = 0;             // 0..65535
    virtual void setViewOptions(uint32_t options) = 0; // flip 0x04 and mirror 0x08 of every channel
};

constexpr int kStateRunning = 0;
constexpr int kStatePaused = 1;
constexpr int kStateStopped = 2;
constexpr int kStateNotBuilt = 3;
constexpr int kStateNoEngine = -1;

class PlaybackOperations {
public:
    virtual ~PlaybackOperations() = default;

    virtual void playPause() = 0;
    virtual void stepBack() = 0;    // two seconds back
    virtual void stepForward() = 0; // one second forward
    virtual void openPrevious() = 0;
    virtual void openNext() = 0;
    virtual void returnToIdle(bool clearSelection = false) = 0;
    virtual void seek(int64_t positionMs) = 0; // message 0x413, ignored while busy
    virtual void openRow(int index) = 0;       // message 0x414 and "btnFileSelect", ignored while busy
};

class CommandTarget {
public:
    virtual ~CommandTarget() = default;

    virtual ViewerState& State() = 0;
    virtual PlaybackControl& Playback() = 0;
    // Play/pause, steps, previous/next, seeks and row opens (the playback clock).
    virtual PlaybackOperations& operations() = 0;
    // callInternal(functionName, value) on the main page; nothing before the page has loaded.
    virtual void callInternal(const QString& functionName, const QString& value) = 0;

    // The screens' cells follow the main channel and the arrangement.
    virtual void updateChannelControls() = 0;
    virtual void clearMapPath() = 0;

    // Map display and speed unit (panels).
    virtual void showMapPanel(bool show) = 0; // only acts with a 3-channel recording, docked map
    virtual void setSpeedUnit(int unit) = 0;  // speed panel unit, scale and redraw
    virtual void showKind(int kind) = 0;      // the list shows kind 1..4 (the list owns the filter)

    // Work of other windows: card choice, list checks, tools. Returns false when this build has
    // nothing for the command (it is then only logged). Ids from CommandIds.h.
    virtual bool runCommand(int commandId, int value) = 0;

    // Windows of this Part.
    virtual void chooseMovieFile() = 0; // "btnFileOpen"
    virtual void showMovieInfo() = 0;   // "btnInfo"
    virtual void openUrl(const QString& url) = 0;
};
