#include "core/index/DrivingEvents.h"

#include "core/common/CText.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kGravity = 9.80665;
constexpr int64_t kPlaceWindowMs = 5000;

struct Candidate {
    int64_t offsetMs;
    double strength;
};

// Joins candidates closer than `mergeMs` into events: the onset's time, the peak's strength.
void mergeInto(std::vector<Candidate> candidates, DrivingEventType type, int64_t mergeMs,
               std::vector<DrivingEvent>& out) {
    std::sort(candidates.begin(), candidates.end(),
              [](const Candidate& a, const Candidate& b) { return a.offsetMs < b.offsetMs; });
    int64_t last = 0;
    for (const Candidate& c : candidates) {
        if (!out.empty() && out.back().type == type && c.offsetMs - last <= mergeMs) {
            out.back().strength = std::max(out.back().strength, c.strength);
        } else {
            DrivingEvent e;
            e.type = type;
            e.offsetMs = c.offsetMs;
            e.strength = c.strength;
            out.push_back(e);
        }
        last = c.offsetMs;
    }
}

// The position at `offsetMs`, between the points around it on one line.
bool placeAt(const std::vector<TrackPoint>& points, int64_t offsetMs, double* lat, double* lon) {
    if (points.empty())
        return false;
    auto after = std::lower_bound(points.begin(), points.end(), offsetMs,
                                  [](const TrackPoint& p, int64_t t) { return p.offsetMs < t; });
    if (after != points.end() && after != points.begin() && !after->breakBefore) {
        const TrackPoint& a = *(after - 1);
        const TrackPoint& b = *after;
        const double f =
            b.offsetMs > a.offsetMs ? double(offsetMs - a.offsetMs) / double(b.offsetMs - a.offsetMs) : 0;
        if (b.offsetMs - a.offsetMs <= 2 * kPlaceWindowMs) {
            *lat = a.lat + f * (b.lat - a.lat);
            *lon = a.lon + f * (b.lon - a.lon);
            return true;
        }
    }
    const TrackPoint* nearest = nullptr;
    if (after != points.end())
        nearest = &*after;
    if (after != points.begin() &&
        (!nearest || offsetMs - (after - 1)->offsetMs < nearest->offsetMs - offsetMs))
        nearest = &*(after - 1);
    if (!nearest || std::llabs(nearest->offsetMs - offsetMs) > kPlaceWindowMs)
        return false;
    *lat = nearest->lat;
    *lon = nearest->lon;
    return true;
}

} // namespace

const char* DrivingEventName(DrivingEventType type) {
    switch (type) {
    case DrivingEventType::Braking:
        return "braking";
    case DrivingEventType::Acceleration:
        return "acceleration";
    case DrivingEventType::Cornering:
        return "cornering";
    case DrivingEventType::Speeding:
        return "speeding";
    }
    return "braking";
}

bool DrivingEventFromName(const std::string& name, DrivingEventType* type) {
    for (auto t : {DrivingEventType::Braking, DrivingEventType::Acceleration, DrivingEventType::Cornering,
                   DrivingEventType::Speeding})
        if (name == DrivingEventName(t)) {
            *type = t;
            return true;
        }
    return false;
}

std::string EventThresholds::key() const {
    return "b" + FormatFixed(brakingG, 3) + " a" + FormatFixed(accelerationG, 3) + " c" +
           FormatFixed(corneringG, 3) + " s" + FormatFixed(speedLimitKmh, 1) + "/" +
           std::to_string(speedingMinMs) + " m" + std::to_string(mergeMs) + " w" +
           std::to_string(smoothingMs);
}

std::vector<DrivingEvent> FindDrivingEvents(const std::vector<TrackPoint>& points,
                                            const std::vector<GsensorReading>& gsensor, int64_t startUtcMs,
                                            const EventThresholds& th) {
    std::vector<Candidate> braking, acceleration, cornering;

    // G-sensor: a centred moving average, so one bump of the road is no event.
    size_t lo = 0, hi = 0;
    double sumX = 0, sumY = 0;
    const int64_t half = th.smoothingMs / 2;
    for (size_t i = 0; i < gsensor.size(); ++i) {
        const int64_t t = gsensor[i].offsetMs;
        while (hi < gsensor.size() && gsensor[hi].offsetMs <= t + half) {
            sumX += gsensor[hi].x;
            sumY += gsensor[hi].y;
            ++hi;
        }
        while (lo < hi && gsensor[lo].offsetMs < t - half) {
            sumX -= gsensor[lo].x;
            sumY -= gsensor[lo].y;
            ++lo;
        }
        if (hi <= lo)
            continue;
        const double x = sumX / double(hi - lo), y = sumY / double(hi - lo);
        if (-y >= th.brakingG)
            braking.push_back({t, -y});
        if (y >= th.accelerationG)
            acceleration.push_back({t, y});
        if (std::fabs(x) >= th.corneringG)
            cornering.push_back({t, std::fabs(x)});
    }

    // Change of speed between fixes a second or so apart.
    for (size_t i = 1; i < points.size(); ++i) {
        const TrackPoint& a = points[i - 1];
        const TrackPoint& b = points[i];
        const int64_t dt = b.offsetMs - a.offsetMs;
        if (b.breakBefore || dt < 500 || dt > 3000)
            continue;
        const double g = (b.kmh - a.kmh) / 3.6 / (double(dt) / 1000.0) / kGravity;
        if (-g >= th.brakingG)
            braking.push_back({a.offsetMs, -g});
        if (g >= th.accelerationG)
            acceleration.push_back({a.offsetMs, g});
    }

    std::vector<DrivingEvent> events;
    mergeInto(braking, DrivingEventType::Braking, th.mergeMs, events);
    mergeInto(acceleration, DrivingEventType::Acceleration, th.mergeMs, events);
    mergeInto(cornering, DrivingEventType::Cornering, th.mergeMs, events);

    // Speeding: over the limit without a break for at least the minimum time.
    for (size_t i = 0; i < points.size();) {
        if (points[i].kmh <= th.speedLimitKmh) {
            ++i;
            continue;
        }
        size_t j = i;
        double top = 0;
        while (j < points.size() && points[j].kmh > th.speedLimitKmh && (j == i || !points[j].breakBefore)) {
            top = std::max(top, points[j].kmh);
            ++j;
        }
        if (points[j - 1].offsetMs - points[i].offsetMs >= th.speedingMinMs) {
            DrivingEvent e;
            e.type = DrivingEventType::Speeding;
            e.offsetMs = points[i].offsetMs;
            e.strength = top;
            events.push_back(e);
        }
        i = j;
    }

    for (DrivingEvent& e : events) {
        e.utcMs = startUtcMs + e.offsetMs;
        e.hasPlace = placeAt(points, e.offsetMs, &e.lat, &e.lon);
    }
    std::stable_sort(events.begin(), events.end(),
                     [](const DrivingEvent& a, const DrivingEvent& b) { return a.offsetMs < b.offsetMs; });
    return events;
}
