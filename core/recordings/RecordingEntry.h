// One found recording and one drawn list row; shared by the scanner, the lists and the batch tools.
#pragma once

#include <cstdint>
#include <string>

// Calendar fields of a local time, as the list and the search page show them.
struct LocalTime {
    int16_t year = 0;
    int16_t month = 0;     // 1..12
    int16_t dayOfWeek = 0; // 0 = Sunday
    int16_t day = 0;
    int16_t hour = 0;
    int16_t minute = 0;
    int16_t second = 0;
    int16_t milliseconds = 0;
};

struct RecordingEntry {
    int folder = -1;           // index of the configured folder it was found under, -1 none
    std::string name;          // file name without folder (UTF-8)
    std::string path;          // searched folder (ending in '/') + name
    uint64_t creationTime = 0; // 100 ns units since 1601-01-01 UTC
    LocalTime localCreation;   // creationTime in the local time zone
    int64_t sizeKiB = 0;       // bytes / 1024
    uint8_t chosen = 0;        // marked for the batch tools; 0 after a scan
};

// One row of the drawn recording list.
struct FileInfo_t {
    std::string name;
    std::string dateText;
    std::string sizeText;
    uint8_t checked = 0;
    int32_t kind = 1; // RecordingKind
};
