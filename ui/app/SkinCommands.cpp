#include "ui/app/SkinCommands.h"

#include "core/config/Settings.h"
#include "ui/common/Commands.h"
#include "ui/playback/BusyFlag.h"
#include "ui/playback/PlaybackValues.h"

#include <QDebug>

#include <algorithm>

using namespace PlaybackValues;

namespace {

using Target = SkinCommandTarget;

// --- Playback ---

void playPause(Target& t, int) {
    t.player().playPause();
}

void setViewOption(Target& t, uint32_t option) {
    ViewerState& s = t.state();
    s.viewOptions ^= option;
    t.player().setViewOptions(s.viewOptions & (kViewFlip | kViewMirror));
}

void volume(Target& t, int value) {
    // The page's slider runs 0..100; anything else would wrap the 16-bit level.
    const int percent = std::clamp(value, 0, kVolumePercentMax);
    t.state().volume = percent;
    t.player().setVolume(volumeLevel(percent));
}

void speed(Target& t, int index) {
    if (!isRateIndex(index)) {
        qWarning() << "speed index out of range:" << index;
        return;
    }
    t.state().speedIndex = index;
    const PlaybackEngine::State state = t.player().state();
    if (state == PlaybackEngine::State::Running || state == PlaybackEngine::State::Paused)
        t.player().setRate(rateForIndex(index));
}

void brightness(Target& t, int step) {
    // The page's meter has 21 steps; a value from elsewhere is held to it (the level would overflow).
    step = std::clamp(step, 0, kBrightnessStepMax);
    t.state().brightnessStep = step;
    const int level = brightnessLevel(step);
    for (int channel = 0; channel < 4; ++channel)
        t.player().setBrightness(channel, level);
}

void position(Target& t, int ms) {
    t.clearMapPath();
    t.player().seek(std::max(ms, 0));
}

// A running engine pauses first and the page's play button follows; true when it is paused.
bool pauseForFrameStep(Target& t) {
    PlayerControl& engine = t.player();
    if (engine.state() == PlaybackEngine::State::Running) {
        engine.pause();
        t.callInternal("setPlay", "0");
    }
    return engine.state() == PlaybackEngine::State::Paused;
}

void frameDown(Target& t, int) {
    if (!pauseForFrameStep(t))
        return;
    const auto pos = static_cast<int64_t>(t.player().positionMs());
    t.player().seek(pos > 1000 ? pos - 1000 : pos);
}

void frameUp(Target& t, int) {
    if (pauseForFrameStep(t))
        t.player().stepFrame();
}

// --- Screens ---

void change(Target& t, int) {
    // The next channel of the open recording moves into the main cell (all three without one).
    ViewerState& s = t.state();
    const int channels = t.player().channelCount();
    const int shown = channels > 0 ? std::min(channels, 3) : 3;
    s.mainScreen = (s.mainScreen % shown + 1) % shown;
    t.updateChannelControls();
}

void arrange(Target& t, bool mainLarge) {
    t.state().mainLarge = mainLarge; // the main channel large, or every channel in an equal cell
    t.updateChannelControls();
}

// --- List display and map ---

void map(Target& t, int) {
    t.state().mapShown = true;
    t.showMapPanel(true);
}

void fileFolder(Target& t, int tab) {
    if (tab == 5) {
        map(t, 0);
        return;
    }
    if (tab < 1 || tab > 4) {
        qWarning() << "kind tab out of range:" << tab;
        return;
    }
    t.state().mapShown = false;
    t.showMapPanel(false);
    t.showKind(tab);
}

void unit(Target& t, int unit) {
    // Only a known unit is stored: the stored value is read back at every start.
    if (unit < 1 || unit > 3) {
        qWarning() << "speed unit out of range:" << unit;
        return;
    }
    t.setSpeedUnit(unit);
    WriteSetting("speedunit", std::to_string(unit));
}

// --- Loop ---

void loop(Target& t, int) {
    const PlaybackEngine::State state = t.player().state();
    if (state != PlaybackEngine::State::Running && state != PlaybackEngine::State::Paused && state != PlaybackEngine::State::Stopped)
        return; // nothing open: no loop, and none left for the next recording
    ViewerState& s = t.state();
    s.loopActive = true;
    const int range = trackRange(t.player().durationMs());
    t.callInternal("setLoopRange", QString::number(range));
    s.loopStart = 0;
    s.loopEnd = range;
}

void homepage(Target& t, int) {
    const QString& address = t.state().homepage;
    t.openUrl(QStringLiteral("http://") + (address.isEmpty() ? QString::fromLatin1(kMakerSite) : address));
}

struct Entry {
    const char* name;
    void (*action)(Target&, int value);
};

// The page's own commands. Order matters only for readers; names are unique.
constexpr Entry kEntries[] = {
    {"btnPlay", playPause},
    {"btnPause", playPause},
    {"btnFileOpen", [](Target& t, int) { t.chooseMovieFile(); }},
    {"btnMirror", [](Target& t, int) { setViewOption(t, kViewMirror); }},
    {"btnFlip", [](Target& t, int) { setViewOption(t, kViewFlip); }},
    {"btnVolumn", volume},
    {"btnSpeedUp", speed},
    {"btnSpeedDown", speed},
    {"btnControlDown1", brightness},
    {"btnControlUp1", brightness},
    {"btnChange", change},
    {"btnCollect", [](Target& t, int) { arrange(t, false); }},
    {"btnTripple", [](Target& t, int) { arrange(t, true); }},
    {"btnHome", [](Target& t, int) { t.player().openPrevious(); }},
    {"btnEnd", [](Target& t, int) { t.player().openNext(); }},
    {"btnPrev",
     [](Target& t, int) {
         t.clearMapPath();
         t.player().stepBack();
     }},
    {"btnNext",
     [](Target& t, int) {
         t.clearMapPath();
         t.player().stepForward();
     }},
    {"btnPosition", position},
    {"btnSpeedFrameDown", frameDown},
    {"btnSpeedFrameUp", frameUp},
    {"btnFileSelect", [](Target& t, int row) { t.player().openRow(row); }},
    {"btnFileFolder", fileFolder},
    {"btnInfo", [](Target& t, int) { t.showMovieInfo(); }},
    {"btnUnit", unit},
    {"btnMap", map},
    {"btnLoop", loop},
    {"btnLoopClose", [](Target& t, int) { t.state().loopActive = false; }},
    {"btnLoopStart", [](Target& t, int ms) { t.state().loopStart = std::max(ms, 0); }},
    {"btnLoopEnd", [](Target& t, int ms) { t.state().loopEnd = std::max(ms, 0); }},
    {"btnHomepage", homepage},
};

} // namespace

const QStringList& skinCommandNames() {
    // The page sends these and no others; names are unique.
    static const QStringList kNames = {
        "btnPlay",         "btnPause",        "btnOpen",
        "btnFileOpen",     "btnMirror",       "btnFlip",
        "btnVolumn",       "btnSpeedUp",      "btnSpeedDown",
        "btnControlDown1", "btnControlUp1",   "btnGSensor",
        "btnChange",       "btnCollect",      "btnTripple",
        "btnSave",         "btnZoom",         "btnMerge",
        "btnFormat",       "btnHome",         "btnEnd",
        "btnPrev",         "btnNext",         "btnPicture",
        "btnPrint",        "btnPosition",     "btnSpeedFrameDown",
        "btnSpeedFrameUp", "btnSetting",      "btnConvert",
        "btnDownload",     "btnFileSelect",   "btnFileFolder",
        "btnChkClear",     "btnChkAll",       "btnChkOn",
        "btnChkOff",       "btnMapsetting",   "btnInfo",
        "btnUnit",         "btnMap",          "btnLoop",
        "btnLoopClose",    "btnLoopStart",    "btnLoopEnd",
        "btnSearch",       "btnLog",          "btnGpx",
        "btnDeleteFile",   "btnQuickSetting", "btnHomepage",
        "btnTrips",        "btnClip",
    };
    return kNames;
}

void installSkinCommands(Commands& commands, SkinCommandTarget& target) {
    for (const Entry& e : kEntries)
        commands.add(QString::fromLatin1(e.name),
                     [&target, action = e.action](int value) { action(target, value); });
}

bool runPageCommand(const Commands& commands, const BusyFlag& busy, const QString& name, int value) {
    if (busy.isBusy())
        return false; // a recording is being opened: dropped, not queued
    if (!skinCommandNames().contains(name))
        return false; // the window's own commands (caption, keys, docking) are not the page's
    return commands.run(name, value);
}
