// What a feature of the program receives instead of the main window: the playback session every
// view follows, the player (the only user of the playback engine), the recording list, the busy
// flag, the shared playback and window values, the command registry and the widget its windows
// belong to. The application builds one and hands it to each feature's install function.
#pragma once

class BusyFlag;
class Commands;
class ListController;
class Player;
class PlaybackSession;
class QWidget;
struct ViewerState;

struct AppContext {
    PlaybackSession& session;
    Player& player;
    ListController& recordings;
    BusyFlag& busy;
    ViewerState& state;
    Commands& commands;
    QWidget* parent; // owner of the feature's windows and message boxes
};
