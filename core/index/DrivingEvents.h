// Driving events found in a recording's data: hard braking, hard acceleration and hard cornering
// from the G-sensor and the change of GPS speed, and speeding over a limit. Used by the card indexer.
#pragma once

#include "core/index/TrackSummary.h"

#include <cstdint>
#include <string>
#include <vector>

enum class DrivingEventType { Braking, Acceleration, Cornering, Speeding };

// Stored and exported names: "braking", "acceleration", "cornering", "speeding".
const char* DrivingEventName(DrivingEventType type);
bool DrivingEventFromName(const std::string& name, DrivingEventType* type);

// The thresholds, settings of the trips index (Trips/brakingG and so on, see IndexSettings.h).
// Defaults: 0.45 G of braking (about 4.4 m/s², a firm stop rather than an ordinary one), 0.35 G of
// acceleration, 0.45 G across the car, and a speed over 100 km/h held for at least 5 s.
struct EventThresholds {
    double brakingG = 0.45;
    double accelerationG = 0.35;
    double corneringG = 0.45;
    double speedLimitKmh = 100.0;
    int64_t speedingMinMs = 5000;
    // Readings closer than this belong to one event.
    int64_t mergeMs = 3000;
    // G-sensor readings are averaged over this window against road bumps.
    int64_t smoothingMs = 300;

    // Changes whenever a threshold does, so that recordings indexed under others are read again.
    std::string key() const;
};

struct DrivingEvent {
    DrivingEventType type = DrivingEventType::Braking;
    int64_t offsetMs = 0; // onset, from the recording's start
    int64_t utcMs = 0;
    bool hasPlace = false; // false when no GPS position lies within a few seconds
    double lat = 0, lon = 0;
    double strength = 0; // G for braking, acceleration and cornering; highest km/h for speeding
};

// Events in time order. `startUtcMs` dates them; points may be empty (no GPS: G-sensor events only).
std::vector<DrivingEvent> FindDrivingEvents(const std::vector<TrackPoint>& points,
                                            const std::vector<GsensorReading>& gsensor, int64_t startUtcMs,
                                            const EventThresholds& thresholds);
