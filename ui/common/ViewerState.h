// The state the main window shares with its commands, the features and the lists: the playback values
// (PlaybackState, which the clock and the opener take on their own) plus the window's
// arrangement, maximised flag and folders. The kind filter and the saved scroll rows are the
// list's (ListController).
#pragma once

#include "ui/common/MovieInfo.h"
#include "ui/common/PlaybackState.h"

#include <QString>


struct ViewerState : PlaybackState {
    int mainScreen = 0;     // "btnChange": the channel in the main cell (kept for the run)
    bool mainLarge = false; // "btnTripple" large main channel, "btnCollect" equal grid
    bool mapShown = false;
    bool maximised = false;
    QString programFolder; // without the final separator
    QString homepage;      // home-page address carried by the open recording, or empty
};
