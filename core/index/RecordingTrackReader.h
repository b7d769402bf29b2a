// Reads what the trips index keeps of one recording: its outline (length, channels) and its data
// records (GPS samples, G-sensor readings in G). Only headers, the index and record chunks are
// read, never the video. Used by the card indexer.
#pragma once

#include "core/index/TrackSummary.h"

#include <filesystem>
#include <string>
#include <vector>

struct RecordingTrack {
    bool ok = false;
    std::string error;
    int64_t lengthMs = 0;
    int channels = 0;
    std::vector<CWBCGPSData> gps;
    std::vector<GsensorReading> gsensor;
};

RecordingTrack ReadRecordingTrack(const std::filesystem::path& path);

// One G-sensor record in G (x across, y along, z up); false for a record of another type or an
// unknown resolution. '2', '4', '8' and 'M' records count 128 around the middle for their range in
// G ('M' as 8 G); "S" records 16 counts per G at 8 bits and 128 at 10 bits.
bool DecodeGsensorRecord(const uint8_t* record, uint32_t size, GsensorReading* out);
