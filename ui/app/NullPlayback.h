// The engine as seen before a playback engine exists: every control does nothing and reports
// "no engine". The main window uses it until its engine holder is attached.
#pragma once

#include "ui/app/PlaybackControl.h"

class NullPlayback final : public PlaybackControl {
public:
    int GetState() const override { return kStateNoEngine; }
    int GetChannelCount() const override { return 0; }
    uint64_t GetPositionMs() const override { return 0; }
    uint64_t GetDurationMs() const override { return 0; }
    bool Run() override { return true; }
    bool Pause() override { return true; }
    bool Stop() override { return true; }
    void SeekTo(int64_t) override {}
    void SetRate(float) override {}
    void SetBrightness(int, int) override {}
    bool StepFrame() override { return false; }
    void SetVolume(int) override {}
    void SetViewOptions(uint32_t) override {}
};
