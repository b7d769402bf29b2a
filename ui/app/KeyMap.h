// The main window's keys: which window command a key press runs. Every key press that reaches
// the main window is swallowed, mapped or not. Used by MainWindow's key filter.
#pragma once

#include <Qt>

// Window command for `key` (a Qt::Key) or 0 for none. Space maps to kCmdPlayPause; the window
// turns it into the card choice while no card or folder has been chosen.
int keyCommand(int key, Qt::KeyboardModifiers modifiers);
