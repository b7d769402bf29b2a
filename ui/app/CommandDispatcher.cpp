#include "ui/app/CommandDispatcher.h"

#include "core/config/Settings.h"
#include "ui/app/CommandIds.h"
#include "ui/app/CommandTarget.h"
#include "ui/playback/BusyFlag.h"
#include "ui/playback/PlaybackValues.h"

#include <QDebug>

#include <algorithm>

using namespace PlaybackValues;

struct CommandDispatcher::Entry {
    const char* name;
    void (CommandDispatcher::*action)(int); // null: the window command below, with value 0
    int command = 0;
};

const CommandDispatcher::Entry* CommandDispatcher::table(int& count) {
    // Order matters only for readers; names are unique.
    static const Entry kTable[] = {
        {"btnPlay", &CommandDispatcher::playPause},
        {"btnPause", &CommandDispatcher::playPause},
        {"btnOpen", nullptr, kCmdOpenSource},
        {"btnFileOpen", &CommandDispatcher::fileOpen},
        {"btnMirror", &CommandDispatcher::mirror},
        {"btnFlip", &CommandDispatcher::flip},
        {"btnVolumn", &CommandDispatcher::volume},
        {"btnSpeedUp", &CommandDispatcher::speed},
        {"btnSpeedDown", &CommandDispatcher::speed},
        {"btnControlDown1", &CommandDispatcher::brightness},
        {"btnControlUp1", &CommandDispatcher::brightness},
        {"btnGSensor", nullptr, kCmdGsensorWindows},
        {"btnChange", &CommandDispatcher::change},
        {"btnCollect", &CommandDispatcher::collect},
        {"btnTripple", &CommandDispatcher::tripple},
        {"btnSave", nullptr, kCmdCopy},
        {"btnZoom", nullptr, kCmdZoom},
        {"btnMerge", nullptr, kCmdMerge},
        {"btnFormat", nullptr, kCmdFormat},
        {"btnHome", &CommandDispatcher::home},
        {"btnEnd", &CommandDispatcher::end},
        {"btnPrev", &CommandDispatcher::prev},
        {"btnNext", &CommandDispatcher::next},
        {"btnPicture", nullptr, kCmdSnapshot},
        {"btnPrint", nullptr, kCmdPrint},
        {"btnPosition", &CommandDispatcher::position},
        {"btnSpeedFrameDown", &CommandDispatcher::frameDown},
        {"btnSpeedFrameUp", &CommandDispatcher::frameUp},
        {"btnSetting", nullptr, kCmdSetup},
        {"btnConvert", nullptr, kCmdConvert},
        {"btnDownload", nullptr, kCmdDownload},
        {"btnFileSelect", &CommandDispatcher::fileSelect},
        {"btnFileFolder", &CommandDispatcher::fileFolder},
        {"btnChkClear", nullptr, kCmdCheckClear},
        {"btnChkAll", &CommandDispatcher::checkAll},
        {"btnChkOn", &CommandDispatcher::checkOn},
        {"btnChkOff", &CommandDispatcher::checkOff},
        {"btnMapsetting", nullptr, kCmdMapSetting},
        {"btnInfo", &CommandDispatcher::info},
        {"btnUnit", &CommandDispatcher::unit},
        {"btnMap", &CommandDispatcher::map},
        {"btnLoop", &CommandDispatcher::loop},
        {"btnLoopClose", &CommandDispatcher::loopClose},
        {"btnLoopStart", &CommandDispatcher::loopStart},
        {"btnLoopEnd", &CommandDispatcher::loopEnd},
        {"btnSearch", nullptr, kCmdSearch},
        {"btnLog", nullptr, kCmdEventLog},
        {"btnGpx", nullptr, kCmdGpx},
        {"btnDeleteFile", nullptr, kCmdDeleteFiles},
        {"btnQuickSetting", nullptr, kCmdQuickSettings},
        {"btnHomepage", &CommandDispatcher::homepage},
    };
    count = static_cast<int>(std::size(kTable));
    return kTable;
}

QStringList CommandDispatcher::commandNames() {
    int count = 0;
    const Entry* entries = table(count);
    QStringList names;
    for (int i = 0; i < count; ++i)
        names << QString::fromLatin1(entries[i].name);
    return names;
}

bool CommandDispatcher::dispatch(const QString& name, int value) {
    if (m_busy.isBusy())
        return false; // a recording is being opened: dropped, not queued
    int count = 0;
    const Entry* entries = table(count);
    for (int i = 0; i < count; ++i) {
        if (name == QLatin1String(entries[i].name)) {
            if (entries[i].action)
                (this->*entries[i].action)(value);
            else
                m_target.runCommand(entries[i].command, 0);
            return true;
        }
    }
    return false;
}

void CommandDispatcher::playPause(int) {
    m_target.operations().playPause();
}
void CommandDispatcher::fileOpen(int) {
    m_target.chooseMovieFile();
}

void CommandDispatcher::mirror(int) {
    ViewerState& s = m_target.State();
    s.viewOptions ^= kViewMirror;
    m_target.Playback().setViewOptions(s.viewOptions & (kViewFlip | kViewMirror));
}

void CommandDispatcher::flip(int) {
    ViewerState& s = m_target.State();
    s.viewOptions ^= kViewFlip;
    m_target.Playback().setViewOptions(s.viewOptions & (kViewFlip | kViewMirror));
}

void CommandDispatcher::volume(int value) {
    // The page's slider runs 0..100; anything else would wrap the 16-bit level.
    const int percent = std::clamp(value, 0, kVolumePercentMax);
    m_target.State().volume = percent;
    m_target.Playback().setVolume(volumeLevel(percent));
}

void CommandDispatcher::speed(int index) {
    if (!isRateIndex(index)) {
        qWarning() << "speed index out of range:" << index;
        return;
    }
    m_target.State().speedIndex = index;
    const int state = m_target.Playback().getState();
    if (state == kStateRunning || state == kStatePaused)
        m_target.Playback().setRate(rateForIndex(index));
}

void CommandDispatcher::brightness(int step) {
    // The page's meter has 21 steps; a value from elsewhere is held to it (the level would overflow).
    step = std::clamp(step, 0, kBrightnessStepMax);
    m_target.State().brightnessStep = step;
    const int level = brightnessLevel(step);
    for (int channel = 0; channel < 4; ++channel)
        m_target.Playback().setBrightness(channel, level);
}

void CommandDispatcher::change(int) {
    // The next channel of the open recording moves into the main cell (all three without one).
    ViewerState& s = m_target.State();
    const int channels = m_target.Playback().getChannelCount();
    const int shown = channels > 0 ? std::min(channels, 3) : 3;
    s.mainScreen = (s.mainScreen % shown + 1) % shown;
    m_target.updateChannelControls();
}

void CommandDispatcher::collect(int) {
    m_target.State().mainLarge = false; // every channel in an equal cell
    m_target.updateChannelControls();
}

void CommandDispatcher::tripple(int) {
    m_target.State().mainLarge = true; // the main channel large, the others small
    m_target.updateChannelControls();
}

void CommandDispatcher::home(int) {
    m_target.operations().openPrevious();
}
void CommandDispatcher::end(int) {
    m_target.operations().openNext();
}

void CommandDispatcher::prev(int) {
    m_target.clearMapPath();
    m_target.operations().stepBack();
}

void CommandDispatcher::next(int) {
    m_target.clearMapPath();
    m_target.operations().stepForward();
}

void CommandDispatcher::position(int ms) {
    m_target.clearMapPath();
    m_target.Playback().seekTo(std::max(ms, 0));
}

void CommandDispatcher::frameDown(int) {
    PlaybackControl& engine = m_target.Playback();
    if (engine.getState() == kStateRunning) {
        engine.pause();
        m_target.callInternal("setPlay", "0");
    }
    if (engine.getState() != kStatePaused)
        return;
    const auto pos = static_cast<int64_t>(engine.getPositionMs());
    const int64_t target = pos > 1000 ? pos - 1000 : pos;
    m_target.operations().seek(target);
}

void CommandDispatcher::frameUp(int) {
    PlaybackControl& engine = m_target.Playback();
    if (engine.getState() == kStateRunning) {
        engine.pause();
        m_target.callInternal("setPlay", "0");
    }
    if (engine.getState() == kStatePaused)
        engine.stepFrame();
}

void CommandDispatcher::fileSelect(int row) {
    m_target.operations().openRow(row);
}

void CommandDispatcher::fileFolder(int tab) {
    if (tab == 5) {
        map(0);
        return;
    }
    if (tab < 1 || tab > 4) {
        qWarning() << "kind tab out of range:" << tab;
        return;
    }
    m_target.State().mapShown = false;
    m_target.showMapPanel(false);
    m_target.showKind(tab);
}

void CommandDispatcher::checkAll(int value) {
    m_target.runCommand(value == 1 ? kMsgCheckAll : kMsgUncheckAll, 0);
}
void CommandDispatcher::checkOn(int row) {
    m_target.runCommand(kMsgCheckRow, row);
}
void CommandDispatcher::checkOff(int row) {
    m_target.runCommand(kMsgUncheckRow, row);
}
void CommandDispatcher::info(int) {
    m_target.showMovieInfo();
}

void CommandDispatcher::unit(int unit) {
    // Only a known unit is stored: the stored value is read back at every start.
    if (unit < 1 || unit > 3) {
        qWarning() << "speed unit out of range:" << unit;
        return;
    }
    m_target.setSpeedUnit(unit);
    WriteSetting("speedunit", std::to_string(unit));
}

void CommandDispatcher::map(int) {
    m_target.State().mapShown = true;
    m_target.showMapPanel(true);
}

void CommandDispatcher::loop(int) {
    const int state = m_target.Playback().getState();
    if (state != kStateRunning && state != kStatePaused && state != kStateStopped)
        return; // nothing open: no loop, and none left for the next recording
    ViewerState& s = m_target.State();
    s.loopActive = true;
    const int range = trackRange(m_target.Playback().getDurationMs());
    m_target.callInternal("setLoopRange", QString::number(range));
    s.loopStart = 0;
    s.loopEnd = range;
}

void CommandDispatcher::loopClose(int) {
    m_target.State().loopActive = false;
}
void CommandDispatcher::loopStart(int ms) {
    m_target.State().loopStart = std::max(ms, 0);
}
void CommandDispatcher::loopEnd(int ms) {
    m_target.State().loopEnd = std::max(ms, 0);
}
void CommandDispatcher::homepage(int) {
    const QString& address = m_target.State().homepage;
    m_target.openUrl(QStringLiteral("http://") +
                     (address.isEmpty() ? QString::fromLatin1(kMakerSite) : address));
}
