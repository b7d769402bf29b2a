// Drives made of consecutive recordings, with their figures and event counts, and their forms
// for the outside: GPX (a track per trip, events as waypoints), CSV and JSON. Used by the trips
// command of the command-line tool and the trips window.
#pragma once

#include "core/index/TripIndex.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

// Recordings less than this apart belong to one trip unless a setting says otherwise.
inline constexpr int64_t kDefaultTripGapMs = 3 * 60 * 1000;

struct Trip {
    std::vector<size_t> recordings; // indexes into the list the trips were built from, by start
    int64_t startUtcMs = 0;
    int64_t endUtcMs = 0;
    std::optional<std::pair<double, double>> startPlace; // (lat, lon) of the first position
    std::optional<std::pair<double, double>> endPlace;
    double distanceM = 0;
    double maxKmh = 0;
    double meanKmh = 0;               // distance over the time between the first and last position
    std::array<int, 4> eventCounts{}; // by DrivingEventType
    int cameraEventRecordings = 0;    // event and emergency recordings of the camera

    int64_t durationMs() const { return endUtcMs - startUtcMs; }
};

// Joins recordings (sorted by start) whose gap is under `gapMs`; parking and motion recordings
// belong to no trip, nor do files that could not be read. A stretch recorded twice (an event recording beside
// the normal one) counts once.
std::vector<Trip> BuildTrips(const std::vector<IndexedRecording>& recordings,
                             int64_t gapMs = kDefaultTripGapMs);

// "2026-12-08T08:00:00Z"
std::string UtcText(int64_t utcMs);

std::string TripsGpx(const std::vector<Trip>& trips, const std::vector<IndexedRecording>& recordings);
// One "trip" row per trip, then one "event" row per driving event, with a header line.
std::string TripsCsv(const std::vector<Trip>& trips, const std::vector<IndexedRecording>& recordings);
std::string TripsJson(const std::vector<Trip>& trips, const std::vector<IndexedRecording>& recordings);
// One line per trip and per event, for people.
std::string TripsText(const std::vector<Trip>& trips, const std::vector<IndexedRecording>& recordings);
