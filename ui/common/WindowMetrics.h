// Sizes of the main window's frame that windows placed beside it (the zoom window) need too.
#pragma once

constexpr int kPlayerBarHeight = 98; // the main page (the player bar) and its frame, at the bottom
constexpr int kTitleHeight = 33;     // the draggable title band
