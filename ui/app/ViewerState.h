// The state the main window shares with the dispatcher, the playback clock and the lists:
// position, rate, brightness, volume, view options, loop range and selection. The kind filter and
// the saved scroll rows are the list's (ListController).
#pragma once

#include <QString>

#include <array>
#include <cstdint>

// View option bits toggled by the skin commands.
enum ViewOption : uint32_t {
    kViewFlip = 0x04,
    kViewMirror = 0x08,
    kViewOption40 = 0x40,
};

// The five information texts of the open recording, shown by the information dialog.
struct MovieInfo {
    QString company;
    QString vehicle;
    QString driver;
    QString firmwareVersion;
    QString serialNumber;
};

struct ViewerState {
    int position = 0;         // seconds, last shown on the time line
    int speedIndex = 0;       // rate table index 0..4
    int brightnessStep = 10;  // 0..20, 10 neutral
    int volume = 0;           // percent, last set from the page
    uint32_t viewOptions = 3; // ViewOption bits
    int mainScreen = 0;       // "btnChange": the channel in the main cell (kept for the run)
    bool mainLarge = false;   // "btnTripple" large main channel, "btnCollect" equal grid
    bool loopActive = false;
    int loopStart = 0; // ms
    int loopEnd = 0;   // ms
    bool mapShown = false;
    bool maximised = false;
    int selectedIndex = -1; // row of the open or chosen recording; -1 none
    QString programFolder;  // without the final separator
    QString homepage;       // home-page address carried by the open recording, or empty
};
