// The 700-byte setup record, its ".cfg" file and the setup page's setting string.
#include "core/camera/SettingString.h"
#include "core/camera/SetupRecord.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

fs::path tempPath(const std::string& name) {
    fs::path dir = fs::temp_directory_path() / ("quillent-setup-test-" + std::to_string(getpid()));
    fs::create_directories(dir);
    return dir / name;
}

std::vector<uint8_t> readFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

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
    fs::path file = tempPath("setup.cfg");
    ASSERT_TRUE(SaveSetupFile(file, r).ok);
    EXPECT_EQ(readFile(file).size(), kSetupRecordSize);

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
    fs::path tiny = tempPath("tiny.cfg");
    writeFile(tiny, std::vector<uint8_t>(10, 'X'));
    SetupRecord fromTiny = DefaultSetupRecord();
    ASSERT_TRUE(LoadSetupFile(tiny, fromTiny).ok);
    auto expected = SerializeSetupRecord(DefaultSetupRecord());
    std::fill(expected.begin(), expected.begin() + 10, 'X');
    EXPECT_EQ(SerializeSetupRecord(fromTiny), expected);

    // A longer file contributes its first 700 bytes.
    fs::path big = tempPath("big.cfg");
    writeFile(big, std::vector<uint8_t>(900, 0x11));
    SetupRecord fromBig = DefaultSetupRecord();
    ASSERT_TRUE(LoadSetupFile(big, fromBig).ok);
    EXPECT_EQ(fromBig.recTime, 0x11111111);

    SetupRecord untouched = DefaultSetupRecord();
    EXPECT_FALSE(LoadSetupFile(tempPath("missing.cfg"), untouched).ok);
    EXPECT_FALSE(LoadSetupFile(tempPath("x").parent_path(), untouched).ok);
    EXPECT_EQ(SerializeSetupRecord(untouched), SerializeSetupRecord(DefaultSetupRecord()));
    EXPECT_FALSE(SaveSetupFile(tempPath("no-dir") / "x" / "setup.cfg", r).ok);
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
    fs::path file = tempPath("network.cfg");
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

} // namespace
