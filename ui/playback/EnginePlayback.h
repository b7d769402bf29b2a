// PlaybackControl over the main window's engine holder: the dispatcher's and the window's engine
// calls go through it to the open recording's pipeline.
#pragma once

#include "ui/playback/PlaybackControl.h"

class PlaybackEngineHolder;

class EnginePlayback final : public PlaybackControl {
public:
    explicit EnginePlayback(PlaybackEngineHolder& holder) : m_holder(holder) {}
    // Queries poll the pipeline through the holder, which is why the holder is held mutable.

    int getState() const override;
    int getChannelCount() const override;
    uint64_t getPositionMs() const override;
    uint64_t getDurationMs() const override;
    bool Run() override;
    bool pause() override;
    bool stop() override;
    void seekTo(int64_t ms) override;
    void setRate(float rate) override;
    void setBrightness(int channel, int level) override;
    bool stepFrame() override;
    void setVolume(int level) override;
    void setViewOptions(uint32_t options) override;

private:
    PlaybackEngineHolder& m_holder; // owned by the main window
};
