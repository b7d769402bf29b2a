// quillent-tool's container commands as a user runs them: exit codes, messages and output.
// Not built in core-only builds, which have no programs.
#include "support/ContainerFixtures.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <sys/wait.h>

namespace fs = std::filesystem;

namespace {

struct Result {
    int exitCode = -1;
    std::string output; // standard output and error together
};

Result Tool(const std::string& args) {
    const fs::path tool = fs::path(QUILLENT_BIN_DIR) / "quillent-tool";
    Result r;
    FILE* p = popen(("'" + tool.string() + "' " + args + " 2>&1").c_str(), "r");
    if (!p)
        return r;
    std::array<char, 4096> buf;
    size_t n;
    while ((n = fread(buf.data(), 1, buf.size(), p)) > 0)
        r.output.append(buf.data(), n);
    int status = pclose(p);
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
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
}

TEST_F(ToolCommands, ConvertAndCopyWithClearFailures) {
    WriteSynthetic(dir / "a.qmv", RecordingForm::Camera, true);
    fs::create_directories(dir / "out");
    Result r = Tool("convert --to '" + (dir / "out").string() + "' '" + (dir / "a.qmv").string() + "' '" +
                    (dir / "missing.qmv").string() + "'");
    EXPECT_EQ(r.exitCode, 1) << "one of two failed";
    EXPECT_TRUE(fs::exists(dir / "out" / "a.qmv.avi"));
    EXPECT_NE(r.output.find("missing.qmv: the recording cannot be opened"), std::string::npos) << r.output;
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
