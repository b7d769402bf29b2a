// The state the main window shares with the dispatcher, the playback clock and the lists:
// position, rate, brightness, volume, view options, loop range, selection and kind filter.
#pragma once

#include <QString>

#include <array>
#include <cstdint>

// View option bits toggled by the skin commands.
enum ViewOption : uint32_t {
    kViewFlip = 0x04,
    kViewMirror = 0x08,
    kViewCollect = 0x10, // "btnCollect"
    kViewChange = 0x20,  // "btnChange"
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
    int threeStateView = 0;   // 0..2
    bool loopActive = false;
    int loopStart = 0; // ms
    int loopEnd = 0;   // ms
    bool mapShown = false;
    bool maximised = false;
    int selectedIndex = -1;          // row of the open or chosen recording; -1 none
    int kindFilter = 1;              // RecordingKind as a filter: 1 all, 5 map
    std::array<int, 5> listScroll{}; // first visible list row per kind filter
    QString programFolder;           // without the final separator
    QString homepage;                // home-page address carried by the open recording, or empty
};
