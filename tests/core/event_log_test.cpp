// The camera's event log and its CSV export.
//
// Golden file: tests/data/eventlog.csv is the export of tests/data/eventlog.bin. After an intended
// change of the CSV format, refresh it with
//   QUILLENT_REFRESH_GOLDEN=1 build/tests/core_tests --gtest_filter=EventLog.MatchesGoldenCsv
// and review the diff before committing.
#include "core/common/CText.h"
#include "core/tools/EventLog.h"
#include "support/ContainerFixtures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <clocale>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

const fs::path kData = QUILLENT_TEST_DATA;

std::string header() {
    return std::string(kEventLogCsvHeader) + "\r\n";
}

// The sample log gives the golden CSV; an empty log gives the header only.
TEST(EventLog, ExportsMatchTheirExpectedCsv) {
    const fs::path empty = TempPath("empty.bin");
    std::ofstream(empty).close();
    const struct {
        fs::path log;
        int lines;
        std::string csv;
    } cases[] = {{kData / "eventlog.bin", 5, ReadText(kData / "eventlog.csv")}, {empty, 0, header()}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.log.filename().string());
        const fs::path out = TempPath(c.log.stem().string() + ".csv");
        EventLogExportResult r = ExportEventLog(c.log, out);
        ASSERT_TRUE(r.ok) << r.error;
        EXPECT_EQ(r.lines, c.lines);
        if (c.lines > 0 && std::getenv("QUILLENT_REFRESH_GOLDEN")) {
            fs::copy_file(out, kData / "eventlog.csv", fs::copy_options::overwrite_existing);
            continue;
        }
        EXPECT_EQ(ReadText(out), c.csv);
    }
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

TEST(EventLog, StopsAtDecreasingOrderingAndLeavesOutACutRecord) {
    fs::path out = TempPath("wrapped.csv");
    EventLogExportResult wrapped = ExportEventLog(kData / "broken-eventlog-wrapped.bin", out);
    ASSERT_TRUE(wrapped.ok);
    EXPECT_EQ(wrapped.lines, 2);

    // The second record holds 20 of its 172 bytes: nothing of it is exported.
    auto shortLog = ReadText(kData / "broken-eventlog-short.bin");
    auto records =
        ReadEventLog(std::span(reinterpret_cast<const uint8_t*>(shortLog.data()), shortLog.size()));
    ASSERT_EQ(records.size(), 1u);
    EventLogExportResult cut = ExportEventLog(kData / "broken-eventlog-short.bin", out);
    ASSERT_TRUE(cut.ok);
    EXPECT_EQ(cut.lines, 1);
    EXPECT_NE(cut.note.find("cut short (20 of 172 bytes)"), std::string::npos) << cut.note;

    // A first record below -1 already counts as decreasing.
    EventLogRecord negative;
    negative.month = 1;
    negative.day = 1;
    negative.ordering = -2;
    auto bytes = EncodeEventLogRecord(negative);
    EXPECT_TRUE(ReadEventLog(bytes).empty());
    negative.ordering = -1;
    EXPECT_EQ(ReadEventLog(EncodeEventLogRecord(negative)).size(), 1u);
}

TEST(EventLog, FailuresLeaveFilesAlone) {
    fs::path out = TempPath("untouched.csv");
    { std::ofstream(out, std::ios::binary) << "keep"; }
    EventLogExportResult missing = ExportEventLog(TempPath("missing.bin"), out);
    EXPECT_FALSE(missing.ok);
    EXPECT_FALSE(missing.error.empty());
    EXPECT_EQ(ReadText(out), "keep");
    EXPECT_FALSE(ExportEventLog(out.parent_path(), TempPath("from-folder.csv")).ok);

    // The CSV chosen over the log itself would destroy it.
    fs::path log = TempPath("self.bin");
    fs::copy_file(kData / "eventlog.bin", log, fs::copy_options::overwrite_existing);
    EventLogExportResult self = ExportEventLog(log, log);
    EXPECT_FALSE(self.ok);
    EXPECT_EQ(ReadText(log), ReadText(kData / "eventlog.bin"));

    EXPECT_FALSE(ExportEventLog(kData / "eventlog.bin", TempPath("no-dir") / "x" / "out.csv").ok);
}

// Damaged logs: nothing is invented. A record cut before its last exported field is left out and
// said so; erased space ends the log; numbers no camera writes are left empty.
TEST(EventLog, DamagedLogsInventNothing) {
    EventLogRecord good;
    good.ordering = 7;
    good.type = 1;
    good.year = 24;
    good.month = 1;
    good.day = 2;
    good.speed = 12.5f;
    const std::vector<uint8_t> record = EncodeEventLogRecord(good);
    auto cut = [&](size_t n) { return std::string(record.begin(), record.begin() + ptrdiff_t(n)); };
    EventLogRecord odd = good;
    odd.speed = std::numeric_limits<float>::quiet_NaN();
    odd.direction = std::numeric_limits<float>::infinity();
    odd.latitude = 1e308;
    odd.longitude = -37.5;
    const std::vector<uint8_t> oddRecord = EncodeEventLogRecord(odd);
    struct Case {
        std::string name, log;
        int lines;
        std::string noteHas; // empty: no note
    };
    const std::string whole(record.begin(), record.end());
    const std::vector<Case> cases = {
        {"one byte", "x", 0, "cut short (1 of 172"},
        {"cut at 100", whole + cut(100), 1, "cut short (100 of 172"},
        {"cut after the fields", whole + cut(120), 2, ""},
        {"erased", std::string(21 * 172, '\xFF'), 0, "unwritten"},
        {"zeros after records", whole + std::string(2 * 172, '\0'), 1, "unwritten"},
        {"odd numbers", std::string(oddRecord.begin(), oddRecord.end()), 1, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::path log = TempPath("damaged.bin"), out = TempPath("damaged.csv");
        { std::ofstream(log, std::ios::binary) << c.log; }
        EventLogExportResult r = ExportEventLog(log, out);
        ASSERT_TRUE(r.ok) << r.error;
        EXPECT_EQ(r.lines, c.lines);
        if (c.noteHas.empty())
            EXPECT_EQ(r.note, "");
        else
            EXPECT_NE(r.note.find(c.noteHas), std::string::npos) << r.note;
        const std::string csv = ReadText(out);
        EXPECT_EQ(size_t(std::count(csv.begin(), csv.end(), '\n')), size_t(c.lines) + 1);
        EXPECT_EQ(csv.find("nan"), std::string::npos);
        EXPECT_EQ(csv.find("inf"), std::string::npos);
        EXPECT_EQ(csv.find("0,0,0,0,0,0,"), std::string::npos) << "no all-zero line";
    }
    // NaN and infinities have no digits; every finite number is written as the camera wrote it.
    EXPECT_EQ(FormatEventLogLine(odd),
              "24,1,2,0,0,0,Shock,,," + FormatFixed6(1e308) + ",-37.500000,0.000000,0.000000,0.000000,0.000000");
}

TEST(EventLog, LargeFiniteNumbersAreWrittenInFull) {
    const struct {
        double value;
        const char* text;
    } cases[] = {
        {33999998976.0, "33999998976.000000"},
        {1e9, "1000000000.000000"},
        {-1e9, "-1000000000.000000"},
        {999999999.5, "999999999.500000"},
    };
    for (const auto& c : cases) {
        EventLogRecord e;
        e.year = 26, e.month = 1, e.day = 2;
        e.speed = float(c.value);
        e.latitude = c.value;
        const std::string line = FormatEventLogLine(e);
        EXPECT_NE(line.find("," + FormatFixed6(double(float(c.value))) + ","), std::string::npos) << line;
        EXPECT_NE(line.find(std::string(",") + c.text + ","), std::string::npos) << line;
    }
}

TEST(EventLog, WhatIsNoEventLogIsRefused) {
    std::string recording;
    {
        std::ifstream in(kData / "camera-1ch.qmv", std::ios::binary);
        recording.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    std::string random;
    uint32_t x = 99;
    for (int i = 0; i < 172 * 5; ++i) {
        x = x * 1103515245u + 12345u;
        random += char(x >> 24);
    }
    const struct {
        const char* name;
        std::string bytes;
    } cases[] = {
        {"a recording", recording},
        {"random bytes", random},
        {"text", std::string(400, 'a')},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path log = TempPath("not-a-log.bin"), csv = TempPath("not-a-log.csv");
        { std::ofstream(log, std::ios::binary) << c.bytes; }
        fs::remove(csv);
        EventLogExportResult r = ExportEventLog(log, csv);
        EXPECT_FALSE(r.ok);
        EXPECT_NE(r.error.find("is not an event log"), std::string::npos) << r.error;
        EXPECT_EQ(r.lines, 0);
        EXPECT_FALSE(fs::exists(csv));
    }
}

// Output paths that are not plain files: a pipe or device is refused and left as it is, a
// symbolic link is followed and stays a link, and a full disk keeps the previous CSV.
TEST(EventLog, OutputThroughLinksAndSpecialFilesAndAFullDisk) {
    const fs::path fifo = TempPath("target.fifo");
    fs::remove(fifo);
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EventLogExportResult r = ExportEventLog(kData / "eventlog.bin", fifo);
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.error.find("not a regular file"), std::string::npos) << r.error;
    EXPECT_TRUE(fs::is_fifo(fifo)) << "the pipe is still there";

    const fs::path real = TempPath("real.csv"), link = TempPath("link.csv");
    fs::remove(link);
    { std::ofstream(real) << "old"; }
    fs::create_symlink(real.filename(), link);
    ASSERT_TRUE(ExportEventLog(kData / "eventlog.bin", link).ok);
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(ReadText(real), ReadText(kData / "eventlog.csv"));

    // A log source that is a pipe is refused at once instead of waiting for a writer.
    pid_t child = fork();
    if (child == 0) {
        alarm(30); // a hang shows as a failure, not as a stuck test run
        _exit(ExportEventLog(fifo, TempPath("from-fifo.csv")).ok ? 1 : 0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;

    // A file size limit stands in for a full disk; root ignores file modes but not this limit.
    const fs::path previous = TempPath("previous.csv");
    { std::ofstream(previous) << "previous"; }
    child = fork();
    if (child == 0) {
        signal(SIGXFSZ, SIG_IGN);
        rlimit limit{200, 200};
        setrlimit(RLIMIT_FSIZE, &limit);
        _exit(ExportEventLog(kData / "eventlog.bin", previous).ok ? 1 : 0);
    }
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
    EXPECT_EQ(ReadText(previous), "previous");
    for (const auto& e : fs::directory_iterator(previous.parent_path()))
        EXPECT_EQ(e.path().string().find(".part"), std::string::npos) << e.path();
}

} // namespace
