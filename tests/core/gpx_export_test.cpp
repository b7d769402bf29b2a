// GPS track export as GPX 1.1.
#include "core/tools/GpxExport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>

namespace {

std::vector<uint8_t> bytes(const std::string& s) {
    return std::vector<uint8_t>(s.begin(), s.end());
}

TEST(GpxExport, DegreesAndUtcTime) {
    EXPECT_NEAR(NmeaToDegrees(3723.2475), 37.387458, 1e-6);
    EXPECT_NEAR(NmeaToDegrees(-12658.3416), -126.972360, 1e-6);
    EXPECT_EQ(NmeaToDegrees(0), 0);

    CWBCTextData store; // 23:15 UTC is stored as hour 32; the date stays that of the UTC day
    store.AddRecord(0, bytes("$GPRMC,231500,A,3723.2475,N,12658.3416,E,10,84.4,311224"));
    ASSERT_EQ(store.gps().size(), 1u);
    EXPECT_EQ(GpxTime(store.gps()[0]), "2024-12-31T23:15:00Z");
    store.AddRecord(0, bytes("$GPRMC,231500,A,3723.2475,N"));
    EXPECT_EQ(GpxTime(store.gps()[1]), std::nullopt);
}

TEST(GpxExport, KeepsValidPositionsWithSpeedInMetresPerSecond) {
    CWBCTextData store;
    store.AddRecord(0, bytes("$GPRMC,010203,A,3723.2475,N,12658.3416,E,10,84.4,070524,,,A,0"));
    store.AddRecord(1000, bytes("$GPRMC,010204,V,3723.2475,N,12658.3416,E,10,84.4,070524,,,A,0"));
    store.AddRecord(2000, bytes("$GPRMC,010205,A,,,,,,,070524"));
    store.AddRecord(3000, bytes("$GPRMC,010206,A,9999.0,N,0,E,0,0,070524"));
    int points = 0;
    std::string gpx = MakeGpx(store.gps(), "a<b&c", &points);
    EXPECT_EQ(points, 1);
    EXPECT_NE(gpx.find("<gpx version=\"1.1\""), std::string::npos);
    EXPECT_NE(gpx.find("<name>a&lt;b&amp;c</name>"), std::string::npos);
    EXPECT_NE(gpx.find("<trkpt lat=\"37.387458\" lon=\"126.972360\">"), std::string::npos);
    EXPECT_NE(gpx.find("<time>2024-05-07T01:02:03Z</time>"), std::string::npos);
    EXPECT_NE(gpx.find("<gpxtpx:speed>5.14</gpxtpx:speed>"), std::string::npos); // 10 kn
    EXPECT_NE(gpx.find("<gpxtpx:course>84.4</gpxtpx:course>"), std::string::npos);

    auto path = std::filesystem::temp_directory_path() / "quillent-gpx-test.gpx";
    GpxExportResult r = WriteGpx(store.gps(), "track", path);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.points, 1);
    std::ifstream in(path);
    std::string written((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(written, MakeGpx(store.gps(), "track"));
    std::filesystem::remove(path);
    EXPECT_FALSE(WriteGpx(store.gps(), "x", "/nonexistent-dir/x.gpx").ok);
}

} // namespace

#include "core/container/RecordingWriter.h"
#include "core/tools/RecordingGpx.h"
#include "core/trackdata/InformationRecord.h"

namespace {

TEST(GpxExport, FromARecordingFileThroughTheRecordLoop) {
    namespace fs = std::filesystem;
    fs::path dir = fs::temp_directory_path() / ("quillent-gpx-rec-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    fs::path recording = dir / "RTC20261207_080000.qmv";
    RecordingLayout layout;
    layout.video.push_back({320, 240, 30, 1});
    std::string error;
    auto writer = RecordingWriter::create(recording, layout, RecordingForm::Camera, &error);
    ASSERT_TRUE(writer) << error;
    const uint8_t frame[] = {0, 0, 0, 1, 0x65, 0x88, 0x84, 0x00};
    ASSERT_TRUE(writer->writeVideoFrame(0, frame, sizeof frame, true));
    auto info = MakeInformationRecord({"Co", "Van", "Driver", "1.6.3.5", "SN"}, "", "");
    ASSERT_TRUE(writer->writeRecord(0, info.data(), info.size()));
    for (int i = 0; i < 3; ++i) {
        std::string s =
            "$GPRMC,23000" + std::to_string(i) + ",A,3723.2475,N,12658.3416,E,10,84.4,061226,,,A,0";
        ASSERT_TRUE(writer->writeRecord(i * 1000, reinterpret_cast<const uint8_t*>(s.data()), s.size() + 1));
    }
    ASSERT_TRUE(writer->finish());
    writer.reset();

    GpxExportResult r = ExportRecordingGpx(recording, dir / "track.gpx");
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.points, 3);
    std::ifstream in(dir / "track.gpx");
    std::string gpx((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(gpx.find("<time>2026-12-06T23:00:02Z</time>"), std::string::npos);

    EXPECT_FALSE(ExportRecordingGpx(dir / "missing.qmv", dir / "x.gpx").ok);
    GpxExportResult mp4 = ExportRecordingGpx(fs::path(QUILLENT_TEST_DATA) / "plain.mp4", dir / "x.gpx");
    EXPECT_NE(mp4.error.find("carries no data records"), std::string::npos) << mp4.error;
    // A damaged header that lost the data stream's description still has its GPS records.
    GpxExportResult damaged =
        ExportRecordingGpx(fs::path(QUILLENT_TEST_DATA) / "broken-header-sizes.qmv", dir / "x.gpx");
    ASSERT_TRUE(damaged.ok) << damaged.error;
    EXPECT_EQ(damaged.points, 3);
    fs::remove(dir / "x.gpx");

    // The recording itself as the output (here through another spelling) is refused untouched.
    const auto recordingSize = fs::file_size(recording);
    GpxExportResult over = ExportRecordingGpx(recording, dir / "." / recording.filename());
    EXPECT_FALSE(over.ok);
    EXPECT_FALSE(over.error.empty());
    EXPECT_EQ(fs::file_size(recording), recordingSize);

    // A write that cannot complete leaves what was there and no temporary file behind.
    fs::create_directories(dir / "busy.gpx" / "inside");
    GpxExportResult busy = ExportRecordingGpx(recording, dir / "busy.gpx");
    EXPECT_FALSE(busy.ok);
    EXPECT_TRUE(fs::is_directory(dir / "busy.gpx" / "inside"));
    size_t files = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir))
        ++files;
    EXPECT_EQ(files, 3u); // the recording, track.gpx and busy.gpx
    fs::remove_all(dir);
}

} // namespace
