#include "core/recordings/RecordingName.h"

#include <cstdio>
#include <ctime>

namespace {

constexpr uint64_t kTicksPerMs = 10000;        // file-time units (100 ns) per millisecond
constexpr uint64_t kTicksPerSecond = 10000000; // file-time units per second
constexpr int64_t kDaysFrom1601To1970 = 134774;
constexpr int64_t kSecondsPerDay = 86400;

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// Days since 1970-01-01 of a proleptic Gregorian date (H. Hinnant's algorithm); any month/day.
int64_t daysFromCivil(int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void civilFromDays(int64_t z, int64_t& y, unsigned& m, unsigned& d) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y = static_cast<int64_t>(yoe) + era * 400 + (m <= 2);
}

bool isLeap(int64_t y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

unsigned daysInMonth(int64_t y, unsigned m) {
    static const unsigned kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && isLeap(y) ? 29 : kDays[m - 1];
}

// Leading decimal digits of `count` characters at `pos`; 0 when there are none.
int readField(std::string_view name, size_t pos, size_t count) {
    int value = 0;
    for (size_t i = pos; i < pos + count && i < name.size() && isDigit(name[i]); ++i)
        value = value * 10 + (name[i] - '0');
    return value;
}

bool startsWith(std::string_view name, std::string_view prefix) {
    return name.substr(0, prefix.size()) == prefix;
}

// Position of the first `tag` that has more than 15 characters from it to the end of the name.
size_t findTimeTag(std::string_view name, std::string_view tag) {
    const size_t p = name.find(tag);
    if (p == std::string_view::npos || p + 15 >= name.size())
        return std::string_view::npos;
    return p;
}

} // namespace

int32_t GetRecordingKind(std::string_view name) {
    if (startsWith(name, "EMER"))
        return kKindEmergency;
    if (startsWith(name, "EVEN"))
        return kKindEvent;
    if (startsWith(name, "PARK") || startsWith(name, "MOTI"))
        return kKindMotion;
    return kKindNormal;
}

uint64_t GetNameTimeKey(std::string_view name) {
    size_t p = findTimeTag(name, "RTC");
    if (p == std::string_view::npos)
        p = findTimeTag(name, "UTC");
    if (p == std::string_view::npos)
        return 0;
    std::string digits(name.substr(p + 3, 8));
    digits += name.substr(p + 12, 6);
    uint64_t key = 0;
    for (const char c : digits) {
        if (!isDigit(c))
            break;
        key = key * 10 + static_cast<uint64_t>(c - '0');
    }
    return key;
}

std::string GetShortDate(std::string_view name, const std::string& fallback) {
    size_t m = 0;
    if (startsWith(name, "EMER"))
        m = 17;
    else if (startsWith(name, "EVEN"))
        m = 13;
    else if (startsWith(name, "PARK"))
        m = 12;
    else if (startsWith(name, "MOTI"))
        m = 14;
    else if (startsWith(name, "RTC") || startsWith(name, "UTC"))
        m = 7;
    else
        return fallback;
    if (m + 4 > name.size())
        return fallback;
    for (size_t i = m; i < m + 4; ++i)
        if (!isDigit(name[i]))
            return fallback;
    std::string out(name.substr(m, 2));
    out += '.';
    out += name.substr(m + 2, 2);
    return out;
}

bool FormatStamp(uint64_t fileTime, int64_t offsetMs, bool toLocal, std::string& out) {
    out.clear();
    // Whole milliseconds, the offset added in unsigned arithmetic (a negative offset wraps back).
    const uint64_t t = (fileTime / kTicksPerMs + static_cast<uint64_t>(offsetMs)) * kTicksPerMs;
    const int64_t secondsSince1601 = static_cast<int64_t>(t / kTicksPerSecond);
    int64_t year = 0;
    unsigned month = 0, day = 0;
    int hour = 0, minute = 0, second = 0;
    if (toLocal) {
        const time_t unixTime = static_cast<time_t>(secondsSince1601 - kDaysFrom1601To1970 * kSecondsPerDay);
        struct tm local {};
        if (!localtime_r(&unixTime, &local))
            return false;
        year = static_cast<int64_t>(local.tm_year) + 1900;
        month = static_cast<unsigned>(local.tm_mon + 1);
        day = static_cast<unsigned>(local.tm_mday);
        hour = local.tm_hour;
        minute = local.tm_min;
        second = local.tm_sec;
    } else {
        const int64_t days = secondsSince1601 / kSecondsPerDay;
        const int64_t rest = secondsSince1601 % kSecondsPerDay;
        civilFromDays(days - kDaysFrom1601To1970, year, month, day);
        hour = static_cast<int>(rest / 3600);
        minute = static_cast<int>(rest / 60 % 60);
        second = static_cast<int>(rest % 60);
    }
    char text[64];
    std::snprintf(text, sizeof text, "%d%02d%02d_%02d%02d%02d", static_cast<int>(year), month, day, hour,
                  minute, second);
    out = text;
    return true;
}

bool StampFromName(std::string_view name, std::string& out, int64_t offsetMs) {
    if (name.size() < 15)
        return false;
    size_t s = 0;
    if (!isDigit(name[0])) {
        const size_t underscore = name.find('_');
        s = underscore == std::string_view::npos ? 0 : underscore + 1;
    }
    const int year = readField(name, s, 4);
    const unsigned month = static_cast<unsigned>(readField(name, s + 4, 2));
    const unsigned day = static_cast<unsigned>(readField(name, s + 6, 2));
    const int hour = readField(name, s + 9, 2);
    const int minute = readField(name, s + 11, 2);
    const int second = readField(name, s + 13, 2);
    // Fields that are no calendar time have no file time: refuse instead of naming a file after garbage.
    if (year < 1601 || month < 1 || month > 12 || day < 1 || day > daysInMonth(year, month) || hour > 23 ||
        minute > 59 || second > 59) {
        out.clear();
        return false;
    }
    const int64_t days = daysFromCivil(year, month, day) + kDaysFrom1601To1970;
    const uint64_t seconds =
        static_cast<uint64_t>(days * kSecondsPerDay + hour * 3600 + minute * 60 + second);
    return FormatStamp(seconds * kTicksPerSecond, offsetMs, false, out);
}
