// Texts of the recording list, the report list and the search page (dates and sizes of an entry).
#pragma once

#include "core/recordings/RecordingEntry.h"

#include <cstdint>
#include <string>

std::string FormatListSize(int64_t sizeKiB);      // "%dM" of KiB/1000 below 1000, else "%.1fG"
std::string FormatReportSize(int64_t sizeKiB);    // "%d,%03d"
std::string FormatSearchSize(int64_t sizeKiB);    // "%dM" of KiB/1000 at every size
std::string FormatListDate(const LocalTime& t);   // "%02d.%02d" month, day
std::string FormatReportDate(const LocalTime& t); // "%02d/%02d/%d" month, day, year
// The row of the drawn list for an entry (name, short date, size, unchecked, kind from the name).
FileInfo_t MakeFileInfo(const RecordingEntry& entry);
// The list shows the date written in names of at least this many characters.
inline constexpr size_t kShortDateMinLength = 22;
