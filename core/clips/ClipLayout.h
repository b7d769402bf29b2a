// How the channels of a clip share its picture: as the player shows them, one channel, side by
// side, the 2x2 grid or picture-in-picture, at 720 or 1080 lines. Pure geometry; the clip encoder
// places each channel's picture where this says.
#pragma once

#include <QRect>
#include <QSize>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

enum class ClipLayoutKind {
    Player,           // the player's cells: an equal grid, or the main channel large over the others
    One,              // the first chosen channel fills the picture
    SideBySide,       // the chosen channels in one row
    Grid,             // 2x2, in the order chosen
    PictureInPicture, // the first channel fills the picture, the others small in its lower right corner
};

struct ClipCell {
    int channel = 0; // 0-based video channel of the recording
    QRect rect;      // in the clip's picture
    int layer = 0;   // higher layers are drawn over lower ones
};

struct ClipGeometry {
    QSize canvas;
    std::vector<ClipCell> cells;
};

// 1280x720 for 720, 1920x1080 for 1080; other heights keep 16:9 with even sides.
QSize ClipCanvasSize(int height);

// `channels` are 0-based, the main one first; `playerMainLarge` is the player's "large main
// channel" arrangement (Player only). Cells keep the cameras' 16:9 and are centred in their places.
ClipGeometry LayoutClip(ClipLayoutKind kind, const std::vector<int>& channels, int height,
                        bool playerMainLarge = false);

// "player", "one", "side", "grid", "pip".
const char* ClipLayoutName(ClipLayoutKind kind);
std::optional<ClipLayoutKind> ParseClipLayout(std::string_view name);
