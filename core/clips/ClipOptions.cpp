#include "core/clips/ClipOptions.h"

#include "core/config/Settings.h"

#include <cstdlib>

namespace {

constexpr struct {
    unsigned item;
    const char* name;
} kItemNames[] = {{kOverlayTime, "time"},
                  {kOverlaySpeed, "speed"},
                  {kOverlayPosition, "position"},
                  {kOverlayGsensor, "gsensor"},
                  {kOverlayMap, "map"}};

std::optional<int> readNumber(const char* key) {
    const std::string text = ReadSetting(key);
    if (text.empty())
        return std::nullopt;
    char* end = nullptr;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (*end || v < 0 || v > 100000)
        return std::nullopt;
    return int(v);
}

} // namespace

ClipOptions ClipOptions::load() {
    ClipOptions o;
    if (auto layout = ParseClipLayout(ReadSetting("cliplayout")))
        o.layout = *layout;
    if (auto height = readNumber("clipheight"); height && (*height == 720 || *height == 1080))
        o.height = *height;
    if (auto items = ParseOverlayItems(ReadSetting("clipoverlay")))
        o.overlay = *items;
    o.place = ReadSetting("clipoverlayplace") == "top" ? ClipOverlayPlace::Top : ClipOverlayPlace::Bottom;
    if (auto seconds = readNumber("clipseconds"); seconds && *seconds >= 1 && *seconds <= 600)
        o.markSeconds = *seconds;
    return o;
}

void ClipOptions::save() const {
    WriteSetting("cliplayout", ClipLayoutName(layout));
    WriteSetting("clipheight", std::to_string(height));
    WriteSetting("clipoverlay", OverlayItemsText(overlay));
    WriteSetting("clipoverlayplace", place == ClipOverlayPlace::Top ? "top" : "bottom");
    WriteSetting("clipseconds", std::to_string(markSeconds));
}

std::optional<unsigned> ParseOverlayItems(std::string_view text) {
    if (text.empty())
        return std::nullopt;
    if (text == "none")
        return 0u;
    unsigned items = 0;
    while (!text.empty()) {
        const size_t comma = text.find(',');
        const std::string_view name = text.substr(0, comma);
        bool known = false;
        for (const auto& k : kItemNames)
            if (name == k.name) {
                items |= k.item;
                known = true;
            }
        if (!known)
            return std::nullopt;
        if (comma == std::string_view::npos)
            break;
        text.remove_prefix(comma + 1);
    }
    return items;
}

std::string OverlayItemsText(unsigned items) {
    std::string text;
    for (const auto& k : kItemNames)
        if (items & k.item)
            text += (text.empty() ? "" : ",") + std::string(k.name);
    return text.empty() ? "none" : text;
}
