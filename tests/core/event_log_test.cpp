// The camera's event log and its CSV export.
//
// Golden file: tests/data/eventlog.csv is the export of tests/data/eventlog.bin. After an intended
// change of the CSV format, refresh it with
//   QUILLENT_REFRESH_GOLDEN=1 build/tests/event_log_test --gtest_filter=EventLog.MatchesGoldenCsv
// and review the diff before committing.
#include "core/tools/EventLog.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

const fs::path kData = QUILLENT_TEST_DATA;

std::string readFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

fs::path tempPath(const std::string& name) {
    fs::path dir = fs::temp_directory_path() / ("quillent-eventlog-test-" + std::to_string(getpid()));
    fs::create_directories(dir);
    return dir / name;
}

std::string header() {
    return std::string(kEventLogCsvHeader) + "\r\n";
}

TEST(EventLog, MatchesGoldenCsv) {
    fs::path out = tempPath("golden.csv");
    EventLogExportResult r = ExportEventLog(kData / "eventlog.bin", out);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.lines, 5);
    if (std::getenv("QUILLENT_REFRESH_GOLDEN"))
        fs::copy_file(out, kData / "eventlog.csv", fs::copy_options::overwrite_existing);
    EXPECT_EQ(readFile(out), readFile(kData / "eventlog.csv"));
}

TEST(EventLog, LineFormatAndTypeNames) {
    EventLogRecord e;
    e.year = 24;
    e.month = 1;
    e.day = 2;
    e.type = 5;
    e.speed = 12.5f;
    e.latitude = 3723.2475;
    EXPECT_EQ(FormatEventLogLine(e), "24,1,2,0,0,0,Sudden Accel.,12.500000,0.000000,3723.247500,0.000000,"
                                     "0.000000,0.000000,0.000000,0.000000");
    EXPECT_EQ(EventTypeName(12), "Quick play");
    EXPECT_EQ(EventTypeName(13), ""); // between two named codes
    EXPECT_EQ(EventTypeName(18), "Custom Event");
    EXPECT_EQ(EventTypeName(202), "OTA");
    EXPECT_EQ(EventTypeName(0), "");
    EXPECT_EQ(EventTypeName(-1), "");

    // A process locale with a decimal comma must not change the file.
    const char* old = std::setlocale(LC_NUMERIC, nullptr);
    std::string saved = old ? old : "C";
    if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8")) {
        EXPECT_NE(FormatEventLogLine(e).find("12.500000"), std::string::npos);
    }
    std::setlocale(LC_NUMERIC, saved.c_str());
}

TEST(EventLog, StopsAtDecreasingOrderingAndZeroFillsShortRecord) {
    fs::path out = tempPath("wrapped.csv");
    EventLogExportResult wrapped = ExportEventLog(kData / "broken-eventlog-wrapped.bin", out);
    ASSERT_TRUE(wrapped.ok);
    EXPECT_EQ(wrapped.lines, 2);

    auto shortLog = readFile(kData / "broken-eventlog-short.bin");
    auto records =
        ReadEventLog(std::span(reinterpret_cast<const uint8_t*>(shortLog.data()), shortLog.size()));
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[1].ordering, 101);
    EXPECT_EQ(records[1].type, 1);
    EXPECT_EQ(records[1].speed, 0.0f);
    EXPECT_EQ(records[1].year, 0);

    // A first record below -1 already counts as decreasing.
    EventLogRecord negative;
    negative.ordering = -2;
    auto bytes = EncodeEventLogRecord(negative);
    EXPECT_TRUE(ReadEventLog(bytes).empty());
    negative.ordering = -1;
    EXPECT_EQ(ReadEventLog(EncodeEventLogRecord(negative)).size(), 1u);
}

TEST(EventLog, EmptyLogGivesHeaderOnly) {
    fs::path log = tempPath("empty.bin");
    std::ofstream(log).close();
    fs::path out = tempPath("empty.csv");
    EventLogExportResult r = ExportEventLog(log, out);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.lines, 0);
    EXPECT_EQ(readFile(out), header());
}

TEST(EventLog, FailuresLeaveFilesAlone) {
    fs::path out = tempPath("untouched.csv");
    { std::ofstream(out, std::ios::binary) << "keep"; }
    EventLogExportResult missing = ExportEventLog(tempPath("missing.bin"), out);
    EXPECT_FALSE(missing.ok);
    EXPECT_FALSE(missing.error.empty());
    EXPECT_EQ(readFile(out), "keep");
    EXPECT_FALSE(ExportEventLog(out.parent_path(), tempPath("from-folder.csv")).ok);

    // The CSV chosen over the log itself would destroy it.
    fs::path log = tempPath("self.bin");
    fs::copy_file(kData / "eventlog.bin", log, fs::copy_options::overwrite_existing);
    EventLogExportResult self = ExportEventLog(log, log);
    EXPECT_FALSE(self.ok);
    EXPECT_EQ(readFile(log), readFile(kData / "eventlog.bin"));

    EXPECT_FALSE(ExportEventLog(kData / "eventlog.bin", tempPath("no-dir") / "x" / "out.csv").ok);
}

} // namespace
