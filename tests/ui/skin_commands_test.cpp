// The page's command table through the command registry, against a recording target: the names,
// the busy drop, the commands other windows add, and the value arithmetic of the volume,
// brightness, rate and loop commands.
#include "ui/app/SkinCommands.h"
#include "core/config/Settings.h"
#include "ui/common/Commands.h"
#include "ui/playback/BusyFlag.h"

#include <gtest/gtest.h>

#include <QSet>
#include <QTemporaryDir>
#include <utility>
#include <vector>

namespace {

// The player's states under the names the cases use.
constexpr PlaybackEngine::State kStateRunning = PlaybackEngine::State::Running;
constexpr PlaybackEngine::State kStatePaused = PlaybackEngine::State::Paused;
constexpr PlaybackEngine::State kStateStopped = PlaybackEngine::State::Stopped;
constexpr PlaybackEngine::State kStateNoEngine = PlaybackEngine::State::Closed;

// The engine side of the fake player: what the commands set and read.
struct FakeEngine {
    PlaybackEngine::State state = kStateNoEngine;
    int channels = 0;
    uint64_t position = 0;
    uint64_t duration = 0;
    std::vector<std::string> calls;
    std::vector<std::pair<int, int>> brightness;
    int volume = -1;
    float rate = 0;
    uint32_t viewOptions = 0;
    int steps = 0;
};

struct FakeTarget : SkinCommandTarget, PlayerControl {
    ViewerState viewer;
    FakeEngine engine;
    BusyFlag busy;
    std::vector<std::pair<QString, QString>> pageCalls;
    std::vector<std::string> ops;
    std::vector<std::pair<QString, int>> commands; // commands of other windows
    int seekMessage = -1;
    int openedRow = -2;
    int mapPanel = -1; // last ShowMapPanel argument
    int speedUnit = 0;
    QString url;

    ViewerState& state() override { return viewer; }
    PlayerControl& player() override { return *this; }
    void callInternal(const QString& f, const QString& v) override { pageCalls.emplace_back(f, v); }
    void playPause() override { ops.push_back("PlayPause"); }
    void openPrevious() override { ops.push_back("OpenPrevious"); }
    void openNext() override { ops.push_back("OpenNext"); }
    void stepBack() override { ops.push_back("StepBack"); }
    void stepForward() override { ops.push_back("StepForward"); }
    void returnToIdle(bool) override { ops.push_back("ReturnToIdle"); }
    void seek(int64_t ms) override { seekMessage = static_cast<int>(ms); }
    void openRow(int row) override { openedRow = row; }
    PlaybackEngine::State state() const override { return engine.state; }
    int channelCount() const override { return engine.channels; }
    uint64_t positionMs() const override { return engine.position; }
    uint64_t durationMs() const override { return engine.duration; }
    bool run() override { return engine.state = kStateRunning, engine.calls.push_back("run"), true; }
    bool pause() override {
        if (engine.state == kStateRunning)
            engine.state = kStatePaused;
        engine.calls.push_back("pause");
        return true;
    }
    bool stop() override { return engine.state = kStateStopped, engine.calls.push_back("stop"), true; }
    void setRate(float r) override { engine.rate = r; }
    void setBrightness(int channel, int level) override { engine.brightness.emplace_back(channel, level); }
    bool stepFrame() override { return ++engine.steps, true; }
    void setVolume(int level) override { engine.volume = level; }
    void setViewOptions(uint32_t options) override { engine.viewOptions = options; }
    void updateChannelControls() override { ops.push_back("UpdateChannelControls"); }
    void clearMapPath() override { ops.push_back("ClearMapPath"); }
    void showMapPanel(bool show) override { mapPanel = show; }
    void setSpeedUnit(int unit) override { speedUnit = unit; }
    void showKind(int k) override {
        kind = k;
        ops.push_back("ShowKind");
    }
    int kind = 1;
    void chooseMovieFile() override { ops.push_back("ChooseMovieFile"); }
    void showMovieInfo() override { ops.push_back("ShowMovieInfo"); }
    void openUrl(const QString& u) override { url = u; }
};

// The names the page sends whose work other windows add (list, card, tools, data out, panels).
const char* const kOtherWindows[] = {
    "btnOpen",    "btnGSensor",    "btnSave",         "btnZoom",       "btnMerge",    "btnFormat",
    "btnPicture", "btnPrint",      "btnSetting",      "btnConvert",    "btnDownload", "btnChkClear",
    "btnChkAll",  "btnChkOn",      "btnChkOff",       "btnMapsetting", "btnSearch",   "btnLog",
    "btnGpx",     "btnDeleteFile", "btnQuickSetting", "btnTrips",    "btnClip",
};

// A registry with the page's own commands on `target` and recorders for the other windows'.
struct Table {
    explicit Table(FakeTarget& target) : t(target) {
        installSkinCommands(registry, t);
        for (const char* name : kOtherWindows)
            registry.add(name, [this, name](int value) { t.commands.emplace_back(name, value); });
    }
    // As the page runs a command.
    bool dispatch(const QString& name, int value) { return runPageCommand(registry, t.busy, name, value); }
    FakeTarget& t;
    Commands registry;
};

class SkinCommandsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        static QTemporaryDir settings;
        SetSettingsDirectoryForTesting(settings.path().toStdString());
    }

    FakeTarget t;
    Table d{t};
};

} // namespace

TEST_F(SkinCommandsTest, TableHasEveryCommandOnceAndMatchesCaseSensitively) {
    const QStringList& names = skinCommandNames();
    EXPECT_EQ(names.size(), 53);
    EXPECT_EQ(QSet<QString>(names.begin(), names.end()).size(), names.size());
    EXPECT_FALSE(d.dispatch("btnplay", 0));
    EXPECT_FALSE(d.dispatch("BTNPLAY", 0));
    EXPECT_FALSE(d.dispatch("btnStop", 0));
    EXPECT_FALSE(d.dispatch("", 0));
    EXPECT_TRUE(t.ops.empty());
    EXPECT_TRUE(d.dispatch("btnPlay", 0));
    EXPECT_TRUE(d.dispatch("btnPause", 0));
    EXPECT_EQ(t.ops, (std::vector<std::string>{"PlayPause", "PlayPause"}));
    // Every name of the page has a handler, and the registry holds no other: the window's own
    // commands (caption buttons, keys, docking) are not reachable from the page.
    QStringList registered = d.registry.names();
    QStringList sorted = names;
    sorted.sort();
    EXPECT_EQ(registered, sorted);
    d.registry.add("captionClose", [this](int) { t.ops.push_back("Close"); });
    EXPECT_FALSE(d.dispatch("captionClose", 0));
    EXPECT_TRUE(d.registry.run("captionClose"));
    EXPECT_EQ(t.ops.back(), "Close");
}

TEST_F(SkinCommandsTest, EveryCommandIsDroppedWhileBusy) {
    t.busy.setBusy(true);
    for (const QString& name : skinCommandNames())
        EXPECT_FALSE(d.dispatch(name, 1)) << name.toStdString();
    EXPECT_TRUE(t.ops.empty());
    EXPECT_TRUE(t.commands.empty()); // "btnFormat" included
    EXPECT_TRUE(t.pageCalls.empty());
    EXPECT_EQ(t.engine.volume, -1);
    t.busy.setBusy(false);
    EXPECT_TRUE(d.dispatch("btnFormat", 0));
    EXPECT_EQ(t.commands, (std::vector<std::pair<QString, int>>{{"btnFormat", 0}}));
}

TEST_F(SkinCommandsTest, VolumeIsScaledToSixteenBits) {
    d.dispatch("btnVolumn", 100);
    EXPECT_EQ(t.engine.volume, 65535);
    d.dispatch("btnVolumn", 50);
    EXPECT_EQ(t.engine.volume, 32767);
    EXPECT_EQ(t.viewer.volume, 50);
    d.dispatch("btnVolumn", 0);
    EXPECT_EQ(t.engine.volume, 0);
    d.dispatch("btnVolumn", 250); // outside the slider: held at full, never wrapped
    EXPECT_EQ(t.engine.volume, 65535);
}

TEST_F(SkinCommandsTest, BrightnessStepGivesTheLevelOnEveryChannel) {
    const std::pair<int, int> steps[] = {{20, 255}, {0, -255}, {10, 0}, {13, 76}, {7, -76}};
    for (const auto& [step, level] : steps) {
        t.engine.brightness.clear();
        d.dispatch(step % 2 ? "btnControlUp1" : "btnControlDown1", step);
        EXPECT_EQ(t.viewer.brightnessStep, step);
        ASSERT_EQ(t.engine.brightness.size(), 4u);
        for (int ch = 0; ch < 4; ++ch)
            EXPECT_EQ(t.engine.brightness[ch], std::make_pair(ch, level)) << step;
    }
}

TEST_F(SkinCommandsTest, RateIsAppliedOnlyToARunningOrPausedEngine) {
    d.dispatch("btnSpeedUp", 2);
    EXPECT_EQ(t.viewer.speedIndex, 2);
    EXPECT_EQ(t.engine.rate, 0.0f); // no engine: stored only
    t.engine.state = kStatePaused;
    d.dispatch("btnSpeedUp", 4);
    EXPECT_FLOAT_EQ(t.engine.rate, 4.0f);
    t.engine.state = kStateRunning;
    d.dispatch("btnSpeedDown", 1);
    EXPECT_FLOAT_EQ(t.engine.rate, 2.0f);
    d.dispatch("btnSpeedDown", 5); // outside the table: ignored
    d.dispatch("btnSpeedDown", -1);
    EXPECT_EQ(t.viewer.speedIndex, 1);
    EXPECT_FLOAT_EQ(t.engine.rate, 2.0f);
}

TEST_F(SkinCommandsTest, LoopCoversTheRecordingLessASixtieth) {
    t.engine.state = kStatePaused;
    t.engine.duration = 60000;
    d.dispatch("btnLoop", 0);
    EXPECT_TRUE(t.viewer.loopActive);
    EXPECT_EQ(t.viewer.loopStart, 0);
    EXPECT_EQ(t.viewer.loopEnd, 59000);
    ASSERT_EQ(t.pageCalls.size(), 1u);
    EXPECT_EQ(t.pageCalls[0], std::make_pair(QString("setLoopRange"), QString("59000")));
    d.dispatch("btnLoopStart", 1200);
    d.dispatch("btnLoopEnd", 20000);
    EXPECT_EQ(t.viewer.loopStart, 1200);
    EXPECT_EQ(t.viewer.loopEnd, 20000);
    d.dispatch("btnLoopClose", 0);
    EXPECT_FALSE(t.viewer.loopActive);
}

TEST_F(SkinCommandsTest, LoopWithNothingOpenIsNoLoop) {
    // Left set, it would pin the next recording at 0 (the clock seeking back on every tick).
    t.engine.state = kStateNoEngine;
    d.dispatch("btnLoop", 0);
    EXPECT_FALSE(t.viewer.loopActive);
    EXPECT_TRUE(t.pageCalls.empty());
}

TEST_F(SkinCommandsTest, KindTabFiveIsTheMapCommand) {
    FakeTarget viaMap;
    Table dm(viaMap);
    dm.dispatch("btnMap", 0);
    d.dispatch("btnFileFolder", 5);
    EXPECT_TRUE(t.viewer.mapShown);
    EXPECT_EQ(t.viewer.mapShown, viaMap.viewer.mapShown);
    EXPECT_EQ(t.kind, viaMap.kind);
    EXPECT_EQ(t.mapPanel, viaMap.mapPanel);
    EXPECT_EQ(t.ops, viaMap.ops);

    d.dispatch("btnFileFolder", 3);
    EXPECT_FALSE(t.viewer.mapShown);
    EXPECT_EQ(t.mapPanel, 0);
    EXPECT_EQ(t.kind, 3);
    d.dispatch("btnFileFolder", 9); // no such tab: nothing changes
    d.dispatch("btnFileFolder", 0);
    EXPECT_EQ(t.kind, 3);
}

TEST_F(SkinCommandsTest, OneSecondBackPausesAndSeeksThroughTheWindow) {
    t.engine.state = kStatePaused;
    t.engine.position = 800;
    d.dispatch("btnSpeedFrameDown", 0);
    EXPECT_EQ(t.seekMessage, 800); // not more than a second: stays
    t.engine.state = kStateRunning;
    t.engine.position = 5000;
    d.dispatch("btnSpeedFrameDown", 0);
    EXPECT_EQ(t.engine.state, kStatePaused);
    EXPECT_EQ(t.pageCalls.back(), std::make_pair(QString("setPlay"), QString("0")));
    EXPECT_EQ(t.seekMessage, 4000);
    t.seekMessage = -1;
    t.engine.state = kStateStopped;
    d.dispatch("btnSpeedFrameDown", 0);
    EXPECT_EQ(t.seekMessage, -1);
}

TEST_F(SkinCommandsTest, FrameForwardStepsOnlyWhenPaused) {
    t.engine.state = kStateStopped;
    d.dispatch("btnSpeedFrameUp", 0);
    EXPECT_EQ(t.engine.steps, 0);
    t.engine.state = kStateRunning;
    d.dispatch("btnSpeedFrameUp", 0);
    EXPECT_EQ(t.engine.state, kStatePaused);
    EXPECT_EQ(t.engine.steps, 1);
    EXPECT_EQ(t.pageCalls.back().first, QString("setPlay"));
}

TEST_F(SkinCommandsTest, ViewOptionsToggle) {
    d.dispatch("btnMirror", 0);
    EXPECT_EQ(t.viewer.viewOptions, 3u | kViewMirror);
    EXPECT_EQ(t.engine.viewOptions, uint32_t(kViewMirror));
    d.dispatch("btnFlip", 0);
    EXPECT_EQ(t.engine.viewOptions, uint32_t(kViewMirror | kViewFlip));
    d.dispatch("btnMirror", 0);
    EXPECT_EQ(t.engine.viewOptions, uint32_t(kViewFlip));
    // "Swap screens" cycles the main channel over the open recording's channels (three without
    // one); "Screen layout" and "Grid view" choose the arrangement.
    int seen[4];
    for (int& s : seen) {
        d.dispatch("btnChange", 0);
        s = t.viewer.mainScreen;
    }
    EXPECT_EQ(std::vector<int>(seen, seen + 4), (std::vector<int>{1, 2, 0, 1}));
    d.dispatch("btnTripple", 0);
    EXPECT_TRUE(t.viewer.mainLarge);
    d.dispatch("btnCollect", 0);
    EXPECT_FALSE(t.viewer.mainLarge);
    EXPECT_EQ(std::count(t.ops.begin(), t.ops.end(), "UpdateChannelControls"), 6);
    t.engine.channels = 2; // a two-channel recording: the two swap
    d.dispatch("btnChange", 0);
    EXPECT_EQ(t.viewer.mainScreen, 0);
    d.dispatch("btnChange", 0);
    EXPECT_EQ(t.viewer.mainScreen, 1);
}

TEST_F(SkinCommandsTest, NavigationAndPosition) {
    d.dispatch("btnHome", 0);
    d.dispatch("btnEnd", 0);
    d.dispatch("btnPrev", 0);
    d.dispatch("btnNext", 0);
    EXPECT_EQ(t.ops, (std::vector<std::string>{"OpenPrevious", "OpenNext", "ClearMapPath", "StepBack",
                                               "ClearMapPath", "StepForward"}));
    d.dispatch("btnPosition", 12345);
    EXPECT_EQ(t.seekMessage, 12345); // the player seeks (engine and session together)
    d.dispatch("btnFileSelect", 7);
    EXPECT_EQ(t.openedRow, 7);
    d.dispatch("btnFileSelect", -1);
    EXPECT_EQ(t.openedRow, -1);
}

TEST_F(SkinCommandsTest, WorkOfOtherWindowsGoesToTheirCommands) {
    // The page's table leaves these names to the windows that do the work; the page's value
    // reaches them.
    Commands own;
    installSkinCommands(own, t);
    for (const char* name : kOtherWindows) {
        EXPECT_FALSE(own.contains(name)) << name;
        t.commands.clear();
        d.dispatch(name, 0);
        ASSERT_EQ(t.commands.size(), 1u) << name;
        EXPECT_EQ(t.commands[0].first, QString(name)) << name;
    }
    t.commands.clear();
    d.dispatch("btnChkAll", 1);
    d.dispatch("btnChkAll", 0);
    d.dispatch("btnChkOn", 4);
    d.dispatch("btnChkOff", 5);
    EXPECT_EQ(t.commands, (std::vector<std::pair<QString, int>>{
                              {"btnChkAll", 1}, {"btnChkAll", 0}, {"btnChkOn", 4}, {"btnChkOff", 5}}));
}

TEST_F(SkinCommandsTest, WindowsOfThisPart) {
    d.dispatch("btnFileOpen", 0);
    d.dispatch("btnInfo", 0);
    EXPECT_EQ(t.ops, (std::vector<std::string>{"ChooseMovieFile", "ShowMovieInfo"}));
    d.dispatch("btnHomepage", 0);
    EXPECT_EQ(t.url, QString("http://www.morvent.com"));
    t.viewer.homepage = "example.org/car";
    d.dispatch("btnHomepage", 0);
    EXPECT_EQ(t.url, QString("http://example.org/car"));
    d.dispatch("btnUnit", 2);
    EXPECT_EQ(t.speedUnit, 2);
    EXPECT_EQ(ReadSetting("speedunit"), "2");
}

TEST_F(SkinCommandsTest, PageValuesOutsideTheirControlsAreHeldOrIgnored) {
    // Brightness is held to the meter's 21 steps, so the level never overflows.
    d.dispatch("btnControlUp1", 2147483647);
    EXPECT_EQ(t.viewer.brightnessStep, 20);
    EXPECT_EQ(t.engine.brightness.back(), std::make_pair(3, 255));
    d.dispatch("btnControlDown1", -2147483647 - 1);
    EXPECT_EQ(t.viewer.brightnessStep, 0);
    EXPECT_EQ(t.engine.brightness.back(), std::make_pair(3, -255));

    // An unknown unit is neither applied nor stored.
    d.dispatch("btnUnit", 3);
    d.dispatch("btnUnit", 0);
    d.dispatch("btnUnit", 7);
    EXPECT_EQ(t.speedUnit, 3);
    EXPECT_EQ(ReadSetting("speedunit"), "3");

    d.dispatch("btnLoopStart", -500);
    d.dispatch("btnLoopEnd", -1);
    EXPECT_EQ(t.viewer.loopStart, 0);
    EXPECT_EQ(t.viewer.loopEnd, 0);
}
