// Builds the data records of a sample recording: a GPS sentence per second along a route with
// varying speed and event characters, G-sensor readings at 10 Hz in one of the camera's forms, the
// information text and the setup record ("V" or six "Z" pieces). Sample-card generator only.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <utility>
#include <vector>

struct TimedRecord {
    uint32_t timeMs = 0;
    std::vector<uint8_t> bytes;
};

enum class SetupForm { None, V, Z };

struct TrackPlan {
    uint32_t seconds = 3;
    std::tm utcStart{};                            // GPS (UTC) time of the recording's first second
    double startLat = 37.5665;                     // degrees
    double startLon = 126.9780;                    // degrees
    double phase = 0;                              // varies the speed profile between recordings
    char gsensorForm = 'M';                        // 'M', '2', '4', '8' or 'S'
    int sResolution = 10;                          // 'S' records: 8 or 10
    std::vector<std::pair<uint32_t, char>> events; // (second, event character in field 13)
    std::string recordingId; // "I" record fields 7 and 8 (the master password when unprotected)
    std::string recordingPassword;
    SetupForm setup = SetupForm::V;
    bool informationRecord = true;
    // (lat, lon) waypoints of streets the car drives along; empty: a free course from the start point.
    std::vector<std::pair<double, double>> route;
    double routeStartM = 0; // distance along the route at the first second
    bool parked = false;    // the car stands still (parking and motion recordings)
};

// A drive through the centre of Seoul along real streets: from the Sungnyemun gate north on
// Sejong-daero past City Hall, east along Jongno to the Dongdaemun gate and on to Sinseol-dong.
const std::vector<std::pair<double, double>>& DemoRoute();
// Length of a route in metres.
double RouteLength(const std::vector<std::pair<double, double>>& route);

// Records in time order.
std::vector<TimedRecord> MakeTrackRecords(const TrackPlan& plan);

// "$GPRMC,..." with the checksum; the event character goes into field 13.
std::string MakeRmcSentence(const std::tm& utc, bool valid, double latDeg, double lonDeg, double knots,
                            double course, char event);
// G-sensor record in `form` for accelerations in G.
std::vector<uint8_t> MakeGsensorRecord(char form, int sResolution, double x, double y, double z);
