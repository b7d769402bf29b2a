#include "core/recordings/ListText.h"

#include "core/recordings/RecordingName.h"

#include <cstdio>

namespace {
template <typename... Args> std::string format(const char* fmt, Args... args) {
    char buf[64];
    int n = std::snprintf(buf, sizeof buf, fmt, args...);
    return std::string(buf, n < 0 ? 0 : std::min<size_t>(static_cast<size_t>(n), sizeof buf - 1));
}

// Whole megabytes, where a recording with any content shows at least 1 (never "0M").
long long wholeMegabytes(int64_t sizeKiB) {
    return sizeKiB > 0 && sizeKiB < 1000 ? 1 : static_cast<long long>(sizeKiB / 1000);
}
} // namespace

std::string FormatListSize(int64_t sizeKiB) {
    const int64_t m = wholeMegabytes(sizeKiB);
    if (m < 1000)
        return format("%lldM", static_cast<long long>(m));
    return format("%.1fG", static_cast<double>(m) / 1000.0);
}

std::string FormatReportSize(int64_t sizeKiB) {
    return format("%lld,%03lld", static_cast<long long>(sizeKiB / 1000),
                  static_cast<long long>(sizeKiB % 1000));
}

std::string FormatSearchSize(int64_t sizeKiB) {
    return format("%lldM", wholeMegabytes(sizeKiB));
}

std::string FormatListDate(const LocalTime& t) {
    return format("%02d.%02d", t.month, t.day);
}

std::string FormatReportDate(const LocalTime& t) {
    return format("%02d/%02d/%d", t.month, t.day, t.year);
}

FileInfo_t MakeFileInfo(const RecordingEntry& entry) {
    FileInfo_t info;
    info.name = entry.name;
    info.dateText = FormatListDate(entry.localCreation);
    info.sizeText = FormatListSize(entry.sizeKiB);
    info.checked = 0;
    info.kind = GetRecordingKind(entry.name);
    return info;
}
