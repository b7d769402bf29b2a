// GPS sentences, G-sensor records and the time-stamped store.
#include "core/trackdata/TrackData.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

namespace {

std::vector<uint8_t> bytes(const std::string& s) {
    return std::vector<uint8_t>(s.begin(), s.end());
}

// Calendar times are read in the computer's zone; pin it so expectations are fixed.
class TrackDataTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("TZ", "UTC", 1);
        tzset();
    }
};

TEST_F(TrackDataTest, FullSentenceAddsNineHoursAndRollsCalendarTimeIntoNextDay) {
    CGpsData s;
    EXPECT_TRUE(s.ParseSentence("$GPRMC,231500.00,A,3723.2475,S,12658.3416,W,10.0,84.4,070524,,,A,E"));
    EXPECT_EQ(s.hour, 32);
    EXPECT_EQ(s.minute, 15);
    EXPECT_EQ(s.second, 0);
    EXPECT_EQ(s.valid, 1);
    EXPECT_DOUBLE_EQ(s.latitude, -3723.2475);
    EXPECT_DOUBLE_EQ(s.longitude, -12658.3416);
    EXPECT_FLOAT_EQ(s.speed, 10.0f);
    EXPECT_EQ(s.course, static_cast<double>(84.4f));
    EXPECT_EQ(s.day, 7);
    EXPECT_EQ(s.month, 5);
    EXPECT_EQ(s.year, 24);
    EXPECT_EQ(s.event, 'E');
    std::time_t t = static_cast<std::time_t>(s.time);
    std::tm tm{};
    localtime_r(&t, &tm);
    EXPECT_EQ(tm.tm_mday, 8);
    EXPECT_EQ(tm.tm_hour, 8);
    EXPECT_EQ(tm.tm_min, 15);
}

TEST_F(TrackDataTest, TwoDigitYearPivotsAtSeventy) {
    CGpsData a, b;
    ASSERT_TRUE(a.ParseSentence("$GPRMC,000000,A,0,N,0,E,0,0,010169,,,,0"));
    ASSERT_TRUE(b.ParseSentence("$GPRMC,000000,A,0,N,0,E,0,0,010170,,,,0"));
    std::time_t ta = a.time, tb = b.time;
    std::tm tma{}, tmb{};
    gmtime_r(&ta, &tma);
    gmtime_r(&tb, &tmb);
    EXPECT_EQ(tma.tm_year + 1900, 2069);
    EXPECT_EQ(tmb.tm_year + 1900, 1970);
    EXPECT_EQ(a.event, '0'); // "0" is no event
}

TEST_F(TrackDataTest, CutSentenceKeepsFieldsReadSoFar) {
    CGpsData s;
    EXPECT_FALSE(s.ParseSentence("$GPRMC,123519,A,4807.038"));
    EXPECT_EQ(s.hour, 21);
    EXPECT_EQ(s.valid, 1);
    EXPECT_DOUBLE_EQ(s.latitude, 4807.038); // sign comes with field 4, which is missing
    EXPECT_EQ(s.longitude, 0);
    EXPECT_EQ(s.speed, 0);
    EXPECT_EQ(s.day, 0);
    EXPECT_EQ(s.time, 0);

    CGpsData rmc; // a standard sentence has no event field: no calendar time
    EXPECT_FALSE(rmc.ParseSentence("$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A"));
    EXPECT_EQ(rmc.year, 94);
    EXPECT_FLOAT_EQ(rmc.speed, 22.4f);
    EXPECT_EQ(rmc.time, 0);
}

TEST_F(TrackDataTest, OddFieldsNeverCrashAndReadAsNumbersWhereTheyCan) {
    CGpsData s;
    EXPECT_FALSE(s.ParseSentence(""));
    EXPECT_FALSE(s.ParseSentence(",,,,"));
    CGpsData t; // leading commas are skipped; empty status is invalid; empty event is no event
    EXPECT_TRUE(t.ParseSentence(",,$X,1,,abc,N,,,,,,,,,,"));
    EXPECT_EQ(t.hour, 10);
    EXPECT_EQ(t.valid, 0);
    EXPECT_EQ(t.latitude, 0);
    EXPECT_EQ(t.event, '0');
    CGpsData u; // a sentence longer than the work buffer is cut, not overrun
    EXPECT_FALSE(u.ParseSentence("$GPRMC," + std::string(5000, '9')));
}

TEST_F(TrackDataTest, GsensorSamplesBySingularPrecisionRules) {
    CGsensorData a = MakeGsensorSample(192, 128, 64, 2);
    EXPECT_EQ(a.x, 1.0f);
    EXPECT_EQ(a.y, 0.0f);
    EXPECT_EQ(a.z, -1.0f);
    EXPECT_EQ(a.magnitude, std::sqrt(2.0f));
    EXPECT_EQ(a.range, 2);
    EXPECT_EQ(MakeGsensorSample(0, 128, 128, 8).x, -8.0f);
    EXPECT_EQ(MakeGsensorSample(255, 128, 128, 8).x, 7.9375f);
    EXPECT_EQ(MakeGsensorSample(160, 128, 128, 4).x, 1.0f);
    EXPECT_EQ(MakeGsensorSample(144, 128, 128, 3).x, -1.0f); // unknown range divides by +16
}

TEST_F(TrackDataTest, StoreFilesRawSamplesAndGpsInKilometresPerHour) {
    CWBCTextData store;
    store.AddRecord(100, bytes("8\xC0\x80\x40"));
    std::vector<uint8_t> s8 = {'S', 8, 0x81, 0x01, 0x80, 0x00, 0x7F, 0x00};
    std::vector<uint8_t> s10 = {'S', 10, 0x00, 0x06, 0x00, 0x02, 0xFF, 0x01};
    std::vector<uint8_t> s9 = {'S', 9, 1, 2, 3, 4, 5, 6};
    store.AddRecord(200, s8);
    store.AddRecord(300, s10);
    store.AddRecord(350, s9);
    store.AddRecord(400, bytes("$GPRMC,120000,A,3723.2475,N,12658.3416,E,10,45.5"));
    store.AddRecord(500, bytes("X whatever"));
    store.AddRecord(600, {});

    ASSERT_EQ(store.gsensor().size(), 3u);
    EXPECT_EQ(store.gsensor()[0].x, 128 - 0xC0);
    EXPECT_EQ(store.gsensor()[0].z, 128 - 0x40);
    EXPECT_EQ(store.gsensor()[0].mode, 0);
    EXPECT_EQ(store.gsensor()[1].x, 128 - 0x81); // low 8 bits of 0x0181
    EXPECT_EQ(store.gsensor()[1].mode, 1);
    EXPECT_EQ(store.gsensor()[2].x, 512 - 0x200); // low 10 bits of 0x0600
    EXPECT_EQ(store.gsensor()[2].z, 512 - 0x1FF);
    EXPECT_EQ(store.gsensor()[2].mode, 2);
    EXPECT_EQ(store.gsensor()[2].timestampMs, 300u);

    ASSERT_EQ(store.gps().size(), 1u); // a cut sentence is still filed
    const CWBCGPSData& g = store.gps()[0];
    EXPECT_EQ(g.speed, static_cast<double>(10.0f * 1.852f));
    EXPECT_EQ(g.hour, 21);
    EXPECT_EQ(g.year, 0);
    EXPECT_EQ(g.timestampMs, 400u);

    store.AddRecord(900, bytes("$GPRMC,120001,A"));
    EXPECT_EQ(store.FindGpsAfter(399), &store.gps()[0]);
    EXPECT_EQ(store.FindGpsAfter(400), &store.gps()[1]); // strictly greater
    EXPECT_EQ(store.FindGpsAfter(900), nullptr);
    store.Clear();
    EXPECT_TRUE(store.gps().empty());
    EXPECT_TRUE(store.gsensor().empty());
}

TEST_F(TrackDataTest, SampleIndexSpreadsEvenlyAndClampsToLastSample) {
    EXPECT_EQ(SampleIndexForPosition(0, 10, 59000), 0);
    EXPECT_EQ(SampleIndexForPosition(29500, 10, 59000), 5);
    EXPECT_EQ(SampleIndexForPosition(59000, 10, 59000), 9);
    EXPECT_EQ(SampleIndexForPosition(1'000'000'000'000, 10, 59000), 9);
    EXPECT_EQ(SampleIndexForPosition(100, 0, 59000), -1);
    EXPECT_EQ(SampleIndexForPosition(100, 10, 0), 0); // an empty recording must not divide by zero
}

} // namespace

// A recording cut short keeps the data records of its whole drive: 30 samples a second apart, but
// only 12 s of pictures. Looked up by record time, the sample at a position is the one recorded
// just after it (as the page's read-out takes it), and samples past the range are not drawn.
TEST_F(TrackDataTest, SamplesAreLookedUpByTheirRecordTimes) {
    std::vector<uint32_t> times;
    for (uint32_t t = 0; t < 30'000; t += 1000)
        times.push_back(t + 500);
    const SampleTimeline cut(times, times.size(), 11'800);
    EXPECT_TRUE(cut.byRecordTime());
    EXPECT_EQ(cut.drawnCount(), 12u); // 500 .. 11 500 ms
    const struct {
        int64_t positionMs;
        int expected;
    } cases[] = {{-5, 0}, {0, 0}, {499, 0}, {500, 1}, {7'500, 8}, {7'499, 7}, {11'400, 11}, {11'800, 11},
                 {40'000, 11}};
    for (const auto& c : cases)
        EXPECT_EQ(cut.indexAt(c.positionMs), c.expected) << c.positionMs;
    EXPECT_EQ(cut.timeOf(8), 8'500);

    // Evenly spread, the same 7.5 s would have shown sample 19 of the 30: the fault this mends.
    EXPECT_EQ(SampleIndexForPosition(7'500, times.size(), 11'800), 19);

    // Without a time per sample the old spreading stands; nothing to draw gives -1.
    const SampleTimeline even({}, 30, 11'800);
    EXPECT_FALSE(even.byRecordTime());
    EXPECT_EQ(even.drawnCount(), 30u);
    EXPECT_EQ(even.indexAt(7'500), SampleIndexForPosition(7'500, 30, 11'800));
    EXPECT_EQ(even.timeOf(29), 11'800);
    const uint32_t late[] = {20'000, 21'000};
    EXPECT_EQ(SampleTimeline(late, 2, 11'800).indexAt(5'000), -1);
    EXPECT_EQ(SampleTimeline().indexAt(0), -1);
}
