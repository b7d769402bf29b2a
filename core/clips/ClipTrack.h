// The data records of the recordings a clip covers, looked up by their record times for any moment
// of the clip: date and time in the camera's time zone, speed, position and heading, the G-sensor
// readings of the last seconds and the route. What the clip's overlay draws on each picture.
// Built once before encoding; read from the encoder's streaming thread (const, no locking needed).
#pragma once

#include "core/clips/ClipRange.h"
#include "core/trackdata/RecordingDataLoader.h"

#include <cstdint>
#include <string>
#include <vector>

struct GeoPoint {
    double latitude = 0;  // decimal degrees, negative south
    double longitude = 0; // decimal degrees, negative west
};

struct GsensorPoint {
    int64_t ageMs = 0;         // before the moment
    float x = 0, y = 0, z = 0; // G
};

// Everything the overlay shows for one moment of the clip.
struct ClipMoment {
    int64_t clipMs = 0;
    std::string dateTime; // "2026-12-07 14:03:21", camera time
    std::string zone;     // "UTC+09:00"; empty when the time comes from the camera's clock in the name
    bool recordingHasGps = false; // the recording carries GPS records at all
    bool gpsFix = false;          // a valid fix no older than kGpsStaleMs
    double speedKnots = 0;
    GeoPoint position;
    double headingDegrees = 0;
    std::vector<GsensorPoint> gsensor;            // oldest first, within kGsensorWindowMs
    const std::vector<GeoPoint>* route = nullptr; // the clip's whole route (may be empty)
};

class ClipTrack {
public:
    static constexpr int64_t kGpsStaleMs = 3000;
    static constexpr int64_t kGsensorWindowMs = 5000;

    // Reads the records of every piece's recording; a recording that cannot be read has no data
    // (the overlay then says so), it is not an error here.
    static ClipTrack load(const ClipPlan& plan);

    ClipMoment momentAt(int64_t clipMs) const;

    bool hasGps() const; // any recording of the clip has GPS records
    int timezoneMinutes() const { return m_timezoneMinutes; }
    const RecordingData* data(size_t piece) const;
    const RecordingData* firstSetupData() const; // the first recording with a setup record
    const std::vector<GeoPoint>& route() const { return m_route; }

private:
    struct Piece {
        ClipPiece piece;
        RecordingData data;
        std::vector<float> gsensorG; // x, y, z per store sample when the G array lines up with it
    };
    std::vector<Piece> m_pieces;
    std::vector<GeoPoint> m_route;
    int m_timezoneMinutes = 9 * 60; // the camera's default
};
