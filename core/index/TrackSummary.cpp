#include "core/index/TrackSummary.h"

#include "core/common/CText.h"
#include "core/recordings/RecordingName.h"
#include "core/tools/GpxExport.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <ctime>

namespace {

constexpr double kDegToRad = M_PI / 180.0;
constexpr double kEarthRadiusM = 6371008.8;

bool plausiblePosition(double lat, double lon) {
    if (!std::isfinite(lat) || !std::isfinite(lon))
        return false;
    if (std::fabs(lat) > 90.0 || std::fabs(lon) > 180.0)
        return false;
    // A receiver without a fix often reports 0,0 (or very nearly): never a real place for a car.
    return std::fabs(lat) > 1e-4 || std::fabs(lon) > 1e-4;
}

bool reachable(const TrackPoint& from, const TrackPoint& to) {
    const double metres = DistanceMetres(from.lat, from.lon, to.lat, to.lon);
    const double seconds = std::max<int64_t>(to.offsetMs - from.offsetMs, 0) / 1000.0;
    // A few metres of wander are always allowed (two fixes in the same second).
    return metres <= 25.0 + kMaxPlausibleKmh / 3.6 * seconds;
}

// Distance from p to the segment a-b in metres, on a local flat projection.
double segmentDistance(const TrackPoint& p, const TrackPoint& a, const TrackPoint& b) {
    const double k = std::cos(p.lat * kDegToRad);
    const double ax = (a.lon - p.lon) * k, ay = a.lat - p.lat;
    const double bx = (b.lon - p.lon) * k, by = b.lat - p.lat;
    const double dx = bx - ax, dy = by - ay;
    const double len2 = dx * dx + dy * dy;
    double t = len2 > 0 ? -(ax * dx + ay * dy) / len2 : 0;
    t = std::clamp(t, 0.0, 1.0);
    const double cx = ax + t * dx, cy = ay + t * dy;
    return std::hypot(cx, cy) * kDegToRad * kEarthRadiusM;
}

void douglasPeucker(const std::vector<TrackPoint>& pts, size_t first, size_t last, double tol,
                    std::vector<bool>& keep) {
    // Iterative, so that a long straight drive cannot exhaust the stack.
    std::vector<std::pair<size_t, size_t>> work{{first, last}};
    while (!work.empty()) {
        auto [a, b] = work.back();
        work.pop_back();
        if (b <= a + 1)
            continue;
        double worst = -1;
        size_t at = a;
        for (size_t i = a + 1; i < b; ++i) {
            const double d = segmentDistance(pts[i], pts[a], pts[b]);
            if (d > worst) {
                worst = d;
                at = i;
            }
        }
        if (worst > tol) {
            keep[at] = true;
            work.push_back({a, at});
            work.push_back({at, b});
        }
    }
}

} // namespace

double DistanceMetres(double lat1, double lon1, double lat2, double lon2) {
    const double p1 = lat1 * kDegToRad, p2 = lat2 * kDegToRad;
    const double dp = p2 - p1, dl = (lon2 - lon1) * kDegToRad;
    const double h = std::sin(dp / 2) * std::sin(dp / 2) +
                     std::cos(p1) * std::cos(p2) * std::sin(dl / 2) * std::sin(dl / 2);
    return 2 * kEarthRadiusM * std::asin(std::min(1.0, std::sqrt(h)));
}

std::optional<int64_t> SampleUtcMs(const CWBCGPSData& s) {
    if (s.month < 1 || s.month > 12 || s.day < 1 || s.day > 31 || s.year < 0 || s.year > 99)
        return std::nullopt;
    const int hour = s.hour - 9;
    if (hour < 0 || hour > 23 || s.minute < 0 || s.minute > 59 || s.second < 0 || s.second > 60)
        return std::nullopt;
    std::tm tm{};
    tm.tm_year = (s.year < 70 ? 2000 + s.year : 1900 + s.year) - 1900;
    tm.tm_mon = s.month - 1;
    tm.tm_mday = s.day;
    tm.tm_hour = hour;
    tm.tm_min = s.minute;
    tm.tm_sec = s.second;
    return int64_t(timegm(&tm)) * 1000;
}

std::optional<int64_t> NameStartUtcMs(const std::string& fileName) {
    const uint64_t key = GetNameTimeKey(fileName);
    if (key == 0)
        return std::nullopt;
    std::tm tm{};
    tm.tm_year = int(key / 10000000000ULL) - 1900;
    tm.tm_mon = int(key / 100000000ULL % 100) - 1;
    tm.tm_mday = int(key / 1000000ULL % 100);
    tm.tm_hour = int(key / 10000 % 100);
    tm.tm_min = int(key / 100 % 100);
    tm.tm_sec = int(key % 100);
    if (tm.tm_year < 70 || tm.tm_mon < 0 || tm.tm_mon > 11 || tm.tm_mday < 1 || tm.tm_mday > 31 ||
        tm.tm_hour > 23 || tm.tm_min > 59 || tm.tm_sec > 60)
        return std::nullopt;
    const bool cameraClock = fileName.find("RTC") != std::string::npos;
    return int64_t(timegm(&tm)) * 1000 - (cameraClock ? kCameraClockOffsetMs : 0);
}

TrackSummary SummariseTrack(const std::vector<CWBCGPSData>& samples,
                            std::optional<int64_t> fallbackStartUtcMs) {
    TrackSummary out;
    // The recording's start by the GPS clock: the median of (sample time - record time stamp).
    std::vector<int64_t> offsets;
    for (const auto& s : samples)
        if (s.valid)
            if (auto utc = SampleUtcMs(s))
                offsets.push_back(*utc - int64_t(s.timestampMs));
    if (!offsets.empty()) {
        std::nth_element(offsets.begin(), offsets.begin() + offsets.size() / 2, offsets.end());
        out.startUtcMs = offsets[offsets.size() / 2];
    }
    const int64_t start = out.startUtcMs.value_or(fallbackStartUtcMs.value_or(0));

    std::vector<TrackPoint> pending; // positions after a jump, not yet confirmed
    int64_t lastOffset = -1;
    for (const auto& s : samples) {
        const double lat = NmeaToDegrees(s.latitude), lon = NmeaToDegrees(s.longitude);
        if (!s.valid || !plausiblePosition(lat, lon) || int64_t(s.timestampMs) < lastOffset) {
            ++out.droppedSamples;
            continue;
        }
        lastOffset = s.timestampMs;
        TrackPoint p;
        p.offsetMs = s.timestampMs;
        p.utcMs = start + p.offsetMs;
        p.lat = lat;
        p.lon = lon;
        p.kmh = std::isfinite(s.speed) && s.speed >= 0 && s.speed < kMaxPlausibleKmh ? s.speed : 0;
        if (out.points.empty()) {
            out.points.push_back(p);
            continue;
        }
        if (reachable(out.points.back(), p)) {
            out.droppedSamples += int(pending.size()); // the jump was a stray fix
            pending.clear();
            out.points.push_back(p);
            continue;
        }
        // Out of reach of the track so far: a stray fix, or the car really is elsewhere (a fix
        // regained after a tunnel far away). Several fixes that agree start a new line.
        if (!pending.empty() && !reachable(pending.back(), p)) {
            out.droppedSamples += int(pending.size());
            pending.clear();
        }
        pending.push_back(p);
        if (int(pending.size()) >= kJumpConfirmPoints) {
            pending.front().breakBefore = true;
            out.points.insert(out.points.end(), pending.begin(), pending.end());
            pending.clear();
        }
    }
    out.droppedSamples += int(pending.size());

    double movingMs = 0;
    for (size_t i = 0; i < out.points.size(); ++i) {
        const TrackPoint& p = out.points[i];
        out.maxKmh = std::max(out.maxKmh, p.kmh);
        if (!out.box)
            out.box = BoundingBox{p.lat, p.lat, p.lon, p.lon};
        out.box->minLat = std::min(out.box->minLat, p.lat);
        out.box->maxLat = std::max(out.box->maxLat, p.lat);
        out.box->minLon = std::min(out.box->minLon, p.lon);
        out.box->maxLon = std::max(out.box->maxLon, p.lon);
        if (i > 0 && !p.breakBefore) {
            out.distanceM += DistanceMetres(out.points[i - 1].lat, out.points[i - 1].lon, p.lat, p.lon);
            movingMs += double(p.offsetMs - out.points[i - 1].offsetMs);
        }
    }
    out.meanKmh = movingMs > 0 ? out.distanceM / (movingMs / 1000.0) * 3.6 : 0;
    return out;
}

std::vector<TrackPoint> DecimateTrack(const std::vector<TrackPoint>& points, double toleranceM,
                                      int64_t maxGapMs) {
    if (points.size() <= 2)
        return points;
    std::vector<bool> keep(points.size(), false);
    size_t lineStart = 0;
    for (size_t i = 1; i <= points.size(); ++i) {
        if (i == points.size() || points[i].breakBefore) {
            keep[lineStart] = keep[i - 1] = true;
            douglasPeucker(points, lineStart, i - 1, toleranceM, keep);
            lineStart = i;
        }
    }
    std::vector<TrackPoint> out;
    for (size_t i = 0; i < points.size(); ++i) {
        const bool due = !out.empty() && points[i].offsetMs - out.back().offsetMs > maxGapMs && i > 0;
        if (due && !keep[i - 1] && (out.back().offsetMs != points[i - 1].offsetMs))
            out.push_back(points[i - 1]);
        if (keep[i])
            out.push_back(points[i]);
    }
    return out;
}

std::string EncodeTrack(const std::vector<TrackPoint>& points) {
    std::string text;
    text.reserve(points.size() * 32);
    for (size_t i = 0; i < points.size(); ++i) {
        const TrackPoint& p = points[i];
        if (i > 0)
            text += p.breakBefore ? '|' : ';';
        text += std::to_string(p.offsetMs);
        text += ',';
        text += FormatFixed(p.lat, 6);
        text += ',';
        text += FormatFixed(p.lon, 6);
        text += ',';
        text += FormatFixed(p.kmh, 1);
    }
    return text;
}

std::vector<TrackPoint> DecodeTrack(const std::string& text, int64_t startUtcMs) {
    std::vector<TrackPoint> out;
    size_t pos = 0;
    bool breakNext = false;
    while (pos < text.size()) {
        size_t end = text.find_first_of(";|", pos);
        if (end == std::string::npos)
            end = text.size();
        const auto fields = SplitText(std::string_view(text).substr(pos, end - pos), ',', 4);
        if (fields.size() == 4) {
            TrackPoint p;
            p.offsetMs = std::strtoll(std::string(fields[0]).c_str(), nullptr, 10);
            p.utcMs = startUtcMs + p.offsetMs;
            p.lat = CAtof(fields[1]);
            p.lon = CAtof(fields[2]);
            p.kmh = CAtof(fields[3]);
            p.breakBefore = breakNext;
            out.push_back(p);
        }
        breakNext = end < text.size() && text[end] == '|';
        pos = end + 1;
    }
    return out;
}
