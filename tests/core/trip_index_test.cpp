// The trips index end to end on synthetic recordings: tracks cleaned of (0, 0) and jumps, driving
// events found at the right place, trips joined, a re-scan that reads only what changed, place
// queries; the same table runs on SQLite and on a PostgreSQL server the test starts itself. Then
// the bad cases: a damaged file, a second copy's lock, a cancelled run, a card pulled mid-run and
// a shared server that is down or refuses the login.
#include "core/config/Settings.h"
#include "core/index/CardIndexer.h"
#include "core/index/IndexSettings.h"
#include "core/index/RecordingTrackReader.h"
#include "core/index/Trips.h"
#include "support/ContainerFixtures.h"
#include "tests/support/LocalPostgres.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <QLockFile>

#include <gtest/gtest.h>

#include <cmath>
#include <ctime>
#include <functional>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

constexpr double kMetresPerDegreeLat = 111195.0;

// A sentence as the camera writes it; the hour of `utc` is UTC.
std::string rmc(std::time_t utc, bool valid, double lat, double lon, double kmh) {
    std::tm tm{};
    gmtime_r(&utc, &tm);
    auto angle = [](double deg, int digits) {
        deg = std::fabs(deg);
        const int whole = int(deg);
        char t[32];
        std::snprintf(t, sizeof t, "%0*d%07.4f", digits, whole, (deg - whole) * 60.0);
        return std::string(t);
    };
    char s[200];
    std::snprintf(s, sizeof s, "$GPRMC,%02d%02d%02d.00,%c,%s,%c,%s,%c,%.1f,0.0,%02d%02d%02d,,,A,0",
                  tm.tm_hour, tm.tm_min, tm.tm_sec, valid ? 'A' : 'V', angle(lat, 2).c_str(),
                  lat < 0 ? 'S' : 'N', angle(lon, 3).c_str(), lon < 0 ? 'W' : 'E', kmh / 1.852, tm.tm_mday,
                  tm.tm_mon + 1, tm.tm_year % 100);
    return s;
}

std::vector<uint8_t> gRecord(double x, double y, double z) {
    auto b = [](double g) { return uint8_t(std::clamp<long>(std::lround(128 + g * 32), 0, 255)); };
    return {'4', b(x), b(y), b(z)};
}

// A straight drive to the north from (lat0, lon0): speed by acceleration, integrated at 10 Hz.
struct Drive {
    double lat0 = 37.5, lon0 = 127.0;
    std::time_t utcStart = 0;
    std::function<double(double t)> accel = [](double) { return 0.0; }; // m/s² at drive time t
    double v0 = 10.0;                                                   // m/s
    // Filled by run(): position along the route (m) and speed at every 100 ms.
    std::vector<double> along, speed;
    void run(int seconds) {
        along.assign(1, 0.0);
        speed.assign(1, v0);
        for (int i = 1; i <= seconds * 10; ++i) {
            const double v = std::max(0.0, speed.back() + accel((i - 1) / 10.0) * 0.1);
            along.push_back(along.back() + (speed.back() + v) / 2 * 0.1);
            speed.push_back(v);
        }
    }
    double latAt(double t) const { return lat0 + along[size_t(std::lround(t * 10))] / kMetresPerDegreeLat; }
};

// Per second of a recording: what the GPS sentence says (overrides for bad fixes).
using FixOverride = std::function<bool(int second, double* lat, double* lon, bool* valid)>;

void writeDriveRecording(const fs::path& path, const Drive& d, int fromSecond, int seconds, bool gps = true,
                         const FixOverride& override = {}) {
    RecordingLayout layout;
    layout.video = {{64, 36, 1, 1}};
    std::string error;
    auto w = RecordingWriter::create(path, layout, RecordingForm::Camera, &error);
    ASSERT_TRUE(w) << error;
    const uint8_t frame[] = {0, 0, 0, 1, 0x65, 0x88, 0x84, 0x00};
    for (int tick = 0; tick < seconds * 10; ++tick) {
        const double t = fromSecond + tick / 10.0;
        const size_t i = size_t(fromSecond * 10 + tick);
        if (tick % 10 == 0) {
            ASSERT_TRUE(w->writeVideoFrame(0, frame, sizeof frame, true));
            if (gps) {
                double lat = d.latAt(t), lon = d.lon0;
                bool valid = true;
                if (override)
                    override(tick / 10, &lat, &lon, &valid);
                const std::string s = rmc(d.utcStart + std::time_t(t), valid, lat, lon, d.speed[i] * 3.6);
                ASSERT_TRUE(w->writeRecord(uint32_t(tick * 100), reinterpret_cast<const uint8_t*>(s.data()),
                                           s.size()));
            }
        }
        const double longitudinal = (d.speed[i + 1] - d.speed[i]) / 0.1 / 9.80665;
        const auto g = gRecord(0.02 * std::sin(t * 7), longitudinal, 1.0);
        ASSERT_TRUE(w->writeRecord(uint32_t(tick * 100 + 50), g.data(), g.size()));
    }
    ASSERT_TRUE(w->finish()) << w->error();
}

std::string cameraName(std::time_t utc) {
    const std::time_t camera = utc + 9 * 3600;
    std::tm tm{};
    gmtime_r(&camera, &tm);
    char t[64];
    std::strftime(t, sizeof t, "RTC%Y%m%d_%H%M%S.qmv", &tm);
    return t;
}

// The sample folder: a drive of two recordings with a hard stop, a later drive with a (0, 0) fix
// and a stray fix 5 km away, a recording without GPS and a file that is no recording.
struct SampleCard {
    fs::path root;
    Drive a, b;
    double aDistance = 0, bDistance = 0;
    double brakeLat = 0;
    std::string aFirst, aSecond, bName;

    explicit SampleCard(const fs::path& dir) : root(dir) {
        fs::create_directories(root / "NORMAL");
        std::tm start{};
        start.tm_year = 2026 - 1900;
        start.tm_mon = 11;
        start.tm_mday = 8;
        a.utcStart = timegm(&start);
        // 0.6 G of braking from 45 s until the car stands, then 0.15 G away again from 50 s.
        a.accel = [this](double t) {
            if (t >= 45 && t < 50)
                return -0.6 * 9.80665;
            if (t >= 50 && a.speed.size() > 0)
                return 0.15 * 9.80665;
            return 0.0;
        };
        a.run(61);
        aDistance = a.along[590] - a.along[0];
        brakeLat = a.latAt(45);
        aFirst = cameraName(a.utcStart);
        aSecond = cameraName(a.utcStart + 30);
        writeDriveRecording(root / "NORMAL" / aFirst, a, 0, 30);
        writeDriveRecording(root / "NORMAL" / aSecond, a, 30, 30);

        b.lat0 = 37.6;
        b.lon0 = 127.1;
        b.utcStart = a.utcStart + 2 * 3600;
        b.v0 = 14.0;
        b.run(21);
        bDistance = b.along[190] - b.along[0];
        bName = cameraName(b.utcStart);
        writeDriveRecording(root / "NORMAL" / bName, b, 0, 20, true,
                            [](int s, double* lat, double* lon, bool*) {
                                if (s == 5)
                                    *lat = *lon = 0;
                                if (s == 10)
                                    *lat += 0.045;
                                return true;
                            });
        Drive still;
        still.utcStart = a.utcStart + 5 * 3600;
        still.run(11);
        writeDriveRecording(root / "NORMAL" / cameraName(still.utcStart), still, 0, 10, false);
        WriteFile(root / "NORMAL" / cameraName(a.utcStart + 6 * 3600), Bytes(3000, 0x5a));
    }
};

const IndexedRecording* byName(const std::vector<IndexedRecording>& list, const std::string& name) {
    for (const auto& r : list)
        if (r.name == name)
            return &r;
    return nullptr;
}

LocalPostgres& postgres() {
    static LocalPostgres server;
    return server;
}

class TripIndexBackends : public ::testing::TestWithParam<SqlDialect> {
protected:
    void SetUp() override {
        EnsureCoreApplication();
        if (GetParam() == SqlDialect::Postgres) {
            ASSERT_TRUE(postgres().running()) << postgres().error();
            std::string error;
            location = *IndexLocation::fromServerUrl(postgres().url(), &error);
            // One server for every case: each starts on an empty index.
            auto index = TripIndex::open(location, &error);
            ASSERT_TRUE(index && index->clear()) << error;
        } else {
            location = IndexLocation::sqlite((dir / "trips.sqlite").string());
        }
    }
    std::unique_ptr<TripIndex> openIndex() {
        std::string error, notice;
        auto index = TripIndex::open(location, &error, &notice);
        EXPECT_TRUE(index) << error;
        EXPECT_EQ(notice, "");
        return index;
    }

    TempDir dir;
    IndexLocation location;
};

TEST_P(TripIndexBackends, IndexesTripsEventsAndPlacesAndRereadsOnlyChanges) {
    SampleCard card(dir / "card");
    auto index = openIndex();
    ASSERT_TRUE(index);
    IndexRunOptions options;

    IndexRunResult run = IndexCard(*index, card.root, options);
    ASSERT_TRUE(run.ok) << run.message;
    EXPECT_EQ(run.found, 5);
    EXPECT_EQ(run.read, 5);
    ASSERT_EQ(run.problems.size(), 1u); // the file that is no recording
    const std::string key = CardKey(card.root);

    auto list = index->recordings(key);
    ASSERT_EQ(list.size(), 5u);
    const IndexedRecording* first = byName(list, card.aFirst);
    const IndexedRecording* bRec = byName(list, card.bName);
    ASSERT_TRUE(first && bRec);
    EXPECT_TRUE(first->gpsClock);
    EXPECT_EQ(first->startUtcMs, int64_t(card.a.utcStart) * 1000);
    EXPECT_EQ(first->lengthMs, 30000);
    EXPECT_EQ(first->channels, 1);
    EXPECT_NEAR(first->maxKmh, 36.0, 0.5);

    // The (0, 0) fix and the stray one 5 km away are neither counted nor drawn.
    EXPECT_NEAR(bRec->distanceM, card.bDistance, card.bDistance * 0.02);
    for (const auto& p : bRec->track) {
        EXPECT_GT(p.lat, 37.59);
        EXPECT_LT(p.lat, 37.61);
    }
    ASSERT_TRUE(bRec->box);
    EXPECT_LT(bRec->box->maxLat, 37.61);

    const auto trips = BuildTrips(list, kDefaultTripGapMs);
    ASSERT_EQ(trips.size(), 3u); // drive a, drive b, the drive without GPS; the broken file is none
    EXPECT_EQ(trips[0].recordings.size(), 2u);
    EXPECT_NEAR(trips[0].distanceM, card.aDistance, card.aDistance * 0.02);
    EXPECT_NEAR(trips[1].distanceM, card.bDistance, card.bDistance * 0.02);
    EXPECT_EQ(trips[2].distanceM, 0.0);
    EXPECT_EQ(trips[0].eventCounts[size_t(DrivingEventType::Braking)], 1);
    EXPECT_EQ(trips[0].eventCounts[size_t(DrivingEventType::Acceleration)], 0);
    EXPECT_EQ(trips[1].eventCounts, (std::array<int, 4>{}));

    // The hard stop, within 30 m of where it began, in the second recording.
    const IndexedRecording* second = byName(list, card.aSecond);
    ASSERT_TRUE(second);
    ASSERT_EQ(second->events.size(), 1u);
    const DrivingEvent& stop = second->events[0];
    EXPECT_EQ(stop.type, DrivingEventType::Braking);
    EXPECT_NEAR(stop.offsetMs, 15000, 1000);
    EXPECT_NEAR(stop.strength, 0.6, 0.1);
    ASSERT_TRUE(stop.hasPlace);
    EXPECT_LT(DistanceMetres(stop.lat, stop.lon, card.brakeLat, card.a.lon0), 30.0);

    // A place on the first recording's route: the recording and the moment it passed.
    QElapsedTimer timer;
    timer.start();
    const auto near = index->recordingsNear(card.a.latAt(12), card.a.lon0 + 0.0001, 40.0, key);
    EXPECT_LT(timer.elapsed(), 100);
    ASSERT_EQ(near.size(), 1u);
    EXPECT_EQ(near[0].path, first->path);
    EXPECT_NEAR(near[0].offsetMs, 12000, 1000);
    EXPECT_TRUE(index->recordingsNear(37.55, 127.05, 200.0, key).empty());

    // Unchanged files are not read again; a touched one is; a removed one leaves the index.
    run = IndexCard(*index, card.root, options);
    EXPECT_TRUE(run.ok);
    EXPECT_EQ(run.read, 0);
    EXPECT_EQ(run.unchanged, 5);
    fs::last_write_time(card.root / "NORMAL" / card.bName,
                        fs::file_time_type::clock::now() - std::chrono::hours(1));
    fs::remove(card.root / "NORMAL" / card.aFirst);
    run = IndexCard(*index, card.root, options);
    EXPECT_EQ(run.read, 1);
    EXPECT_EQ(run.removed, 1);
    EXPECT_EQ(run.unchanged, 3);

    // Other thresholds find the events again: every recording is read.
    options.thresholds.brakingG = 0.8;
    run = IndexCard(*index, card.root, options);
    EXPECT_EQ(run.read, 4);

    // A second connection (another window, a reopened program) sees the same.
    index.reset();
    auto reopened = openIndex();
    ASSERT_TRUE(reopened);
    list = reopened->recordings(key);
    EXPECT_EQ(list.size(), 4u);
    ASSERT_TRUE(byName(list, card.aSecond));
    EXPECT_TRUE(byName(list, card.aSecond)->events.empty()); // 0.6 G is under 0.8 G
}

INSTANTIATE_TEST_SUITE_P(Servers, TripIndexBackends,
                         ::testing::Values(SqlDialect::Sqlite, SqlDialect::Postgres), [](const auto& info) {
                             return info.param == SqlDialect::Sqlite ? "SQLite" : "PostgreSQL";
                         });

// Track cleaning and event finding on their own, case by case.
CWBCGPSData fix(uint32_t ms, double lat, double lon, double kmh, bool valid = true, int utcHour = 0) {
    CWBCGPSData s;
    s.valid = valid;
    auto nmea = [](double deg) {
        const double a = std::fabs(deg);
        const double v = std::floor(a) * 100 + (a - std::floor(a)) * 60;
        return deg < 0 ? -v : v;
    };
    s.latitude = nmea(lat);
    s.longitude = nmea(lon);
    s.speed = kmh;
    s.timestampMs = ms;
    s.year = 26;
    s.month = 12;
    s.day = 8;
    s.hour = utcHour + 9;
    s.minute = 0;
    s.second = int(ms / 1000);
    return s;
}

TEST(TripTrackCleaning, BadFixesNeverMakeLinesOrDistance) {
    struct Case {
        const char* name;
        std::vector<CWBCGPSData> samples;
        size_t points;
        int breaks;
        double distanceM;
        bool dated;
    };
    const double step = 10 / kMetresPerDegreeLat; // 10 m north
    std::vector<CWBCGPSData> straight, zero, stray, moved, backwards, invalid, clockBack;
    for (uint32_t i = 0; i < 10; ++i) {
        straight.push_back(fix(i * 1000, 37.5 + i * step, 127, 36));
        zero.push_back(i == 4 ? fix(i * 1000, 0, 0, 36) : straight.back());
        stray.push_back(i == 4 ? fix(i * 1000, 38.5, 127, 36) : straight.back());
        moved.push_back(i >= 5 ? fix(i * 1000, 38.5 + i * step, 127, 36) : straight.back());
        backwards.push_back(straight.back());
        invalid.push_back(fix(i * 1000, 37.5 + i * step, 127, 0, false));
        clockBack.push_back(straight.back());
        if (i >= 6)
            clockBack.back().hour = 9 - 1; // the GPS clock jumps an hour back
    }
    std::swap(backwards[3].timestampMs, backwards[6].timestampMs);
    const std::vector<Case> cases{
        {"straight", straight, 10, 0, 90, true},
        {"a (0, 0) fix", zero, 9, 0, 90, true},
        {"one stray fix far away", stray, 9, 0, 90, true},
        {"a real move after a lost fix", moved, 10, 1, 80, true},
        {"record times going backwards", backwards, 7, 0, 90, true},
        {"no valid fix", invalid, 0, 0, 0, false},
        {"GPS clock going back", clockBack, 10, 0, 90, true},
        {"no GPS at all", {}, 0, 0, 0, false},
    };
    for (const Case& c : cases) {
        const TrackSummary s = SummariseTrack(c.samples, int64_t(1000));
        EXPECT_EQ(s.points.size(), c.points) << c.name;
        int breaks = 0;
        for (const auto& p : s.points)
            breaks += p.breakBefore;
        EXPECT_EQ(breaks, c.breaks) << c.name;
        EXPECT_NEAR(s.distanceM, c.distanceM, 1.0) << c.name;
        EXPECT_EQ(s.startUtcMs.has_value(), c.dated) << c.name;
        if (c.dated)
            EXPECT_EQ(*s.startUtcMs, 1796688000000) << c.name; // 2026-12-08T00:00:00Z, even with a clock jump
        EXPECT_EQ(s.box.has_value(), c.points > 0) << c.name;
        // The drawing copy keeps the ends and every break, and survives a round trip through text.
        const auto thin = DecodeTrack(EncodeTrack(DecimateTrack(s.points)), 0);
        if (!s.points.empty()) {
            EXPECT_EQ(thin.front().offsetMs, s.points.front().offsetMs) << c.name;
            EXPECT_EQ(thin.back().offsetMs, s.points.back().offsetMs) << c.name;
        }
        int thinBreaks = 0;
        for (const auto& p : thin)
            thinBreaks += p.breakBefore;
        EXPECT_EQ(thinBreaks, c.breaks) << c.name;
    }
}

TEST(TripDrivingEvents, ThresholdsSmoothingAndSources) {
    struct Case {
        const char* name;
        std::function<double(int tick)> longitudinal; // G at each 100 ms
        std::function<double(int tick)> lateral;
        std::function<double(int second)> kmh;
        std::vector<DrivingEventType> expected;
    };
    auto none = [](int) { return 0.0; };
    auto cruise = [](int) { return 50.0; };
    const std::vector<Case> cases{
        {"quiet drive", none, none, cruise, {}},
        {"hard braking in the G-sensor",
         [](int t) { return t >= 100 && t < 120 ? -0.6 : 0.0; },
         none,
         cruise,
         {DrivingEventType::Braking}},
        {"ordinary braking", [](int t) { return t >= 100 && t < 140 ? -0.3 : 0.0; }, none, cruise, {}},
        {"one pothole", [](int t) { return t == 100 ? -1.2 : 0.0; }, none, cruise, {}},
        {"hard braking in the speed only",
         none,
         none,
         [](int s) { return s < 10   ? 50.0
                            : s < 13 ? 50.0 - (s - 9) * 20.0
                                     : 0.0; },
         {DrivingEventType::Braking}},
        {"hard acceleration",
         [](int t) { return t >= 50 && t < 70 ? 0.4 : 0.0; },
         none,
         cruise,
         {DrivingEventType::Acceleration}},
        {"hard cornering",
         none,
         [](int t) { return t >= 150 && t < 170 ? -0.55 : 0.0; },
         cruise,
         {DrivingEventType::Cornering}},
        {"speeding",
         none,
         none,
         [](int s) { return s >= 5 && s < 14 ? 101.0 : 99.0; },
         {DrivingEventType::Speeding}},
        {"speeding too briefly", none, none, [](int s) { return s >= 5 && s < 8 ? 101.0 : 99.0; }, {}},
    };
    for (const Case& c : cases) {
        std::vector<TrackPoint> points;
        std::vector<GsensorReading> g;
        for (int s = 0; s < 20; ++s) {
            TrackPoint p;
            p.offsetMs = s * 1000;
            p.lat = 37.5 + s * 14 / kMetresPerDegreeLat;
            p.lon = 127;
            p.kmh = c.kmh(s);
            points.push_back(p);
        }
        for (int t = 0; t < 200; ++t)
            g.push_back({t * 100 + 50, c.lateral(t), c.longitudinal(t), 1.0});
        const auto events = FindDrivingEvents(points, g, 1000000, EventThresholds{});
        std::vector<DrivingEventType> types;
        for (const auto& e : events) {
            types.push_back(e.type);
            EXPECT_TRUE(e.hasPlace) << c.name;
            EXPECT_EQ(e.utcMs, 1000000 + e.offsetMs) << c.name;
        }
        EXPECT_EQ(types, c.expected) << c.name;
    }
    // Without GPS the G-sensor still finds the event, without a place.
    std::vector<GsensorReading> g;
    for (int t = 0; t < 50; ++t)
        g.push_back({t * 100, 0, t >= 20 && t < 30 ? -0.7 : 0.0, 1});
    const auto events = FindDrivingEvents({}, g, 0, EventThresholds{});
    ASSERT_EQ(events.size(), 1u);
    EXPECT_FALSE(events[0].hasPlace);
    EXPECT_NEAR(events[0].offsetMs, 2000, 200);
}

TEST(TripSettings, DefaultsAndValuesOutOfRange) {
    TempDir settingsDir;
    SetSettingsDirectoryForTesting(settingsDir.path().string());
    TripSettings s = ReadTripSettings();
    EXPECT_EQ(s.gapMs, 180000);
    EXPECT_EQ(s.thresholds.key(), EventThresholds{}.key());
    EXPECT_EQ(s.server, "");
    EXPECT_NE(s.localPath.find("Quillent/trips.sqlite"), std::string::npos);

    WriteSetting("Trips/gapSeconds", "300");
    WriteSetting("Trips/brakingG", "0.6");
    WriteSetting("Trips/accelerationG", "lots"); // no number: the default stays
    WriteSetting("Trips/speedLimitKmh", "-20");  // out of range: the default stays
    WriteSetting("Trips/corneringG", "0.5 G");   // the number before the unit counts
    WriteSetting("Trips/database", (settingsDir.path() / "own.sqlite").string());
    s = ReadTripSettings();
    EXPECT_EQ(s.gapMs, 300000);
    EXPECT_DOUBLE_EQ(s.thresholds.brakingG, 0.6);
    EXPECT_DOUBLE_EQ(s.thresholds.accelerationG, 0.35);
    EXPECT_DOUBLE_EQ(s.thresholds.speedLimitKmh, 100);
    EXPECT_DOUBLE_EQ(s.thresholds.corneringG, 0.5);
    EXPECT_EQ(s.localPath, (settingsDir.path() / "own.sqlite").string());
    SetSettingsDirectoryForTesting("");
}

// The bad cases of the local file.
class TripIndexTrouble : public ::testing::Test {
protected:
    void SetUp() override { EnsureCoreApplication(); }
    TempDir dir;
};

TEST_F(TripIndexTrouble, DamagedFileIsSetAsideAndRebuilt) {
    const fs::path db = dir / "trips.sqlite";
    WriteFile(db, Bytes(8192, 0x33));
    std::string error, notice;
    auto index = TripIndex::open(IndexLocation::sqlite(db.string()), &error, &notice);
    ASSERT_TRUE(index) << error;
    EXPECT_NE(notice.find("damaged"), std::string::npos) << notice;
    int asideFiles = 0;
    for (const auto& e : fs::directory_iterator(dir.path()))
        asideFiles += e.path().filename().string().find("trips.sqlite.damaged-") == 0;
    EXPECT_EQ(asideFiles, 1);
    SampleCard card(dir / "card");
    EXPECT_TRUE(IndexCard(*index, card.root, {}).ok);
    EXPECT_EQ(index->recordings(CardKey(card.root)).size(), 5u);
}

TEST_F(TripIndexTrouble, SecondCopyCancelAndPulledCard) {
    SampleCard card(dir / "card");
    const fs::path db = dir / "trips.sqlite";
    std::string error;
    auto index = TripIndex::open(IndexLocation::sqlite(db.string()), &error);
    ASSERT_TRUE(index) << error;

    // Another copy is updating the index: this one says so and reads what is there.
    {
        QLockFile other(QString::fromStdString(db.string() + ".lock"));
        ASSERT_TRUE(other.tryLock(0));
        const IndexRunResult run = IndexCard(*index, card.root, {});
        EXPECT_TRUE(run.lockedByOther);
        EXPECT_FALSE(run.ok);
        EXPECT_NE(run.message.find("Another copy"), std::string::npos);
        EXPECT_TRUE(index->recordings(CardKey(card.root)).empty());
    }

    // Cancelled after two recordings: those two are kept.
    std::atomic<bool> cancel{false};
    IndexRunResult run = IndexCard(*index, card.root, {}, &cancel, [&](int done, int, const std::string&) {
        if (done == 2)
            cancel = true;
    });
    EXPECT_TRUE(run.cancelled);
    EXPECT_EQ(run.read, 2);
    EXPECT_EQ(index->recordings(CardKey(card.root)).size(), 2u);

    // The card goes away after the third: nothing indexed is lost, nothing is removed.
    const fs::path moved = dir / "gone";
    run = IndexCard(*index, card.root, {}, nullptr, [&](int done, int, const std::string&) {
        if (done == 3)
            fs::rename(card.root, moved);
    });
    EXPECT_TRUE(run.cardLost);
    EXPECT_NE(run.message.find("removed"), std::string::npos);
    EXPECT_EQ(run.removed, 0);
    EXPECT_EQ(index->recordings(CardKey(card.root)).size(), 3u);

    // Back again: the rest is read, the rest only.
    fs::rename(moved, card.root);
    run = IndexCard(*index, card.root, {});
    EXPECT_TRUE(run.ok);
    EXPECT_EQ(run.read, 2);
    EXPECT_EQ(run.unchanged, 3);
}

TEST_F(TripIndexTrouble, KilledMidRunLeavesAUsableIndex) {
    SampleCard card(dir / "card");
    const IndexLocation location = IndexLocation::sqlite((dir / "trips.sqlite").string());
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Killed in the middle of the second transaction, as by a power cut or kill -9.
        std::string error;
        auto index = TripIndex::open(location, &error);
        IndexRunOptions options;
        options.recordingsPerTransaction = 2;
        IndexCard(*index, card.root, options, nullptr, [](int done, int, const std::string&) {
            if (done == 3)
                raise(SIGKILL);
        });
        _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status));

    std::string error, notice;
    auto index = TripIndex::open(location, &error, &notice);
    ASSERT_TRUE(index) << error;
    EXPECT_EQ(notice, "");
    EXPECT_EQ(index->recordings(CardKey(card.root)).size(), 2u); // the first transaction
    const IndexRunResult run = IndexCard(*index, card.root, {});
    EXPECT_TRUE(run.ok) << run.message; // the dead copy's lock is no obstacle
    EXPECT_EQ(run.read, 3);
}

TEST_F(TripIndexTrouble, BackgroundRunReportsProgressAndCanBeCancelled) {
    SampleCard card(dir / "card");
    const IndexLocation location = IndexLocation::sqlite((dir / "trips.sqlite").string());
    BackgroundIndexer indexer;
    std::vector<int> done;
    IndexRunResult result;
    QEventLoop loop;
    QObject::connect(&indexer, &BackgroundIndexer::progress, [&](int d, int total, const QString&) {
        done.push_back(d);
        EXPECT_EQ(total, 5);
    });
    QObject::connect(&indexer, &BackgroundIndexer::finished, [&](const IndexRunResult& r) {
        result = r;
        loop.quit();
    });
    QTimer::singleShot(30000, &loop, &QEventLoop::quit);
    ASSERT_TRUE(indexer.start(location, card.root, {}));
    EXPECT_FALSE(indexer.start(location, card.root, {})) << "one run at a time";
    loop.exec();
    EXPECT_TRUE(result.ok) << result.message;
    EXPECT_EQ(result.read, 5);
    ASSERT_FALSE(done.empty());
    EXPECT_EQ(done.back(), 5);
    EXPECT_TRUE(std::is_sorted(done.begin(), done.end()));

    // Cancelled at once: stops with its message, and the window's own connection reads the index.
    fs::last_write_time(card.root / "NORMAL" / card.bName,
                        fs::file_time_type::clock::now() - std::chrono::hours(1));
    indexer.cancel();
    ASSERT_TRUE(indexer.start(location, card.root, {}));
    indexer.cancel();
    loop.exec();
    EXPECT_TRUE(result.cancelled || result.ok);
    std::string error;
    auto index = TripIndex::open(location, &error);
    ASSERT_TRUE(index) << error;
    EXPECT_EQ(index->recordings(CardKey(card.root)).size(), 5u);
}

TEST_F(TripIndexTrouble, SharedServerDownOrRefusingFallsBackToTheLocalIndex) {
    struct Case {
        const char* name;
        std::string url;
    };
    ASSERT_TRUE(postgres().running()) << postgres().error();
    const std::vector<Case> cases{
        {"server down",
         "postgresql://quillent:x@127.0.0.1:" + std::to_string(LocalPostgres::freePort()) + "/postgres"},
        {"login refused", postgres().url("wrong-password")},
        {"no server address", "postgresql:///"},
    };
    for (const Case& c : cases) {
        TripSettings settings;
        settings.server = c.url;
        settings.localPath = (dir / (std::string(c.name) + ".sqlite")).string();
        std::string error, notice;
        auto index = OpenTripIndex(settings, &error, &notice);
        ASSERT_TRUE(index) << c.name << ": " << error;
        EXPECT_EQ(index->dialect(), SqlDialect::Sqlite) << c.name;
        EXPECT_NE(notice.find("local index is used instead"), std::string::npos) << c.name << ": " << notice;
        EXPECT_EQ(notice.find("wrong-password"), std::string::npos) << "a password in a message";
    }
}

} // namespace
