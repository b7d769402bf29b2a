// The choices of an evidence clip the user makes once and finds again next time: the layout, the
// height, which overlay items are drawn and where, and the seconds around an event mark. Stored in
// the program's settings; read by the clip window and the clip command of quillent-tool.
#pragma once

#include "core/clips/ClipLayout.h"

#include <optional>
#include <string>
#include <string_view>

enum ClipOverlayItem : unsigned {
    kOverlayTime = 1,     // date and time in the camera's time zone
    kOverlaySpeed = 2,    // speed in the unit in force
    kOverlayPosition = 4, // coordinates and heading
    kOverlayGsensor = 8,  // the G-sensor curve of the last seconds
    kOverlayMap = 16,     // a small map of the route with the position
};
inline constexpr unsigned kOverlayDefault = kOverlayTime | kOverlaySpeed | kOverlayPosition | kOverlayGsensor;

enum class ClipOverlayPlace { Bottom, Top }; // the band the overlay is drawn in

struct ClipOptions {
    ClipLayoutKind layout = ClipLayoutKind::Player;
    int height = 720; // 720 or 1080
    unsigned overlay = kOverlayDefault;
    ClipOverlayPlace place = ClipOverlayPlace::Bottom;
    int markSeconds = 10; // before and after an event mark

    // The stored choices; what is missing or unreadable keeps its default.
    static ClipOptions load();
    void save() const;
};

// "time,speed,position,gsensor,map" (any of them, any order; "none" for no overlay).
std::optional<unsigned> ParseOverlayItems(std::string_view text);
std::string OverlayItemsText(unsigned items);
