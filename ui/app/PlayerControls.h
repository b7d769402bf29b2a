#pragma once

#include "ui/app/CommandTarget.h"
#include "ui/playback/Player.h"

#include <functional>
#include <utility>

// The dispatcher's view of the player: the engine calls and the operations, forwarded. Nothing
// plays before the player exists.
class PlayerControls final : public PlaybackControl, public PlaybackOperations {
public:
    // `player`: the window's player, null before it exists.
    explicit PlayerControls(std::function<Player*()> player) : m_player(std::move(player)) {}

    int getState() const override {
        using State = PlaybackEngine::State;
        switch (player() ? player()->state() : State::Closed) {
        case State::Running:
            return kStateRunning;
        case State::Paused:
            return kStatePaused;
        case State::Stopped:
            return kStateStopped;
        case State::NotBuilt:
            return kStateNotBuilt;
        case State::Closed:
            break;
        }
        return kStateNoEngine;
    }
    int getChannelCount() const override { return player() ? player()->channelCount() : 0; }
    uint64_t getPositionMs() const override { return player() ? player()->positionMs() : 0; }
    uint64_t getDurationMs() const override { return player() ? player()->durationMs() : 0; }
    bool Run() override { return !player() || player()->run(); }
    bool pause() override { return !player() || player()->pause(); }
    bool stop() override { return !player() || player()->stop(); }
    void seekTo(int64_t ms) override { call([ms](Player& p) { p.seek(ms); }); }
    void setRate(float rate) override { call([rate](Player& p) { p.setRate(rate); }); }
    void setBrightness(int channel, int level) override {
        call([=](Player& p) { p.setBrightness(channel, level); });
    }
    bool stepFrame() override { return player() && player()->stepFrame(); }
    void setVolume(int level) override { call([level](Player& p) { p.setVolume(level); }); }
    void setViewOptions(uint32_t options) override { call([options](Player& p) { p.setViewOptions(options); }); }

    void playPause() override { call([](Player& p) { p.playPause(); }); }
    void stepBack() override { call([](Player& p) { p.stepBack(); }); }
    void stepForward() override { call([](Player& p) { p.stepForward(); }); }
    void openPrevious() override { call([](Player& p) { p.openPrevious(); }); }
    void openNext() override { call([](Player& p) { p.openNext(); }); }
    void returnToIdle(bool clear) override { call([clear](Player& p) { p.returnToIdle(clear); }); }
    void seek(int64_t positionMs) override { call([positionMs](Player& p) { p.seek(positionMs); }); }
    void openRow(int index) override { call([index](Player& p) { p.openRow(index); }); }

private:
    Player* player() const { return m_player(); }
    template <class F> void call(F f) {
        if (Player* p = player())
            f(*p);
    }

    std::function<Player*()> m_player;
};

