// GPS track of an opened recording as a GPX 1.1 file (time and speed per point), for the
// command-line tool's "gpx" command and anyone who wants the track in a map program.
#pragma once

#include "core/trackdata/TrackData.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

// `text` as XML character data: markup characters escaped, control characters other than tab and
// line feed (not allowed in XML 1.0) left out.
std::string XmlEscaped(const std::string& text);

// NMEA ddmm.mmmm (signed) -> decimal degrees.
double NmeaToDegrees(double nmea);

// UTC time of a store sample as "YYYY-MM-DDThh:mm:ssZ", or nothing when its date is missing.
// The sample's hour is UTC + 9 (as the camera's sentences are read); the nine hours come off here.
std::optional<std::string> GpxTime(const CWBCGPSData& sample);

// The GPX document: one track named `name` with one point per valid sample that has a position.
// Speed (m/s) and course go into the Garmin track-point extension, which map programs read.
std::string MakeGpx(const std::vector<CWBCGPSData>& samples, const std::string& name, int* points = nullptr);

// One recording's part of a track: its samples become one track segment.
struct GpxSegment {
    std::string name; // the recording's file name, for messages about it
    std::vector<CWBCGPSData> samples;
};
// The GPX document of several recordings: one track named `name`, one segment per recording in order.
std::string MakeGpxSegments(const std::vector<GpxSegment>& segments, const std::string& name,
                            int* points = nullptr);

struct GpxExportResult {
    bool ok = false;
    int points = 0;
    std::string error;
};

GpxExportResult WriteGpx(const std::vector<CWBCGPSData>& samples, const std::string& name,
                         const std::filesystem::path& out);
GpxExportResult WriteGpxSegments(const std::vector<GpxSegment>& segments, const std::string& name,
                                 const std::filesystem::path& out);
