// What the page's commands and the keys drive: the player's operations and its engine's state
// and settings. Player implements it; the command tests implement it to record the calls.
#pragma once

#include "media/playback/PlaybackEngine.h"

#include <cstdint>

class PlayerControl {
public:
    virtual ~PlayerControl() = default;

    virtual void playPause() = 0;
    virtual void stepBack() = 0;    // two seconds back
    virtual void stepForward() = 0; // one second forward
    virtual void openPrevious() = 0;
    virtual void openNext() = 0;
    virtual void returnToIdle(bool clearSelection = false) = 0;
    virtual void seek(int64_t positionMs) = 0; // ignored while busy
    virtual void openRow(int index) = 0;       // ignored while busy

    virtual PlaybackEngine::State state() const = 0;
    virtual int channelCount() const = 0;
    virtual uint64_t positionMs() const = 0;
    virtual uint64_t durationMs() const = 0;
    virtual bool run() = 0;
    virtual bool pause() = 0;
    virtual bool stop() = 0;
    virtual bool stepFrame() = 0;
    virtual void setRate(float rate) = 0;
    virtual void setBrightness(int channel, int level) = 0; // level -255..255
    virtual void setVolume(int level) = 0;                  // 0..65535
    virtual void setViewOptions(uint32_t options) = 0;      // kViewFlip | kViewMirror
};
