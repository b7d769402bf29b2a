// Reads what a recording's file name says: event kind, time key, short date, date-time stamps.
// Pure functions of a name (without folder); used by the scanner, lists, snapshots and tools.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Event kind of a recording; as a list filter 1 also means all kinds and 5 the map view.
enum RecordingKind : int32_t {
    kKindNormal = 1,
    kKindEmergency = 2,
    kKindEvent = 3,
    kKindMotion = 4, // parking and motion
    kFilterMap = 5,
};

int32_t GetRecordingKind(std::string_view name);
uint64_t GetNameTimeKey(std::string_view name); // 0 when the name has no time tag
std::string GetShortDate(std::string_view name, const std::string& fallback); // "MM.DD" or fallback
// "%d%02d%02d_%02d%02d%02d" of fileTime (100 ns units since 1601-01-01 UTC) plus offsetMs; the
// file time is cut to whole milliseconds and the sum taken in unsigned 64-bit arithmetic. toLocal
// converts from UTC with the system's time-zone rules. False (out empty) only when that fails.
bool FormatStamp(uint64_t fileTime, int64_t offsetMs, bool toLocal, std::string& out);
// The stamp of the date and time written in a name (digits taken as they stand, no time zone) plus
// offsetMs. False when the name is shorter than 15 characters or its fields are no calendar time
// (month 13, day 0, hour 24, ...); `out` is then empty and the caller names the file otherwise.
bool StampFromName(std::string_view name, std::string& out, int64_t offsetMs);

// File time of a moment given in milliseconds since 1970-01-01 UTC (QFileInfo times, QDateTime).
constexpr uint64_t FileTimeFromUnixMs(int64_t unixMs) {
    return static_cast<uint64_t>(unixMs + 11644473600000LL) * 10000u;
}
