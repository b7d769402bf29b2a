// PlaybackControl over the main window's engine holder: the dispatcher's and the window's engine
// calls go through it to the open recording's pipeline.
#pragma once

#include "ui/playback/PlaybackControl.h"

class PlaybackEngineHolder;

class EnginePlayback final : public PlaybackControl {
public:
    explicit EnginePlayback(PlaybackEngineHolder& holder) : m_holder(holder) {}
    // Queries poll the pipeline through the holder, which is why the holder is held mutable.

    int GetState() const override;
    int GetChannelCount() const override;
    uint64_t GetPositionMs() const override;
    uint64_t GetDurationMs() const override;
    bool Run() override;
    bool Pause() override;
    bool Stop() override;
    void SeekTo(int64_t ms) override;
    void SetRate(float rate) override;
    void SetBrightness(int channel, int level) override;
    bool StepFrame() override;
    void SetVolume(int level) override;
    void SetViewOptions(uint32_t options) override;

private:
    PlaybackEngineHolder& m_holder; // owned by the main window
};
