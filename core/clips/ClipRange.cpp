#include "core/clips/ClipRange.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

int64_t SourceStartMs(const std::vector<ClipSource>& sources, size_t index) {
    int64_t start = 0;
    for (size_t i = 0; i < index && i < sources.size(); ++i)
        start += std::max<int64_t>(sources[i].durationMs, 0);
    return start;
}

ClipPlan PlanClip(const std::vector<ClipSource>& sources, ClipRange range) {
    ClipPlan plan;
    plan.range = range;
    plan.timelineMs = SourceStartMs(sources, sources.size());
    if (sources.empty()) {
        plan.error = "no recording given";
        return plan;
    }
    if (range.toMs <= range.fromMs) {
        plan.error = "the range " + FormatClipTime(range.fromMs) + " to " + FormatClipTime(range.toMs) +
                     " is empty: the end must come after the start";
        return plan;
    }
    if (range.fromMs < 0 || range.toMs > plan.timelineMs) {
        plan.error = "the range " + FormatClipTime(range.fromMs) + " to " + FormatClipTime(range.toMs) +
                     " lies outside the recordings (0:00.000 to " + FormatClipTime(plan.timelineMs) + ")";
        return plan;
    }
    if (range.durationMs() < kMinClipMs) {
        plan.error = "the range is shorter than " + std::to_string(kMinClipMs) + " ms";
        return plan;
    }
    int64_t start = 0;
    for (size_t i = 0; i < sources.size(); ++i) {
        const int64_t length = std::max<int64_t>(sources[i].durationMs, 0);
        const int64_t end = start + length;
        const int64_t from = std::max(range.fromMs, start);
        const int64_t to = std::min(range.toMs, end);
        // A sliver of less than a picture at a join is left out rather than opened for nothing.
        if (to - from >= 20) {
            ClipPiece piece;
            piece.source = i;
            piece.path = sources[i].path;
            piece.fromMs = from - start;
            piece.toMs = to - start;
            piece.clipOffsetMs = from - range.fromMs;
            plan.pieces.push_back(piece);
        }
        if (sources[i].cutShort && range.fromMs < end && range.toMs > end && !plan.pieces.empty()) {
            plan.damage = sources[i].path.filename().string() + " is cut short at " + FormatClipTime(length) +
                          " (damaged); the clip stops there";
            plan.range.toMs = end;
            break;
        }
        start = end;
    }
    if (plan.pieces.empty())
        plan.error = "no recording covers the range";
    return plan;
}

ClipRange RangeFromRepeatPoints(int64_t recordingStartMs, int64_t aMs, int64_t bMs) {
    return {recordingStartMs + std::min(aMs, bMs), recordingStartMs + std::max(aMs, bMs)};
}

ClipRange RangeAroundMark(int64_t markMs, int seconds, int64_t timelineMs) {
    const int64_t half = int64_t(std::max(seconds, 1)) * 1000;
    return {std::max<int64_t>(0, markMs - half), std::min(timelineMs, markMs + half)};
}

std::optional<int64_t> ParseClipTime(std::string_view text) {
    if (text.empty())
        return std::nullopt;
    int64_t total = 0;
    int parts = 0;
    for (;;) {
        const size_t colon = text.find(':');
        std::string_view part = text.substr(0, colon);
        const bool last = colon == std::string_view::npos;
        int64_t whole = 0;
        int64_t fraction = 0;
        const size_t dot = part.find('.');
        std::string_view wholeText = part.substr(0, dot);
        if (wholeText.empty())
            return std::nullopt;
        auto [end, ec] = std::from_chars(wholeText.data(), wholeText.data() + wholeText.size(), whole);
        if (ec != std::errc() || end != wholeText.data() + wholeText.size() || whole < 0 ||
            whole > 10'000'000)
            return std::nullopt;
        if (dot != std::string_view::npos) {
            if (!last)
                return std::nullopt; // only the seconds have a fraction
            std::string_view digits = part.substr(dot + 1);
            if (digits.empty() || digits.size() > 9)
                return std::nullopt;
            int64_t scale = 100;
            for (char c : digits) {
                if (c < '0' || c > '9')
                    return std::nullopt;
                fraction += (c - '0') * scale;
                scale /= 10;
            }
        }
        if (parts > 0 && whole >= 60)
            return std::nullopt; // minutes and seconds after the first field stay below 60
        total = total * 60 + whole;
        ++parts;
        if (last)
            return total * 1000 + fraction;
        if (parts == 3)
            return std::nullopt;
        text.remove_prefix(colon + 1);
    }
}

std::string FormatClipTime(int64_t ms) {
    const bool negative = ms < 0;
    if (negative)
        ms = -ms;
    const int64_t h = ms / 3600000, m = ms / 60000 % 60, s = ms / 1000 % 60, f = ms % 1000;
    char text[48];
    if (h > 0)
        std::snprintf(text, sizeof text, "%s%lld:%02lld:%02lld.%03lld", negative ? "-" : "", (long long)h,
                      (long long)m, (long long)s, (long long)f);
    else
        std::snprintf(text, sizeof text, "%s%lld:%02lld.%03lld", negative ? "-" : "", (long long)m,
                      (long long)s, (long long)f);
    return text;
}
