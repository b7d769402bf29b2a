// What the main window's commands need from the playback engine, as a small interface so the
// dispatcher and its tests do not depend on a running pipeline. The main window adapts its
// engine holder to it; tests record the calls.
#pragma once

#include <cstdint>

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
