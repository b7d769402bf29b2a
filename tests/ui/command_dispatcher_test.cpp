// Skin command dispatch against a recording target: the table, the busy drop and the value
// arithmetic of the volume, brightness, rate and loop commands.
#include "ui/app/CommandDispatcher.h"
#include "core/config/Settings.h"
#include "ui/app/CommandIds.h"
#include "ui/app/CommandTarget.h"
#include "ui/playback/BusyFlag.h"

#include <gtest/gtest.h>

#include <QSet>
#include <QTemporaryDir>
#include <utility>
#include <vector>

namespace {

struct FakePlayback : PlaybackControl {
    int state = kStateNoEngine;
    int channels = 0;
    uint64_t position = 0;
    uint64_t duration = 0;
    std::vector<std::string> calls;
    std::vector<std::pair<int, int>> brightness;
    int volume = -1;
    float rate = 0;
    uint32_t viewOptions = 0;
    int64_t seek = -1;
    int steps = 0;

    int GetState() const override { return state; }
    int GetChannelCount() const override { return channels; }
    uint64_t GetPositionMs() const override { return position; }
    uint64_t GetDurationMs() const override { return duration; }
    bool Run() override { return state = kStateRunning, calls.push_back("run"), true; }
    bool Pause() override {
        if (state == kStateRunning)
            state = kStatePaused;
        calls.push_back("pause");
        return true;
    }
    bool Stop() override { return state = kStateStopped, calls.push_back("stop"), true; }
    void SeekTo(int64_t ms) override { seek = ms; }
    void SetRate(float r) override { rate = r; }
    void SetBrightness(int channel, int level) override { brightness.emplace_back(channel, level); }
    bool StepFrame() override { return ++steps, true; }
    void SetVolume(int level) override { volume = level; }
    void SetViewOptions(uint32_t options) override { viewOptions = options; }
};

struct FakeTarget : CommandTarget, PlaybackOperations {
    ViewerState state;
    FakePlayback engine;
    BusyFlag busy;
    std::vector<std::pair<QString, QString>> pageCalls;
    std::vector<std::string> ops;
    std::vector<std::pair<int, int>> commands;
    int seekMessage = -1;
    int openedRow = -2;
    int mapPanel = -1; // last ShowMapPanel argument
    int speedUnit = 0;
    QString url;

    ViewerState& State() override { return state; }
    PlaybackControl& Playback() override { return engine; }
    PlaybackOperations& Operations() override { return *this; }
    void CallInternal(const QString& f, const QString& v) override { pageCalls.emplace_back(f, v); }
    void PlayPause() override { ops.push_back("PlayPause"); }
    void OpenPrevious() override { ops.push_back("OpenPrevious"); }
    void OpenNext() override { ops.push_back("OpenNext"); }
    void stepBack() override { ops.push_back("StepBack"); }
    void stepForward() override { ops.push_back("StepForward"); }
    void ReturnToIdle(bool) override { ops.push_back("ReturnToIdle"); }
    void seek(int64_t ms) override { seekMessage = static_cast<int>(ms); }
    void openRow(int row) override { openedRow = row; }
    void UpdateChannelControls() override { ops.push_back("UpdateChannelControls"); }
    void ClearMapPath() override { ops.push_back("ClearMapPath"); }
    void ShowMapPanel(bool show) override { mapPanel = show; }
    void SetSpeedUnit(int unit) override { speedUnit = unit; }
    void ShowKind(int k) override {
        kind = k;
        ops.push_back("ShowKind");
    }
    int kind = 1;
    bool RunCommand(int id, int value) override { return commands.emplace_back(id, value), true; }
    void ChooseMovieFile() override { ops.push_back("ChooseMovieFile"); }
    void ShowMovieInfo() override { ops.push_back("ShowMovieInfo"); }
    void OpenUrl(const QString& u) override { url = u; }
};

class DispatchTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        static QTemporaryDir settings;
        SetSettingsDirectoryForTesting(settings.path().toStdString());
    }

    FakeTarget t;
    CommandDispatcher d{t, t.busy};
};

} // namespace

TEST_F(DispatchTest, TableHasEveryCommandOnceAndMatchesCaseSensitively) {
    const QStringList names = CommandDispatcher::commandNames();
    EXPECT_EQ(names.size(), 51);
    EXPECT_EQ(QSet<QString>(names.begin(), names.end()).size(), names.size());
    EXPECT_FALSE(d.Dispatch("btnplay", 0));
    EXPECT_FALSE(d.Dispatch("BTNPLAY", 0));
    EXPECT_FALSE(d.Dispatch("btnStop", 0));
    EXPECT_FALSE(d.Dispatch("", 0));
    EXPECT_TRUE(t.ops.empty());
    EXPECT_TRUE(d.Dispatch("btnPlay", 0));
    EXPECT_TRUE(d.Dispatch("btnPause", 0));
    EXPECT_EQ(t.ops, (std::vector<std::string>{"PlayPause", "PlayPause"}));
}

TEST_F(DispatchTest, EveryCommandIsDroppedWhileBusy) {
    t.busy.setBusy(true);
    for (const QString& name : CommandDispatcher::commandNames())
        EXPECT_FALSE(d.Dispatch(name, 1)) << name.toStdString();
    EXPECT_TRUE(t.ops.empty());
    EXPECT_TRUE(t.commands.empty()); // "btnFormat" included
    EXPECT_TRUE(t.pageCalls.empty());
    EXPECT_EQ(t.engine.volume, -1);
    t.busy.setBusy(false);
    EXPECT_TRUE(d.Dispatch("btnFormat", 0));
    EXPECT_EQ(t.commands, (std::vector<std::pair<int, int>>{{kCmdFormat, 0}}));
}

TEST_F(DispatchTest, VolumeIsScaledToSixteenBits) {
    d.Dispatch("btnVolumn", 100);
    EXPECT_EQ(t.engine.volume, 65535);
    d.Dispatch("btnVolumn", 50);
    EXPECT_EQ(t.engine.volume, 32767);
    EXPECT_EQ(t.state.volume, 50);
    d.Dispatch("btnVolumn", 0);
    EXPECT_EQ(t.engine.volume, 0);
    d.Dispatch("btnVolumn", 250); // outside the slider: held at full, never wrapped
    EXPECT_EQ(t.engine.volume, 65535);
}

TEST_F(DispatchTest, BrightnessStepGivesTheLevelOnEveryChannel) {
    const std::pair<int, int> steps[] = {{20, 255}, {0, -255}, {10, 0}, {13, 76}, {7, -76}};
    for (const auto& [step, level] : steps) {
        t.engine.brightness.clear();
        d.Dispatch(step % 2 ? "btnControlUp1" : "btnControlDown1", step);
        EXPECT_EQ(t.state.brightnessStep, step);
        ASSERT_EQ(t.engine.brightness.size(), 4u);
        for (int ch = 0; ch < 4; ++ch)
            EXPECT_EQ(t.engine.brightness[ch], std::make_pair(ch, level)) << step;
    }
}

TEST_F(DispatchTest, RateIsAppliedOnlyToARunningOrPausedEngine) {
    d.Dispatch("btnSpeedUp", 2);
    EXPECT_EQ(t.state.speedIndex, 2);
    EXPECT_EQ(t.engine.rate, 0.0f); // no engine: stored only
    t.engine.state = kStatePaused;
    d.Dispatch("btnSpeedUp", 4);
    EXPECT_FLOAT_EQ(t.engine.rate, 4.0f);
    t.engine.state = kStateRunning;
    d.Dispatch("btnSpeedDown", 1);
    EXPECT_FLOAT_EQ(t.engine.rate, 2.0f);
    d.Dispatch("btnSpeedDown", 5); // outside the table: ignored
    d.Dispatch("btnSpeedDown", -1);
    EXPECT_EQ(t.state.speedIndex, 1);
    EXPECT_FLOAT_EQ(t.engine.rate, 2.0f);
}

TEST_F(DispatchTest, LoopCoversTheRecordingLessASixtieth) {
    t.engine.state = kStatePaused;
    t.engine.duration = 60000;
    d.Dispatch("btnLoop", 0);
    EXPECT_TRUE(t.state.loopActive);
    EXPECT_EQ(t.state.loopStart, 0);
    EXPECT_EQ(t.state.loopEnd, 59000);
    ASSERT_EQ(t.pageCalls.size(), 1u);
    EXPECT_EQ(t.pageCalls[0], std::make_pair(QString("setLoopRange"), QString("59000")));
    d.Dispatch("btnLoopStart", 1200);
    d.Dispatch("btnLoopEnd", 20000);
    EXPECT_EQ(t.state.loopStart, 1200);
    EXPECT_EQ(t.state.loopEnd, 20000);
    d.Dispatch("btnLoopClose", 0);
    EXPECT_FALSE(t.state.loopActive);
}

TEST_F(DispatchTest, LoopWithNothingOpenIsNoLoop) {
    // Left set, it would pin the next recording at 0 (the clock seeking back on every tick).
    t.engine.state = kStateNoEngine;
    d.Dispatch("btnLoop", 0);
    EXPECT_FALSE(t.state.loopActive);
    EXPECT_TRUE(t.pageCalls.empty());
}

TEST_F(DispatchTest, KindTabFiveIsTheMapCommand) {
    FakeTarget viaMap;
    CommandDispatcher dm(viaMap, viaMap.busy);
    dm.Dispatch("btnMap", 0);
    d.Dispatch("btnFileFolder", 5);
    EXPECT_TRUE(t.state.mapShown);
    EXPECT_EQ(t.state.mapShown, viaMap.state.mapShown);
    EXPECT_EQ(t.kind, viaMap.kind);
    EXPECT_EQ(t.mapPanel, viaMap.mapPanel);
    EXPECT_EQ(t.ops, viaMap.ops);

    d.Dispatch("btnFileFolder", 3);
    EXPECT_FALSE(t.state.mapShown);
    EXPECT_EQ(t.mapPanel, 0);
    EXPECT_EQ(t.kind, 3);
    d.Dispatch("btnFileFolder", 9); // no such tab: nothing changes
    d.Dispatch("btnFileFolder", 0);
    EXPECT_EQ(t.kind, 3);
}

TEST_F(DispatchTest, OneSecondBackPausesAndSeeksThroughTheWindow) {
    t.engine.state = kStatePaused;
    t.engine.position = 800;
    d.Dispatch("btnSpeedFrameDown", 0);
    EXPECT_EQ(t.seekMessage, 800); // not more than a second: stays
    t.engine.state = kStateRunning;
    t.engine.position = 5000;
    d.Dispatch("btnSpeedFrameDown", 0);
    EXPECT_EQ(t.engine.state, kStatePaused);
    EXPECT_EQ(t.pageCalls.back(), std::make_pair(QString("setPlay"), QString("0")));
    EXPECT_EQ(t.seekMessage, 4000);
    t.seekMessage = -1;
    t.engine.state = kStateStopped;
    d.Dispatch("btnSpeedFrameDown", 0);
    EXPECT_EQ(t.seekMessage, -1);
}

TEST_F(DispatchTest, FrameForwardStepsOnlyWhenPaused) {
    t.engine.state = kStateStopped;
    d.Dispatch("btnSpeedFrameUp", 0);
    EXPECT_EQ(t.engine.steps, 0);
    t.engine.state = kStateRunning;
    d.Dispatch("btnSpeedFrameUp", 0);
    EXPECT_EQ(t.engine.state, kStatePaused);
    EXPECT_EQ(t.engine.steps, 1);
    EXPECT_EQ(t.pageCalls.back().first, QString("setPlay"));
}

TEST_F(DispatchTest, ViewOptionsToggle) {
    d.Dispatch("btnMirror", 0);
    EXPECT_EQ(t.state.viewOptions, 3u | kViewMirror);
    EXPECT_EQ(t.engine.viewOptions, uint32_t(kViewMirror));
    d.Dispatch("btnFlip", 0);
    EXPECT_EQ(t.engine.viewOptions, uint32_t(kViewMirror | kViewFlip));
    d.Dispatch("btnMirror", 0);
    EXPECT_EQ(t.engine.viewOptions, uint32_t(kViewFlip));
    // "Swap screens" cycles the main channel over the open recording's channels (three without
    // one); "Screen layout" and "Grid view" choose the arrangement.
    int seen[4];
    for (int& s : seen) {
        d.Dispatch("btnChange", 0);
        s = t.state.mainScreen;
    }
    EXPECT_EQ(std::vector<int>(seen, seen + 4), (std::vector<int>{1, 2, 0, 1}));
    d.Dispatch("btnTripple", 0);
    EXPECT_TRUE(t.state.mainLarge);
    d.Dispatch("btnCollect", 0);
    EXPECT_FALSE(t.state.mainLarge);
    EXPECT_EQ(std::count(t.ops.begin(), t.ops.end(), "UpdateChannelControls"), 6);
    t.engine.channels = 2; // a two-channel recording: the two swap
    d.Dispatch("btnChange", 0);
    EXPECT_EQ(t.state.mainScreen, 0);
    d.Dispatch("btnChange", 0);
    EXPECT_EQ(t.state.mainScreen, 1);
}

TEST_F(DispatchTest, NavigationAndPosition) {
    d.Dispatch("btnHome", 0);
    d.Dispatch("btnEnd", 0);
    d.Dispatch("btnPrev", 0);
    d.Dispatch("btnNext", 0);
    EXPECT_EQ(t.ops, (std::vector<std::string>{"OpenPrevious", "OpenNext", "ClearMapPath", "StepBack",
                                               "ClearMapPath", "StepForward"}));
    d.Dispatch("btnPosition", 12345);
    EXPECT_EQ(t.engine.seek, 12345);
    d.Dispatch("btnFileSelect", 7);
    EXPECT_EQ(t.openedRow, 7);
    d.Dispatch("btnFileSelect", -1);
    EXPECT_EQ(t.openedRow, -1);
}

TEST_F(DispatchTest, WorkOfOtherWindowsGoesToTheirCommands) {
    const std::pair<const char*, int> routes[] = {
        {"btnOpen", kCmdOpenSource},
        {"btnGSensor", kCmdGsensorWindows},
        {"btnSave", kCmdCopy},
        {"btnZoom", kCmdZoom},
        {"btnMerge", kCmdMerge},
        {"btnFormat", kCmdFormat},
        {"btnPicture", kCmdSnapshot},
        {"btnPrint", kCmdPrint},
        {"btnSetting", kCmdSetup},
        {"btnConvert", kCmdConvert},
        {"btnDownload", kCmdDownload},
        {"btnChkClear", kCmdCheckClear},
        {"btnMapsetting", kCmdMapSetting},
        {"btnSearch", kCmdSearch},
        {"btnLog", kCmdEventLog},
        {"btnGpx", kCmdGpx},
        {"btnDeleteFile", kCmdDeleteFiles},
        {"btnQuickSetting", kCmdQuickSettings},
    };
    for (const auto& [name, id] : routes) {
        t.commands.clear();
        d.Dispatch(name, 0);
        ASSERT_EQ(t.commands.size(), 1u) << name;
        EXPECT_EQ(t.commands[0].first, id) << name;
    }
    t.commands.clear();
    d.Dispatch("btnChkAll", 1);
    d.Dispatch("btnChkAll", 0);
    d.Dispatch("btnChkOn", 4);
    d.Dispatch("btnChkOff", 5);
    EXPECT_EQ(t.commands,
              (std::vector<std::pair<int, int>>{
                  {kMsgCheckAll, 0}, {kMsgUncheckAll, 0}, {kMsgCheckRow, 4}, {kMsgUncheckRow, 5}}));
}

TEST_F(DispatchTest, WindowsOfThisPart) {
    d.Dispatch("btnFileOpen", 0);
    d.Dispatch("btnInfo", 0);
    EXPECT_EQ(t.ops, (std::vector<std::string>{"ChooseMovieFile", "ShowMovieInfo"}));
    d.Dispatch("btnHomepage", 0);
    EXPECT_EQ(t.url, QString("http://www.morvent.com"));
    t.state.homepage = "example.org/car";
    d.Dispatch("btnHomepage", 0);
    EXPECT_EQ(t.url, QString("http://example.org/car"));
    d.Dispatch("btnUnit", 2);
    EXPECT_EQ(t.speedUnit, 2);
    EXPECT_EQ(ReadSetting("speedunit"), "2");
}

TEST_F(DispatchTest, PageValuesOutsideTheirControlsAreHeldOrIgnored) {
    // Brightness is held to the meter's 21 steps, so the level never overflows.
    d.Dispatch("btnControlUp1", 2147483647);
    EXPECT_EQ(t.state.brightnessStep, 20);
    EXPECT_EQ(t.engine.brightness.back(), std::make_pair(3, 255));
    d.Dispatch("btnControlDown1", -2147483647 - 1);
    EXPECT_EQ(t.state.brightnessStep, 0);
    EXPECT_EQ(t.engine.brightness.back(), std::make_pair(3, -255));

    // An unknown unit is neither applied nor stored.
    d.Dispatch("btnUnit", 3);
    d.Dispatch("btnUnit", 0);
    d.Dispatch("btnUnit", 7);
    EXPECT_EQ(t.speedUnit, 3);
    EXPECT_EQ(ReadSetting("speedunit"), "3");

    d.Dispatch("btnLoopStart", -500);
    d.Dispatch("btnLoopEnd", -1);
    EXPECT_EQ(t.state.loopStart, 0);
    EXPECT_EQ(t.state.loopEnd, 0);
}
