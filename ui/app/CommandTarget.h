// What the skin command dispatcher drives: the main window's shared state, its engine, its page,
// the playback operations (the clock's) and the window's own work. MainWindow implements it;
// tests implement it to watch the dispatcher.
#pragma once

#include "ui/playback/PlaybackControl.h"
#include "ui/playback/PlaybackOperations.h"
#include "ui/app/ViewerState.h"

#include <QString>

class CommandTarget {
public:
    virtual ~CommandTarget() = default;

    virtual ViewerState& State() = 0;
    virtual PlaybackControl& Playback() = 0;
    // Play/pause, steps, previous/next, seeks and row opens (the playback clock).
    virtual PlaybackOperations& operations() = 0;
    // callInternal(functionName, value) on the main page; nothing before the page has loaded.
    virtual void callInternal(const QString& functionName, const QString& value) = 0;

    // The screens' cells follow the main channel and the arrangement.
    virtual void updateChannelControls() = 0;
    virtual void clearMapPath() = 0;

    // Map display and speed unit (panels).
    virtual void showMapPanel(bool show) = 0; // only acts with a 3-channel recording, docked map
    virtual void setSpeedUnit(int unit) = 0;  // speed panel unit, scale and redraw
    virtual void showKind(int kind) = 0;      // the list shows kind 1..4 (the list owns the filter)

    // Work of other windows: card choice, list checks, tools. Returns false when this build has
    // nothing for the command (it is then only logged). Ids from CommandIds.h.
    virtual bool runCommand(int commandId, int value) = 0;

    // Windows of this Part.
    virtual void chooseMovieFile() = 0; // "btnFileOpen"
    virtual void showMovieInfo() = 0;   // "btnInfo"
    virtual void openUrl(const QString& url) = 0;
};
