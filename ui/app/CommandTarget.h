// What the skin command dispatcher drives: the main window's shared state, its engine, its page
// and its operations. CHvViewerDlg implements it; tests implement it to watch the dispatcher.
#pragma once

#include "ui/playback/PlaybackControl.h"
#include "ui/app/ViewerState.h"

#include <QString>

class CommandTarget {
public:
    virtual ~CommandTarget() = default;

    virtual ViewerState& State() = 0;
    virtual PlaybackControl& Playback() = 0;
    // True while a recording is being opened (the busy window is up): commands are dropped.
    virtual bool IsBusy() const = 0;
    // callInternal(functionName, value) on the main page; nothing before the page has loaded.
    virtual void CallInternal(const QString& functionName, const QString& value) = 0;

    // Playback operations.
    virtual void PlayPause() = 0;
    virtual void OpenPrevious() = 0;
    virtual void OpenNext() = 0;
    virtual void StepBack() = 0;
    virtual void StepForward() = 0;
    virtual void ReturnToIdle() = 0;
    virtual void OnSeek(int positionMs) = 0; // message 0x413
    virtual void OnOpenRow(int row) = 0;     // message 0x414 and "btnFileSelect"
    virtual void UpdateChannelControls() = 0;
    virtual void ClearMapPath() = 0;

    // Map display and speed unit (panels).
    virtual void ShowMapPanel(bool show) = 0; // only acts with a 3-channel recording, docked map
    virtual void SetSpeedUnit(int unit) = 0;  // speed panel unit, scale and redraw
    virtual void KindFilterChanged() = 0;     // the kind filter was set by a command

    // Work of other windows: card choice, list checks, tools. Returns false when this build has
    // nothing for the command (it is then only logged). Ids from CommandIds.h.
    virtual bool RunCommand(int commandId, int value) = 0;

    // Windows of this Part.
    virtual void ChooseMovieFile() = 0; // "btnFileOpen"
    virtual void ShowMovieInfo() = 0;   // "btnInfo"
    virtual void OpenUrl(const QString& url) = 0;
};
