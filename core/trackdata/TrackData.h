// Samples carried by a recording's data records: GPS sentences and G-sensor readings, in the two
// position-indexed arrays the speed, G-sensor and map panels read and in the time-stamped store
// the map and accelerometer views search. Filled by the record loop of an opened recording.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

// One GPS sample of the position-indexed array.
class CGpsData {
public:
    int32_t year = 0;  // two-digit year
    int32_t month = 0; // 1..12
    int32_t day = 0;
    int32_t hour = 0; // UTC hour + 9 (9..32: the date is not corrected)
    int32_t minute = 0;
    int32_t second = 0;
    int32_t valid = 0;    // 1 when the status field begins with "A"
    double latitude = 0;  // NMEA ddmm.mmmm, negative for south
    double longitude = 0; // NMEA dddmm.mmmm, negative for west
    float speed = 0;      // knots
    double course = 0;    // degrees, rounded through single precision
    int64_t time = 0;     // calendar time (seconds) of the fields, read in local time; 0 if incomplete
    int32_t reserved = 0;
    char event = '0'; // event character of field 13; "0" for none

    // Fills the sample from a "$" record (text up to its first zero byte). True when all fields
    // 0..13 were present; the caller keeps the sample either way.
    bool ParseSentence(std::string_view record);
};

// One G-sensor sample of the position-indexed array.
struct CGsensorData {
    float x = 0, y = 0, z = 0; // G
    float magnitude = 0;       // G
    int32_t range = 0;         // 2, 4 or 8
    int32_t reserved = 0;
};

// G-sensor sample from the three 8-bit counts of an "M", "2", "4" or "8" record.
CGsensorData MakeGsensorSample(uint8_t byte1, uint8_t byte2, uint8_t byte3, int32_t range);

// One GPS sample of the time-stamped store.
struct CWBCGPSData {
    int32_t year = 0, month = 0, day = 0;
    int32_t hour = 0; // UTC + 9
    int32_t minute = 0, second = 0;
    int32_t valid = 0;
    double latitude = 0;
    double longitude = 0;
    double speed = 0;  // km/h, computed in single precision
    double course = 0; // through single precision
    uint32_t timestampMs = 0;
};

// Raw G-sensor sample of the time-stamped store.
struct RawGsensorSample {
    int32_t x = 0, y = 0, z = 0; // raw counts centred on 0
    int32_t mode = 0;            // 0: 8-bit record, 1: "S" code 8, 2: "S" code 10
    uint32_t timestampMs = 0;
};

// The time-stamped store of one opened recording.
class CWBCTextData {
public:
    virtual ~CWBCTextData() = default;

    // Files one record (`record` holds the bytes delivered; bytes past its end read as zero).
    int AddRecord(uint32_t timestampMs, std::span<const uint8_t> record);
    void Clear();

    const std::vector<RawGsensorSample>& gsensor() const { return m_gsensor; }
    const std::vector<CWBCGPSData>& gps() const { return m_gps; }
    // The GPS sample for a playback position: the first whose time stamp is strictly greater than
    // the position; nullptr when there is none.
    const CWBCGPSData* FindGpsAfter(uint32_t positionMs) const;

private:
    std::vector<RawGsensorSample> m_gsensor;
    std::vector<CWBCGPSData> m_gps;
};

// Index of the array sample for a playback position when `count` samples are spread evenly over
// `rangeMs`; -1 when there are no samples. A zero range gives the first sample.
int SampleIndexForPosition(int64_t positionMs, size_t count, int64_t rangeMs);

// The samples of a position-indexed array (GPS or G-sensor) on the recording's time line, looked up
// by the times their records carry: a recording cut short keeps records past its last picture, and
// spreading them over the playable length would put every sample at the wrong time. Every view
// (panels, main page, map, print report, clips) looks samples up here, so all show the same one.
// Without a time per sample (data made without the record loop) the samples are spread evenly
// over the range as before.
class SampleTimeline {
public:
    SampleTimeline() = default;
    // `timesMs`: one record time per sample, in record order; `rangeMs`: the playable range.
    SampleTimeline(std::span<const uint32_t> timesMs, size_t count, int64_t rangeMs);

    bool byRecordTime() const { return m_byTime; }
    // Samples within the playable range, counted from the first: those recorded after the last
    // picture are neither drawn nor shown.
    size_t drawnCount() const { return m_drawn; }
    // Where sample `i` lies on the time line (ms).
    int64_t timeOf(size_t i) const;
    // The sample shown at `positionMs`: the first recorded after the position (as the main page's
    // speed read-out takes it), the last drawn one when none is later; -1 with nothing to draw.
    int indexAt(int64_t positionMs) const;

private:
    std::span<const uint32_t> m_times;
    size_t m_count = 0;
    int64_t m_range = 0;
    size_t m_drawn = 0;
    bool m_byTime = false;
};
