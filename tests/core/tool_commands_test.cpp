// quillent-tool's container commands as a user runs them: exit codes, messages and output.
// Not built in core-only builds, which have no programs.
#include "core/container/Riff.h"
#include "core/container/ScrambledCopy.h"
#include "support/ContainerFixtures.h"
#include "tests/support/ShellCommand.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

using Result = ShellResult;

// timeoutSeconds > 0 ends a command that hangs (the result is then a failure).
Result Tool(const std::string& args, int timeoutSeconds = 0) {
    const std::string prefix = timeoutSeconds > 0 ? "timeout " + std::to_string(timeoutSeconds) + " " : "";
    return runShell(prefix + builtProgram("quillent-tool") + " " + args);
}

class ToolCommands : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(fs::exists(fs::path(QUILLENT_BIN_DIR) / "quillent-tool")) << "quillent-tool is not built";
    }
    TempDir dir;
};

} // namespace

TEST_F(ToolCommands, UsageErrorsExitWithTwo) {
    EXPECT_EQ(Tool("--help").exitCode, 0);
    EXPECT_EQ(Tool("").exitCode, 2);
    Result r = Tool("frobnicate");
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.output.find("unknown command"), std::string::npos);
    r = Tool("convert x.qmv");
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.output.find("--to"), std::string::npos);
    EXPECT_EQ(Tool("records").exitCode, 2);
    EXPECT_EQ(Tool("convert --help").exitCode, 0);
    // A picture command is handed over to the media program beside the tool (its usage error comes
    // from there); a tool without it says so instead of failing silently.
    r = Tool("snapshot");
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.output.find("quillent-tool snapshot:"), std::string::npos) << r.output;
    fs::copy_file(fs::path(QUILLENT_BIN_DIR) / "quillent-tool", dir / "quillent-tool");
    r = runShell("'" + (dir / "quillent-tool").string() + "' merge --mp4 --to '" + dir.path().string() + "' x.qmv");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.output.find("cannot start"), std::string::npos) << r.output;
}

TEST_F(ToolCommands, ConvertAndCopyWithClearFailures) {
    WriteSynthetic(dir / "a.qmv", RecordingForm::Camera, true);
    fs::create_directories(dir / "out");
    Result r = Tool("convert --to '" + (dir / "out").string() + "' '" + (dir / "a.qmv").string() + "' '" +
                    (dir / "missing.qmv").string() + "'");
    EXPECT_EQ(r.exitCode, 1) << "one of two failed";
    EXPECT_TRUE(fs::exists(dir / "out" / "a.qmv.avi"));
    EXPECT_NE(r.output.find("missing.qmv: No such file or directory"), std::string::npos) << r.output;
    r = Tool("convert --copy --to '" + (dir / "out").string() + "' '" + (dir / "a.qmv").string() + "'");
    EXPECT_EQ(r.exitCode, 0) << r.output;
    EXPECT_EQ(ReadFile(dir / "out" / "a.qmv"), ReadFile(dir / "a.qmv"));
    r = Tool("convert --to '" + (dir / "nowhere").string() + "' '" + (dir / "a.qmv").string() + "'");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.output.find("is not a folder"), std::string::npos);
}

TEST_F(ToolCommands, RecordsAndInfo) {
    WriteSynthetic(dir / "a.qmv", RecordingForm::Camera, false);
    Result r = Tool("records '" + (dir / "a.qmv").string() + "'");
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_NE(r.output.find("00:00.333  ? 52 31"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("6 records"), std::string::npos);
    r = Tool("info '" + (dir / "a.qmv").string() + "'");
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_NE(r.output.find("camera (unfinished, no index)"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("2 channel(s)"), std::string::npos);
    WriteFile(dir / "junk.qmv", Text("no recording"));
    r = Tool("info '" + (dir / "junk.qmv").string() + "'");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.output.find("junk.qmv: file too short"), std::string::npos) << r.output;
}

TEST_F(ToolCommands, OutputNamingTheInputIsRefused) {
    WriteSynthetic(dir / "a.qmv", RecordingForm::Camera, true);
    const Bytes before = ReadFile(dir / "a.qmv");
    const std::string same = "'" + (dir / "a.qmv").string() + "' '" + (dir / "." / "a.qmv").string() + "'";
    Result r = Tool("snapshot --at 0 " + same);
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.output.find("must not be the recording itself"), std::string::npos) << r.output;
    r = Tool("gpx " + same);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.output.find("must not be the recording itself"), std::string::npos) << r.output;
    r = Tool("export-log " + same);
    EXPECT_EQ(r.exitCode, 1);
    r = Tool("convert --copy --to '" + dir.path().string() + "' '" + (dir / "a.qmv").string() + "'");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.output.find("the copy would be the recording itself"), std::string::npos) << r.output;
    EXPECT_EQ(ReadFile(dir / "a.qmv"), before);
}

// Inputs a card or a mistaken choice gives: each command says what is wrong on standard error,
// never blocks on a pipe, and exits 0 only for a whole result (3 when damaged parts were left out).
TEST_F(ToolCommands, DamagedAndWrongInputsSayWhy) {
    const fs::path data = QUILLENT_TEST_DATA;
    const std::string out = "'" + (dir / "out").string() + "'";
    fs::create_directories(dir / "out");

    // A pipe named like a recording or a log: refused at once ("timeout" turns a hang into a failure).
    ASSERT_EQ(::mkfifo((dir / "pipe.qmv").c_str(), 0600), 0);
    const std::string pipe = "'" + (dir / "pipe.qmv").string() + "'";
    for (const std::string& command :
         {"info " + pipe, "records " + pipe, "convert --to " + out + " " + pipe,
          "convert --copy --to " + out + " " + pipe, "gpx " + pipe + " " + out + "/x.gpx",
          "export-log " + pipe + " " + out + "/x.csv"}) {
        Result r = Tool(command, 30);
        EXPECT_EQ(r.exitCode, 1) << command << "\n" << r.output;
        EXPECT_NE(r.output.find("not a regular file"), std::string::npos) << command << "\n" << r.output;
    }

    // Not recordings: the card's MP4 and an event log are refused, with no output file.
    Result r = Tool("convert --to " + out + " '" + (data / "plain.mp4").string() + "' '" +
                    (data / "eventlog.bin").string() + "'");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.output.find("MP4 recording plays as it is"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("eventlog.bin: not a camera recording"), std::string::npos) << r.output;
    EXPECT_TRUE(fs::is_empty(dir / "out"));

    // A recording cut short converts with a warning and exit code 3.
    const Bytes camera = ReadFile(data / "camera-1ch.qmv");
    WriteFile(dir / "cut.qmv", Bytes(camera.begin(), camera.begin() + ptrdiff_t(camera.size() / 2)));
    r = Tool("convert --to " + out + " '" + (dir / "cut.qmv").string() + "'");
    EXPECT_EQ(r.exitCode, 3) << r.output;
    EXPECT_NE(r.output.find("warning: "), std::string::npos) << r.output;
    EXPECT_TRUE(fs::exists(dir / "out" / "cut.qmv.avi"));

    // A one-byte log is a record cut short: no line is invented.
    WriteFile(dir / "one.bin", Text("x"));
    r = Tool("export-log '" + (dir / "one.bin").string() + "' " + out + "/one.csv");
    EXPECT_EQ(r.exitCode, 3) << r.output;
    EXPECT_NE(r.output.find("0 event(s) written"), std::string::npos) << r.output;

    // A one-byte "S" record shows no bytes of the record before it.
    const Bytes hdrl = List("hdrl", Chunk("avih", Bytes(56, 0)));
    const Bytes movi = Cat(
        {Chunk("02tx", Cat({Le32(1), Text("$GPRMC,ABCDEFGH")})), Chunk("02tx", Cat({Le32(2), Text("S")}))});
    WriteFile(dir / "s.qmv", Cat({Text("QMV1"), Le32(0), Text("QAVI"), hdrl, List("movi", movi)}));
    r = Tool("records '" + (dir / "s.qmv").string() + "'");
    EXPECT_EQ(r.exitCode, 0) << r.output;
    EXPECT_NE(r.output.find("00:00.002  S G-sensor, code 0: \n"), std::string::npos) << r.output;

    // A damaged stream header: the values that cannot be right are not printed as if they were.
    const Bytes strh = Cat({Text("vids"), Text("H264"), Bytes(12, 0), Le32(1), Le32(1), Le32(0),
                            Le32(0xFFFFFFF0), Bytes(20, 0)});
    const Bytes strf =
        Cat({Le32(40), Le32(0xFFFFFFFF), Le32(0xFFFFFFFF), Bytes(4, 0), Text("H264"), Bytes(20, 0)});
    const Bytes damagedHdrl = List(
        "hdrl",
        Cat({Chunk("avih", Bytes(56, 0)), List("strl", Cat({Chunk("strh", strh), Chunk("strf", strf)}))}));
    Bytes finished = Cat(
        {Text("QMV1"), Le32(0), Text("QAVI"), damagedHdrl, List("movi", Chunk("00dc", {0, 0, 0, 1, 0x65}))});
    writeLe32(finished.data() + 4, uint32_t(finished.size() - 8));
    WriteFile(dir / "h.qmv", finished);
    r = Tool("info '" + (dir / "h.qmv").string() + "'");
    EXPECT_EQ(r.exitCode, 0) << r.output;
    EXPECT_EQ(r.output.find("4294967295"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("picture size in the header is damaged"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("duration:  unknown"), std::string::npos) << r.output;
}

// A recording past 4 GiB (a sparse file) is not called finished and indexed.
TEST_F(ToolCommands, InfoTellsARecordingPastFourGigabytesCannotBePlayed) {
    WriteSynthetic(dir / "huge.qmv", RecordingForm::Camera, true);
    ASSERT_EQ(::truncate((dir / "huge.qmv").c_str(), off_t(kMaxRecordingSize + 4096)), 0);
    Result r = Tool("info '" + (dir / "huge.qmv").string() + "'");
    EXPECT_EQ(r.exitCode, 0) << r.output;
    EXPECT_EQ(r.output.find("finished"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("over 4 GiB, cannot be played"), std::string::npos) << r.output;
}

// A scrambled copy whose announcement chunk was changed: every command says so; none writes.
TEST_F(ToolCommands, AChangedScrambledCopyIsReportedByEveryCommand) {
    WriteSynthetic(dir / "a.qmv", RecordingForm::Camera, true);
    ASSERT_TRUE(ScrambledCopy(dir / "copy.qmv", dir / "a.qmv").ok());
    Bytes bad = ReadFile(dir / "copy.qmv");
    size_t chunk = 12;
    while (chunk + 4 <= bad.size() && readLe32(bad.data() + chunk) != fourcc("qscr"))
        ++chunk;
    ASSERT_LT(chunk + 4, bad.size());
    bad[chunk + 1] ^= 0x04; // "qscr" -> "qwcr"
    const fs::path file = dir / "changed.qmv";
    WriteFile(file, bad);
    fs::create_directories(dir / "out");
    const std::string f = shellQuoted(file), out = shellQuoted(dir / "out");
    const struct {
        std::string args;
        int exitCode;
    } commands[] = {
        {"copy --verify " + f, 1},
        {"copy --clear " + f + " " + shellQuoted(dir / "out" / "clear.qmv"), 1},
        {"convert --to " + out + " " + f, 1},
        {"merge --to " + out + " " + f, 1},
        {"merge --mp4 --to " + out + " " + f, 1},
        {"snapshot --at 0 " + f + " " + shellQuoted(dir / "out" / "shot.jpg"), 1},
        {"info " + f, 3},
        {"records " + f, 3},
    };
    for (const auto& c : commands) {
        SCOPED_TRACE(c.args);
        const Result r = runShell("QUILLENT_AUDIO_SINK=fakesink " + builtProgram("quillent-tool") + " " + c.args);
        EXPECT_EQ(r.exitCode, c.exitCode) << r.output;
        EXPECT_NE(r.output.find("changed"), std::string::npos) << r.output;
    }
    EXPECT_TRUE(fs::is_empty(dir / "out")) << "nothing written from a changed copy";
}
