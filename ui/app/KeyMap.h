// The main window's keys: which window command a key press runs. Every key press that reaches
// the main window is swallowed, mapped or not. Used by MainWindow's key filter.
#pragma once

#include <QString>
#include <Qt>

// Name of the window command for `key` (a Qt::Key), or empty for none. Space maps to "playPause";
// the window turns it into the card choice ("btnOpen") while no card or folder has been chosen.
QString keyCommand(int key, Qt::KeyboardModifiers modifiers);
