// The cleaned GPS track of one recording and its figures (distance, speeds, bounding box), and the
// track thinned for drawing. Pure functions of the samples a recording's data records carry; used by
// the card indexer and by whoever wants a recording's route without the index.
#pragma once

#include "core/trackdata/TrackData.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// One accepted position: time in milliseconds since 1970-01-01 UTC.
struct TrackPoint {
    int64_t utcMs = 0;
    int64_t offsetMs = 0; // from the recording's start (the data record's time stamp)
    double lat = 0;       // degrees
    double lon = 0;       // degrees
    double kmh = 0;
    bool breakBefore = false; // no line is drawn from the point before (jump or lost fix)
};

// One G-sensor reading in G: x across the car (right +), y along it (forward +), z up.
struct GsensorReading {
    int64_t offsetMs = 0;
    double x = 0, y = 0, z = 0;
};

struct BoundingBox {
    double minLat = 0, maxLat = 0, minLon = 0, maxLon = 0;
};

struct TrackSummary {
    std::optional<int64_t> startUtcMs; // from the GPS clock; unset when no sample carries a date
    std::vector<TrackPoint> points;    // accepted positions in time order
    double distanceM = 0;
    double maxKmh = 0;
    double meanKmh = 0; // distance over the time between the first and last position
    std::optional<BoundingBox> box;
    int droppedSamples = 0; // invalid, (0, 0), out of range, jumps, time going backwards
};

// A position is accepted unless invalid, at (0, 0), out of range or reached faster than this.
inline constexpr double kMaxPlausibleKmh = 300.0;
// Positions that agree with each other after a jump start a new line after this many.
inline constexpr int kJumpConfirmPoints = 3;

// Great-circle distance in metres.
double DistanceMetres(double lat1, double lon1, double lat2, double lon2);

// `fallbackStartUtcMs` (from the file name) dates the points when no sample carries a usable date.
// The GPS clock dates the recording by the median of its offsets, so a clock that jumps or runs
// backwards inside a recording moves no point; points follow the records' own time stamps.
TrackSummary SummariseTrack(const std::vector<CWBCGPSData>& samples,
                            std::optional<int64_t> fallbackStartUtcMs);

// Drawing copy of a track: Douglas-Peucker with `toleranceM`, keeping a point at least every
// `maxGapMs` so that a click maps back to the right moment, and every break.
std::vector<TrackPoint> DecimateTrack(const std::vector<TrackPoint>& points, double toleranceM = 4.0,
                                      int64_t maxGapMs = 5000);

// Compact text form of a track for the index: "offsetMs,lat,lon,kmh" per point, ';' between
// points, '|' before a point that starts a new line. utcMs is rebuilt from the start time.
std::string EncodeTrack(const std::vector<TrackPoint>& points);
std::vector<TrackPoint> DecodeTrack(const std::string& text, int64_t startUtcMs);

// The camera's own clock (recordings named "RTC…") runs at UTC+9; names with "UTC" are UTC.
constexpr int64_t kCameraClockOffsetMs = 9LL * 3600 * 1000;

// UTC time of a sample's date and time fields (its hour is UTC + 9); unset without a usable date.
std::optional<int64_t> SampleUtcMs(const CWBCGPSData& sample);
// UTC start of a recording from its name's time tag: "RTC" names carry the camera's clock (UTC + 9),
// "UTC" names UTC. Unset when the name has no time tag.
std::optional<int64_t> NameStartUtcMs(const std::string& fileName);
