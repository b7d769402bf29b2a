// The values the playback commands set and the player reads: the shown position, rate,
// brightness, volume, view options, the loop range of the open recording and the chosen row.
// The main window's ViewerState extends it with the window's own values.
#pragma once

#include "media/playback/PlaybackEngine.h" // the flip and mirror bits (ViewOption)

#include <cstdint>

struct PlaybackState {
    int position = 0;         // seconds, last shown on the time line
    int speedIndex = 0;       // rate table index 0..4 (PlaybackValues)
    int brightnessStep = 10;  // 0..20, 10 neutral
    int volume = 0;           // percent, last set from the page
    uint32_t viewOptions = 3; // ViewOption bits (kViewFlip, kViewMirror) and the window's own
    bool loopActive = false;  // the loop belongs to the open recording
    int loopStart = 0;        // ms
    int loopEnd = 0;          // ms
    int selectedIndex = -1;   // row of the open or chosen recording; -1 none
};
