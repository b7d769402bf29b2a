// What recording names say: kind, time key, short date and the stamps of snapshot names.
#include "core/recordings/RecordingName.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

namespace {

// File time of a UTC calendar moment, computed independently of the code under test.
uint64_t fileTimeUtc(int year, int month, int day, int hour, int minute, int second) {
    struct tm t {};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    return FileTimeFromUnixMs(static_cast<int64_t>(timegm(&t)) * 1000);
}

std::string stamp(uint64_t fileTime, int64_t offsetMs, bool toLocal = false) {
    std::string out = "junk";
    EXPECT_TRUE(FormatStamp(fileTime, offsetMs, toLocal, out));
    return out;
}

std::optional<std::string> fromName(std::string_view name, int64_t offsetMs = 0) {
    std::string out;
    if (!StampFromName(name, out, offsetMs))
        return std::nullopt;
    return out;
}

// Sets TZ for one scope and restores it.
class ScopedTimeZone {
public:
    explicit ScopedTimeZone(const char* zone) {
        if (const char* old = std::getenv("TZ"))
            m_old = old;
        setenv("TZ", zone, 1);
        tzset();
    }
    ~ScopedTimeZone() {
        if (m_old)
            setenv("TZ", m_old->c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }

private:
    std::optional<std::string> m_old;
};

TEST(RecordingName, Kinds) {
    EXPECT_EQ(GetRecordingKind("RTC20140512_101530_1.qmv"), kKindNormal);
    EXPECT_EQ(GetRecordingKind("EMERGENCY_RTC20140512_101530.qmv"), kKindEmergency);
    EXPECT_EQ(GetRecordingKind("EVENT_UTC20140512_101530.mp4"), kKindEvent);
    EXPECT_EQ(GetRecordingKind("PARKING_RTC20140512_101530.qmv"), kKindMotion);
    EXPECT_EQ(GetRecordingKind("MOTION_RTC20140512_101530.qmv"), kKindMotion);
    EXPECT_EQ(GetRecordingKind("Emergency_RTC20140512_101530.qmv"), kKindNormal); // case-sensitive
    EXPECT_EQ(GetRecordingKind("EVE"), kKindNormal);
    EXPECT_EQ(GetRecordingKind(""), kKindNormal);
}

TEST(RecordingName, TimeKey) {
    EXPECT_EQ(GetNameTimeKey("RTC20140512_101530.qmv"), 20140512101530ull);
    EXPECT_EQ(GetNameTimeKey("EMERGENCY_UTC20140512_101530_2.mp4"), 20140512101530ull);
    EXPECT_EQ(GetNameTimeKey("normal.qmv"), 0ull);
    // 15 characters from the R: too short. 16: only the digits present.
    EXPECT_EQ(GetNameTimeKey("RTC20140512_101"), 0ull);
    EXPECT_EQ(GetNameTimeKey("RTC20140512_1015"), 201405121015ull);
    // A short RTC falls back to a UTC that passes; the first RTC wins when it passes.
    EXPECT_EQ(GetNameTimeKey("UTC20150101_000000_RTC2014"), 20150101000000ull);
    EXPECT_EQ(GetNameTimeKey("UTC20150101_000000_RTC20140512_101530"), 20140512101530ull);
    EXPECT_EQ(GetNameTimeKey("RTC201405x2_101530.qmv"), 201405ull); // reading stops at a non-digit
    EXPECT_LT(GetNameTimeKey("undated.qmv"), GetNameTimeKey("RTC19990101_000000.qmv"));
    EXPECT_LT(GetNameTimeKey("RTC20140512_101530.qmv"), GetNameTimeKey("EVENT_RTC20140512_101531.qmv"));
}

TEST(RecordingName, ShortDate) {
    EXPECT_EQ(GetShortDate("RTC20140512_101530.qmv", "x"), "05.12");
    EXPECT_EQ(GetShortDate("UTC20141231_235959.mp4", "x"), "12.31");
    EXPECT_EQ(GetShortDate("EMERGENCY_RTC20140601_101530.qmv", "x"), "06.01");
    EXPECT_EQ(GetShortDate("EVENT_RTC20140702_101530.qmv", "x"), "07.02");
    EXPECT_EQ(GetShortDate("PARK_RTC20140803_101530.qmv", "x"), "08.03");
    EXPECT_EQ(GetShortDate("MOTION_RTC20140904_101530.qmv", "x"), "09.04");
    EXPECT_EQ(GetShortDate("RTC2014AB12_101530.qmv", "2014-05-12"), "2014-05-12");
    EXPECT_EQ(GetShortDate("clip_20140512.qmv", "fallback"), "fallback");
    EXPECT_EQ(GetShortDate("EMERGENCY_RTC", "short"), "short"); // never reads past the end
}

TEST(RecordingName, FormatStampArithmetic) {
    const uint64_t t = fileTimeUtc(2014, 5, 12, 10, 15, 30);
    EXPECT_EQ(stamp(t, 0), "20140512_101530");
    EXPECT_EQ(stamp(t + 9999999, 0), "20140512_101530"); // sub-second parts are dropped
    EXPECT_EQ(stamp(t, 90000), "20140512_101700");
    EXPECT_EQ(stamp(fileTimeUtc(2014, 12, 31, 23, 59, 0), 90000), "20150101_000030");
    EXPECT_EQ(stamp(fileTimeUtc(2016, 2, 28, 23, 59, 0), 90000), "20160229_000030");
    EXPECT_EQ(stamp(fileTimeUtc(2015, 2, 28, 23, 59, 0), 90000), "20150301_000030");
    EXPECT_EQ(stamp(t, -31000), "20140512_101459"); // a negative offset wraps back in unsigned arithmetic
    EXPECT_EQ(stamp(0, 0), "16010101_000000");
}

TEST(RecordingName, FormatStampToLocal) {
    const uint64_t t = fileTimeUtc(2014, 12, 31, 20, 0, 0);
    {
        ScopedTimeZone zone("Asia/Seoul");
        EXPECT_EQ(stamp(t, 0, true), "20150101_050000");
        EXPECT_EQ(stamp(t, 0, false), "20141231_200000");
    }
    {
        ScopedTimeZone zone("UTC");
        EXPECT_EQ(stamp(t, 0, true), "20141231_200000");
    }
}

TEST(RecordingName, StampFromName) {
    EXPECT_EQ(fromName("RTC20140512_101530.qmv"), std::nullopt); // reads after the underscore: no date there
    EXPECT_EQ(fromName("EVENT_20140512_101530.qmv"), "20140512_101530");
    EXPECT_EQ(fromName("20140512_101530_A.qmv", 90000), "20140512_101700");
    EXPECT_EQ(fromName("20141231_235959.qmv", 1000), "20150101_000000");
    EXPECT_EQ(fromName("2014051"), std::nullopt); // shorter than 15 characters
    // The stamp ignores the time zone: the written digits stand as they are.
    {
        ScopedTimeZone zone("Asia/Seoul");
        EXPECT_EQ(fromName("20140512_101530.qmv"), "20140512_101530");
    }
    // Fields that are no calendar time give no stamp rather than a wrong one.
    EXPECT_EQ(fromName("20141332_101530.qmv"), std::nullopt);
    EXPECT_EQ(fromName("20140230_101530.qmv"), std::nullopt);
    EXPECT_EQ(fromName("20140512_246030.qmv"), std::nullopt);
    EXPECT_EQ(fromName("ABCDEFGHIJKLMNOP"), std::nullopt);
    EXPECT_EQ(fromName("20160229_000000.qmv"), "20160229_000000");
}

} // namespace
