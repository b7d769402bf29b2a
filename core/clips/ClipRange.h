// The stretch of video an evidence clip holds: a range on the time line of consecutive recordings
// laid end to end, taken from the player's A-B points, an event mark with seconds around it, or
// times typed in; and the recordings that cover it, with where the clip starts and ends in each.
// Used by the clip command of quillent-tool and the clip window.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// One recording of the time line, in order.
struct ClipSource {
    std::filesystem::path path;
    int64_t durationMs = 0;
    bool cutShort = false; // the file ends inside its data: what followed is lost
};

// The part of one recording that goes into the clip.
struct ClipPiece {
    size_t source = 0; // index into the sources
    std::filesystem::path path;
    int64_t fromMs = 0;       // position in the recording
    int64_t toMs = 0;         // end position in the recording (exclusive)
    int64_t clipOffsetMs = 0; // where the piece starts in the clip
    int64_t durationMs() const { return toMs - fromMs; }
};

struct ClipRange {
    int64_t fromMs = 0; // on the time line of the sources
    int64_t toMs = 0;
    int64_t durationMs() const { return toMs - fromMs; }
};

struct ClipPlan {
    ClipRange range;
    std::vector<ClipPiece> pieces;
    int64_t timelineMs = 0; // the sources' total length
    std::string error;      // why no clip can be made; empty when pieces are set
    std::string damage;     // the range was cut back to a damaged recording's end: which and where
    bool ok() const { return error.empty() && !pieces.empty(); }
    int64_t durationMs() const { return range.durationMs(); }
};

// The shortest clip length: one picture is no clip.
inline constexpr int64_t kMinClipMs = 200;

// Finds the recordings that cover `range`; a range that starts before the first recording, ends
// after the last or is shorter than kMinClipMs is refused with a message naming the time line.
// A range that runs on past the end of a recording that is cut short stops there (`damage` says
// so): what the camera recorded next lies at an unknown distance in time.
ClipPlan PlanClip(const std::vector<ClipSource>& sources, ClipRange range);

// The start of source `index` on the time line (the lengths of those before it).
int64_t SourceStartMs(const std::vector<ClipSource>& sources, size_t index);

// A–B points of the player, set in the recording that starts at `recordingStartMs` on the time line.
ClipRange RangeFromRepeatPoints(int64_t recordingStartMs, int64_t aMs, int64_t bMs);
// An event mark at `markMs` (time line) with `seconds` before and after it, kept on the time line.
ClipRange RangeAroundMark(int64_t markMs, int seconds, int64_t timelineMs);

// A typed time: seconds ("75", "75.5") or minutes and seconds ("1:15", "1:15.250", "0:01:15").
std::optional<int64_t> ParseClipTime(std::string_view text);
// "m:ss.mmm" (or "h:mm:ss.mmm" from an hour on), the form messages and the manifest use.
std::string FormatClipTime(int64_t ms);
