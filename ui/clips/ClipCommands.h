// The clip command: "btnClip" from the player bar's button opens the evidence clip window for the
// recording the player has open, else for the first checked recording of the list. The window
// starts from the player's A-B points, position and event marks when it is the open recording.
#pragma once

class Commands;
struct AppContext;

void installClipCommands(Commands& commands, AppContext& context);
