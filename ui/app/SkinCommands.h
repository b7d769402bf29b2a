// The main skin page's own commands: playback, view, list display, loop and the windows of the
// main window (file choice, information, home page), added to the program's command registry
// under the page's command names. The commands of other windows (card, tools, data out, the list's
// checks and card choice, docking) are added by their owners under the page's names as well.
// The page reaches every one through runPageCommand, which drops them while the window is busy.
#pragma once

#include "ui/common/ViewerState.h"
#include "ui/playback/PlayerControl.h"

#include <QString>
#include <QStringList>

class BusyFlag;
class Commands;

// What the skin commands drive. MainWindow implements it; tests implement it to watch the commands.
class SkinCommandTarget {
public:
    virtual ~SkinCommandTarget() = default;

    virtual ViewerState& state() = 0;
    // The player: its operations and its engine's state, position and settings.
    virtual PlayerControl& player() = 0;
    // callInternal(functionName, value) on the main page; nothing before the page has loaded.
    virtual void callInternal(const QString& functionName, const QString& value) = 0;

    // The screens' cells follow the main channel and the arrangement.
    virtual void updateChannelControls() = 0;
    virtual void clearMapPath() = 0;
    virtual void showMapPanel(bool show) = 0; // only acts with a 3-channel recording, docked map
    virtual void setSpeedUnit(int unit) = 0;  // speed panel unit, scale and redraw
    virtual void showKind(int kind) = 0;      // the list shows kind 1..4 (the list owns the filter)

    virtual void chooseMovieFile() = 0; // "btnFileOpen"
    virtual void showMovieInfo() = 0;   // "btnInfo"
    virtual void openUrl(const QString& url) = 0;
};

constexpr const char* kMakerSite = "www.morvent.com";

// Every command name the main skin page sends (53, case-sensitive), whoever adds its handler.
const QStringList& skinCommandNames();

// Adds the skin page's own commands (the names of skinCommandNames() that no other window owns).
void installSkinCommands(Commands& commands, SkinCommandTarget& target);

// A command from the page: runs `name` when it is one of the page's names and the window is not
// busy (an opening or the report window is under way: dropped, not queued). False when dropped,
// unknown or without a handler.
bool runPageCommand(const Commands& commands, const BusyFlag& busy, const QString& name, int value);
