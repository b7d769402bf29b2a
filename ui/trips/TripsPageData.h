// What the trips page is given and what it asks for, in plain text: the trips and recordings of a
// card as the JSON of the page's showTrips(), the recordings near a point as the JSON of showNear(),
// and the export request the page sends ("gpx" or "csv", the trips shown, the event types shown)
// turned into the trips and recordings the core writers take. Used by the trips window.
#pragma once

#include "core/index/Trips.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <optional>
#include <vector>

// {"trips": [{start, end, distanceM, maxKmh, meanKmh, events: [4 counts], camera, recordings: [i]}],
//  "recordings": [{name, kind, start, lengthMs, trip, gps, distanceM, maxKmh,
//                  track: [lat, lon, offsetMs, kmh, ...], breaks: [point index, ...],
//                  events: [[type, offsetMs, lat, lon, strength, placed], ...]}]}
// Times in ms since 1970 UTC; `trip` is -1 for a recording in no trip (parking, unreadable).
QByteArray tripsPageJson(const std::vector<IndexedRecording>& recordings, const std::vector<Trip>& trips);

// [{recording, offsetMs, distanceM}] with `recording` the index in `recordings`; hits whose path is
// not among them are left out.
QByteArray nearPageJson(const std::vector<PlaceHit>& hits, const std::vector<IndexedRecording>& recordings);

struct TripsExportRequest {
    enum class Format { Gpx, Csv } format = Format::Gpx;
    std::vector<size_t> trips;                                // indexes into the window's trips
    std::array<bool, 4> eventTypes{{true, true, true, true}}; // by DrivingEventType
};
// "gpx;0,2,5;braking,speeding" (format; trips; event types, empty: none). Nothing for a request
// that names no known format or a trip out of range.
std::optional<TripsExportRequest> parseTripsExport(const QString& text, size_t tripCount);

// The trips of the request with only their recordings, and those recordings with only the shown
// event types, ready for TripsGpx and TripsCsv.
struct TripsExportData {
    std::vector<Trip> trips;
    std::vector<IndexedRecording> recordings;
};
TripsExportData selectForExport(const TripsExportRequest& request, const std::vector<Trip>& trips,
                                const std::vector<IndexedRecording>& recordings);
