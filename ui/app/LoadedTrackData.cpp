#include "ui/app/LoadedTrackData.h"

std::vector<EventMark> ComputeEventMarks(const std::vector<char>& gpsEvents) {
    std::vector<EventMark> marks;
    const size_t n = gpsEvents.size();
    for (size_t i = 0; i < n; ++i) {
        const char code = gpsEvents[i];
        if (code == '0')
            continue;
        // Single precision, then truncated: the page places marks on these exact units.
        const float x = static_cast<float>((static_cast<double>(i) + 1.0) * 260.0 / static_cast<double>(n));
        marks.push_back({static_cast<int>(x), code});
    }
    return marks;
}
