// What the print report says about the current moment of a recording, taken from the GPS array as
// the map panel takes it: position in degrees, speed, the sample's date and time, and the track.
#pragma once

#include "core/trackdata/RecordingDataLoader.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

struct ReportMoment {
    bool hasPosition = false; // a GPS sample was found for the moment
    double latitude = 0;      // decimal degrees
    double longitude = 0;
    float speedKnots = 0;
    // "%04d-%02d-%02d %02d:%02d:%02d" of the sample (year + 2000), the hours past 23 carried into the
    // next day; empty when there is no sample or its date is no date.
    std::string timeText;
    std::vector<std::pair<double, double>> track; // every valid position of the recording, in order
};

// The moment `positionMs` of a recording whose panels span `trackRangeMs`.
ReportMoment ReportMomentAt(const RecordingData& data, int64_t positionMs, int64_t trackRangeMs);

// "%.2f [%s]" of the speed in the unit (1 km/h, 2 mile/h, otherwise knots), single precision.
std::string FormatReportSpeed(float knots, int unit);
