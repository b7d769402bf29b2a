// The 700-byte setup record, its ".cfg" file and the setup page's setting string.
#include "core/camera/SettingString.h"
#include "core/camera/SetupRecord.h"
#include "support/ContainerFixtures.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

void writeFile(const fs::path& p, const std::vector<uint8_t>& bytes) {
    std::ofstream out(p, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

template <typename T> T at(const SetupRecordBytes& b, size_t offset) {
    T v;
    std::memcpy(&v, b.data() + offset, sizeof(T));
    return v;
}

// A setting string with every value given; values not listed are "1".
std::string settingString(std::map<int, std::string> values) {
    std::string s;
    for (int i = 0; i < kSettingStringValues; ++i) {
        if (i)
            s += '|';
        auto it = values.find(i);
        s += it != values.end() ? it->second : "1";
    }
    return s;
}

const PageCall* findCall(const std::vector<PageCall>& calls, const std::string& function,
                         const std::string& firstText = {}) {
    for (const auto& c : calls) {
        if (c.function != function)
            continue;
        if (firstText.empty() || (!c.args.empty() && std::holds_alternative<std::string>(c.args[0]) &&
                                  std::get<std::string>(c.args[0]) == firstText))
            return &c;
    }
    return nullptr;
}

int64_t intArg(const PageCall* c, size_t i = 0) {
    return std::get<int64_t>(c->args.at(i));
}
std::string textArg(const PageCall* c, size_t i) {
    return std::get<std::string>(c->args.at(i));
}

TEST(SetupRecord, DefaultsAreTheCamerasBytes) {
    auto b = SerializeSetupRecord(DefaultSetupRecord());
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(b.data()), 10), std::string("Morvent\0\0\0", 10));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(b.data() + 16), 4), std::string("QMV\0", 4));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(b.data() + 32)), "1.6.3.5");
    EXPECT_EQ(at<int32_t>(b, 20), 60);
    EXPECT_EQ(at<uint16_t>(b, 28), 15);
    EXPECT_EQ(at<int32_t>(b, 48), 2);
    EXPECT_EQ(at<int32_t>(b, 72), 200);
    EXPECT_EQ(at<int32_t>(b, 76), 9);
    EXPECT_EQ(at<uint16_t>(b, 116), 20);
    EXPECT_EQ(at<int32_t>(b, 184), 128);
    EXPECT_EQ(at<int32_t>(b, 444), 61);
    EXPECT_EQ(at<int32_t>(b, 500), 5);
    EXPECT_EQ(at<int32_t>(b, 536), 600);
    EXPECT_EQ(at<int32_t>(b, 560), 1);
    EXPECT_EQ(at<uint16_t>(b, 568), 7);
    EXPECT_EQ(at<int16_t>(b, 544), 1);
    EXPECT_EQ(b[699], 0);
}

TEST(SetupRecord, FileLoadOverlaysAndClearsCredentials) {
    SetupRecord r = DefaultSetupRecord();
    SetSetupText(r.user, "fleet");
    SetSetupText(r.passwd, "pw");
    r.recTime = 30;
    fs::path file = TempPath("setup.cfg");
    ASSERT_TRUE(SaveSetupFile(file, r).ok);
    EXPECT_EQ(ReadFile(file).size(), kSetupRecordSize);

    SetupRecord loaded = DefaultSetupRecord();
    SetupFileResult res = LoadSetupFile(file, loaded);
    ASSERT_TRUE(res.ok);
    EXPECT_EQ(res.bytesRead, kSetupRecordSize);
    EXPECT_EQ(GetSetupText(loaded.user), "");
    EXPECT_EQ(GetSetupText(loaded.passwd), "");
    EXPECT_EQ(loaded.recTime, 30);
    PopulateCalls(loaded); // shown as 60 and kept
    EXPECT_EQ(loaded.recTime, 60);

    // A 10-byte file changes only the model.
    fs::path tiny = TempPath("tiny.cfg");
    writeFile(tiny, std::vector<uint8_t>(10, 'X'));
    SetupRecord fromTiny = DefaultSetupRecord();
    ASSERT_TRUE(LoadSetupFile(tiny, fromTiny).ok);
    auto expected = SerializeSetupRecord(DefaultSetupRecord());
    std::fill(expected.begin(), expected.begin() + 10, 'X');
    EXPECT_EQ(SerializeSetupRecord(fromTiny), expected);

    // A longer file contributes its first 700 bytes.
    fs::path big = TempPath("big.cfg");
    writeFile(big, std::vector<uint8_t>(900, 0x11));
    SetupRecord fromBig = DefaultSetupRecord();
    ASSERT_TRUE(LoadSetupFile(big, fromBig).ok);
    EXPECT_EQ(fromBig.recTime, 0x11111111);

    SetupRecord untouched = DefaultSetupRecord();
    EXPECT_FALSE(LoadSetupFile(TempPath("missing.cfg"), untouched).ok);
    EXPECT_FALSE(LoadSetupFile(TempPath("x").parent_path(), untouched).ok);
    EXPECT_EQ(SerializeSetupRecord(untouched), SerializeSetupRecord(DefaultSetupRecord()));
    EXPECT_FALSE(SaveSetupFile(TempPath("no-dir") / "x" / "setup.cfg", r).ok);
}

TEST(SetupRecord, TextFieldsAreCutAtCharacterBoundariesInTheCodePage) {
    SetupRecord r = DefaultSetupRecord();
    SetSetupText(r.company, std::string(40, 'A'));
    EXPECT_EQ(GetSetupText(r.company), std::string(31, 'A'));
    EXPECT_EQ(r.company[31], 0);

    // Korean text is two bytes a character in CP949: 15 characters fit in 31 bytes, not 15.5.
    std::string hangul;
    for (int i = 0; i < 20; ++i)
        hangul += "\xEA\xB0\x80"; // U+AC00
    SetSetupText(r.driver, hangul);
    EXPECT_EQ(std::strlen(r.driver), 30u);
    EXPECT_EQ(GetSetupText(r.driver), hangul.substr(0, 15 * 3));
    EXPECT_EQ(static_cast<uint8_t>(r.driver[0]), 0xB0); // CP949 lead byte of U+AC00
}

TEST(SettingString, ParseAppliesSplitsLevelsForcedValuesAndLedRule) {
    SetupRecord r;
    ParseSettingString(settingString({{0, "110"},
                                      {9, "3"},
                                      {19, "3"},
                                      {34, "3"},
                                      {49, "2"},
                                      {50, "3"},
                                      {51, "-330"},
                                      {55, "Halvorn"},
                                      {59, "fleet"},
                                      {65, "30"},
                                      {66, "0"},
                                      {68, "0"},
                                      {75, "3"},
                                      {76, "4"},
                                      {79, "0.25"},
                                      {86, "-1.5"}}),
                       r);
    EXPECT_EQ(r.overspeedLimit, 110);
    EXPECT_EQ(r.fps, 2);
    EXPECT_EQ(r.overspeedFps, 2); // follows fps
    EXPECT_EQ(r.parkFps, 2);
    EXPECT_EQ(r.network, 2);
    EXPECT_EQ(r.timezoneHour, -3);
    EXPECT_EQ(r.timezoneMinute, -30);
    EXPECT_EQ(r.harshAccelLevel, 8);  // 3 + 5 * (2 - 1)
    EXPECT_EQ(r.harshBrakeLevel, 14); // 4 + 5 * (3 - 1)
    EXPECT_EQ(GetSetupText(r.company), "Halvorn");
    EXPECT_EQ(GetSetupText(r.user), "fleet");
    EXPECT_EQ(r.recTime, 60);
    EXPECT_EQ(r.eventPreTime, 15);
    EXPECT_EQ(r.gpsFlags, 7);
    EXPECT_EQ(r.harshAccelA, 0.25f);
    EXPECT_EQ(r.harshRightB, -1.5f);
    EXPECT_EQ(r.securityLed, 1); // page value 3 = stored 2 = "on with scenario"
    EXPECT_EQ(r.ledScenario, 1);
    EXPECT_EQ(r.rear, 2);
    EXPECT_EQ(r.fileType, 1);
    EXPECT_EQ(r.overlayType, 3);
    EXPECT_EQ(r.slide5, 1);
    EXPECT_EQ(GetSetupText(r.model), "Morvent");

    SetupRecord s; // security LED "on" clears the scenario whatever the page sent
    ParseSettingString(settingString({{19, "2"}, {36, "2"}}), s);
    EXPECT_EQ(s.securityLed, 1);
    EXPECT_EQ(s.ledScenario, 0);
}

TEST(SettingString, ShortOrHostileStringsReadMissingValuesAsEmpty) {
    SetupRecord r;
    ParseSettingString("", r);
    EXPECT_EQ(r.quality, -1); // missing button value: 0 - 1
    EXPECT_EQ(r.overspeedLimit, 0);
    EXPECT_EQ(r.recTime, 60);
    EXPECT_EQ(GetSetupText(r.company), "");

    ParseSettingString(settingString({{0, "99999999999999"},
                                      {8, "-2147483648"},
                                      {49, "2147483647"},
                                      {51, "-2147483648"},
                                      {55, std::string(300, 'x')}}),
                       r);
    EXPECT_EQ(r.overspeedLimit, INT32_MAX);
    EXPECT_EQ(r.quality, INT32_MAX); // wraps like the page's 32-bit value
    EXPECT_EQ(GetSetupText(r.company).size(), 31u);
}

TEST(SettingString, PopulateCallsInOrderWithShowRules) {
    SetupRecord r = DefaultSetupRecord();
    auto calls = PopulateCalls(r);
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.front(), (PageCall{"btnRear_click", {int64_t{3}}}));
    EXPECT_EQ(calls[15], (PageCall{"btnWifi_click", {int64_t{1}}}));
    EXPECT_EQ(calls[16], (PageCall{"setTimezone", {int64_t{61}}}));
    EXPECT_EQ(*findCall(calls, "setText", "txtOverspeed"),
              (PageCall{"setText", {std::string("txtOverspeed"), std::string("128")}}));
    EXPECT_EQ(calls.back(), (PageCall{"setHarshRight",
                                      {std::string("0"), std::string("0.000000"), std::string("0.000000")}}));
    EXPECT_EQ(findCall(calls, "setNetwork"), nullptr);
    // gpsFlags 7: bits 1 and 2 set, bit 3 clear.
    EXPECT_NE(std::find(calls.begin(), calls.end(), PageCall{"setGPS", {int64_t{2}}}), calls.end());
    EXPECT_NE(std::find(calls.begin(), calls.end(), PageCall{"setGPS", {int64_t{3}}}), calls.end());
    EXPECT_NE(std::find(calls.begin(), calls.end(), PageCall{"clearGPS", {int64_t{4}}}), calls.end());
    EXPECT_EQ(calls.size(), 75u); // no network texts while the network is off

    SetupRecord n = DefaultSetupRecord();
    n.network = 2;
    n.lanType = 1;
    n.lan = 1;
    n.ledScenario = 1;
    n.securityLed = 1;
    n.eventAfterTime = 0;
    SetSetupText(n.ssid, "cam-ap");
    auto netCalls = PopulateCalls(n);
    EXPECT_EQ(n.network, 6);
    EXPECT_EQ(n.securityLed, 2);
    EXPECT_EQ(n.eventAfterTime, 15);
    EXPECT_EQ(intArg(findCall(netCalls, "btnSecurityled_click")), 3);
    ASSERT_NE(findCall(netCalls, "setNetworkLan", "ssid"), nullptr);
    EXPECT_EQ(textArg(findCall(netCalls, "setNetworkLan", "ssid"), 1), "cam-ap");
    EXPECT_EQ(findCall(netCalls, "setNetwork"), nullptr);

    SetupRecord one = DefaultSetupRecord();
    one.network = 1;
    PopulateCalls(one);
    EXPECT_EQ(one.network, 0);
}

TEST(SettingString, SavedNetworkChoiceShowsAsSixAfterReload) {
    SetupRecord r;
    ParseSettingString(settingString({{34, "3"}}), r);
    fs::path file = TempPath("network.cfg");
    ASSERT_TRUE(SaveSetupFile(file, r).ok);
    EXPECT_EQ(at<int32_t>(SerializeSetupRecord(r), 124), 2);
    SetupRecord loaded = DefaultSetupRecord();
    ASSERT_TRUE(LoadSetupFile(file, loaded).ok);
    auto calls = PopulateCalls(loaded);
    EXPECT_EQ(intArg(findCall(calls, "btnWifi_click")), 7);
}

TEST(SettingString, MadeStringParsesBackToTheSameRecord) {
    SetupRecord r;
    ParseSettingString(
        settingString(
            {{19, "3"}, {49, "3"}, {51, "930"}, {56, "Truck 7"}, {62, "k|ey"}, {75, "2"}, {82, "1.25"}}),
        r);
    SetupRecord back;
    ParseSettingString(MakeSettingString(r), back);
    SetupRecord expected = r;
    SetSetupText(expected.key, "k"); // "|" split the value on the way in
    EXPECT_EQ(SerializeSetupRecord(back), SerializeSetupRecord(expected));
}

// The record of every default, written byte by byte from the camera's documented table (not by
// this code): tests/data/setup-defaults.cfg.
TEST(SetupRecord, DefaultsEqualTheGoldenRecord) {
    const std::vector<uint8_t> golden = ReadFile(fs::path(QUILLENT_TEST_DATA) / "setup-defaults.cfg");
    ASSERT_EQ(golden.size(), kSetupRecordSize);
    const auto defaults = SerializeSetupRecord(DefaultSetupRecord());
    for (size_t i = 0; i < kSetupRecordSize; ++i)
        EXPECT_EQ(defaults[i], golden[i]) << "byte " << i;
    fs::path saved = TempPath("defaults.cfg");
    ASSERT_TRUE(SaveSetupFile(saved, DefaultSetupRecord()).ok);
    EXPECT_EQ(ReadFile(saved), golden);
}

// Where each of the 87 values of the setting string lands, written from the page's documented
// indexes, independently of the parser: a wrong index on both sides of the code cannot pass.
TEST(SettingString, EveryIndexLandsInItsDocumentedField) {
    enum Kind { I8, U8, I16, U16, I32, F32, TEXT };
    struct Field {
        int index;
        size_t offset;
        Kind kind;
    };
    // Choices stored as value - 1.
    const std::vector<Field> choices = {
        {7, 48, I32},   {8, 100, I32},  {9, 112, I32},  {10, 120, I32}, {11, 52, I32},  {12, 84, I32},
        {13, 180, I32}, {14, 68, I32},  {15, 128, I32}, {16, 60, I32},  {17, 56, I32},  {18, 92, I32},
        {19, 96, I32},  {20, 104, I32}, {21, 108, I32}, {22, 448, I32}, {23, 452, I32}, {25, 492, I32},
        {26, 464, I32}, {27, 476, I32}, {28, 480, I32}, {29, 88, I32},  {30, 64, I32},  {31, 496, I32},
        {32, 516, I32}, {33, 520, I32}, {34, 124, I32}, {35, 532, I32}, {36, 528, I32}, {37, 544, I16},
        {39, 548, I32}, {40, 552, I32}, {41, 564, I32}, {42, 24, I32},  {43, 570, I16}, {44, 248, I32},
        {45, 546, I16}, {46, 14, I8},   {47, 10, I8},   {48, 11, I8},
    };
    // Values stored as given.
    const std::vector<Field> plain = {
        {0, 184, I32},  {1, 484, I32},  {2, 488, I32},  {3, 72, I32},  {4, 504, I32},
        {5, 508, I32},  {54, 444, I32}, {63, 556, I32}, {65, 20, I32}, {66, 28, U16},
        {67, 30, U16},  {68, 568, U16}, {70, 116, U16}, {71, 118, U8}, {72, 119, U8},
        {73, 240, I32}, {74, 244, I32}, {77, 238, I8},  {78, 239, I8},
    };
    const std::vector<Field> texts = {
        {55, 188, TEXT}, {56, 252, TEXT}, {57, 292, TEXT}, {58, 316, TEXT}, {59, 380, TEXT},
        {60, 412, TEXT}, {61, 572, TEXT}, {62, 636, TEXT}, {64, 132, TEXT}, {69, 348, TEXT},
    };
    const std::vector<Field> floats = {{79, 164, F32}, {83, 168, F32}, {80, 172, F32}, {84, 176, F32},
                                       {81, 220, F32}, {85, 224, F32}, {82, 228, F32}, {86, 232, F32}};
    // Fields the parse forces whatever the page sent (index: stored value).
    const std::map<int, int64_t> forced = {{7, 2},  {22, 1}, {23, 0},  {32, 3},  {33, 1},
                                           {43, 0}, {46, 1}, {65, 60}, {66, 15}, {67, 15}};

    std::map<int, std::string> values;
    for (const auto& f : choices)
        values[f.index] = std::to_string(f.index + 2); // stored as index + 1
    for (const auto& f : plain)
        values[f.index] = std::to_string(f.index + 1000 * (f.kind == I32));
    for (const auto& f : texts)
        values[f.index] = "t" + std::to_string(f.index);
    for (const auto& f : floats)
        values[f.index] = std::to_string(f.index) + ".25";
    values[49] = "2"; // harsh accel level = value 75 + 5 * (value 49 - 1)
    values[75] = "3";
    values[50] = "3"; // harsh brake level = value 76 + 5 * (value 50 - 1)
    values[76] = "1";
    values[51] = "-330"; // time zone -3:30
    values[52] = "77";   // ignored
    values[53] = "77";   // ignored
    values[6] = "9";     // ignored: slide5 is always 1
    SetupRecord r;
    ParseSettingString(settingString(values), r);
    const auto b = SerializeSetupRecord(r);

    auto stored = [&](const Field& f) -> int64_t {
        switch (f.kind) {
        case I8:
            return at<int8_t>(b, f.offset);
        case U8:
            return at<uint8_t>(b, f.offset);
        case I16:
            return at<int16_t>(b, f.offset);
        case U16:
            return at<uint16_t>(b, f.offset);
        default:
            return at<int32_t>(b, f.offset);
        }
    };
    for (const auto& f : choices) {
        const auto it = forced.find(f.index);
        EXPECT_EQ(stored(f), it != forced.end() ? it->second : f.index + 1) << "index " << f.index;
    }
    for (const auto& f : plain) {
        const auto it = forced.find(f.index);
        EXPECT_EQ(stored(f), it != forced.end() ? it->second : f.index + 1000 * (f.kind == I32))
            << "index " << f.index;
    }
    for (const auto& f : texts)
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(b.data() + f.offset)),
                  "t" + std::to_string(f.index))
            << "index " << f.index;
    for (const auto& f : floats)
        EXPECT_EQ(at<float>(b, f.offset), float(f.index) + 0.25f) << "index " << f.index;
    EXPECT_EQ(at<int8_t>(b, 236), 8);
    EXPECT_EQ(at<int8_t>(b, 237), 11);
    EXPECT_EQ(at<int32_t>(b, 76), -3);
    EXPECT_EQ(at<int32_t>(b, 80), -30);
    EXPECT_EQ(at<int32_t>(b, 512), 1);
    EXPECT_EQ(at<int32_t>(b, 456), 10) << "overspeed fps follows fps";
    EXPECT_EQ(at<int32_t>(b, 540), 10) << "park fps follows fps";
    // Every index is covered once: 87 values, 3 of them ignored.
    std::set<int> covered = {6, 49, 50, 51, 52, 53, 75, 76, 24, 38};
    for (const auto* list : {&choices, &plain, &texts, &floats})
        for (const auto& f : *list)
            EXPECT_TRUE(covered.insert(f.index).second) << "index " << f.index << " twice";
    EXPECT_EQ(covered.size(), size_t(kSettingStringValues));
}

// The order in which the page is filled, as a golden list of calls for the defaults and for a
// record with the network on. Refresh after an intended change with
//   QUILLENT_REFRESH_GOLDEN=1 build/tests/core_tests --gtest_filter=*GoldenList*
// and review the diff of tests/data/setup-populate.txt.
TEST(SettingString, PopulateOrderMatchesTheGoldenList) {
    auto describe = [](const std::vector<PageCall>& calls) {
        std::string text;
        for (const auto& c : calls) {
            text += c.function + "(";
            for (size_t i = 0; i < c.args.size(); ++i) {
                if (i)
                    text += ", ";
                if (std::holds_alternative<int64_t>(c.args[i]))
                    text += std::to_string(std::get<int64_t>(c.args[i]));
                else
                    text += "\"" + std::get<std::string>(c.args[i]) + "\"";
            }
            text += ")\n";
        }
        return text;
    };
    SetupRecord defaults = DefaultSetupRecord();
    SetupRecord networked = DefaultSetupRecord();
    networked.network = 2;
    SetSetupText(networked.ssid, "cam-ap");
    SetSetupText(networked.key, "secret");
    const std::string text = "# defaults\n" + describe(PopulateCalls(defaults)) + "# network on\n" +
                             describe(PopulateCalls(networked));
    const fs::path golden = fs::path(QUILLENT_TEST_DATA) / "setup-populate.txt";
    if (std::getenv("QUILLENT_REFRESH_GOLDEN")) {
        std::ofstream(golden, std::ios::binary) << text;
    }
    const auto bytes = ReadFile(golden);
    EXPECT_EQ(text, std::string(bytes.begin(), bytes.end()));
}

// A failed write (here a file size limit standing in for a full card; root ignores file modes but
// not this limit) keeps the previous file as it was.
TEST(SetupRecord, AFailedSaveKeepsThePreviousFile) {
    const fs::path file = TempPath("keep.cfg");
    writeFile(file, std::vector<uint8_t>(3, 'p'));
    pid_t child = fork();
    if (child == 0) {
        signal(SIGXFSZ, SIG_IGN);
        rlimit limit{100, 100};
        setrlimit(RLIMIT_FSIZE, &limit);
        _exit(SaveSetupFile(file, DefaultSetupRecord()).ok ? 1 : 0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_EQ(ReadFile(file), std::vector<uint8_t>(3, 'p'));
    for (const auto& e : fs::directory_iterator(file.parent_path()))
        EXPECT_EQ(e.path().string().find(".part"), std::string::npos) << e.path();
}

} // namespace
