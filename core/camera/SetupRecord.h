// The camera's 700-byte setup record: the file ".cfg" on the card and the copy embedded in every
// recording. Byte-exact layout, defaults, range rules and the file load/save the setup page uses.
// Used by the setup page, the record loop of an opened recording and the sample-card generator.
#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>
#include <cstring>

#include "core/common/CText.h"

static_assert(std::endian::native == std::endian::little, "the record is stored little-endian as in memory");

#pragma pack(push, 1)
struct SetupRecord {
    char model[10]; // "Morvent"
    int8_t lanType;
    int8_t lan;
    uint8_t reserved12[2];
    int8_t networkSendType;
    uint8_t reserved15;
    char maker[4];   // "QMV"
    int32_t recTime; // seconds per file, 60..120
    int32_t fileBackup;
    uint16_t eventPreTime;   // 1..15
    uint16_t eventAfterTime; // 1..15
    char version[16];        // "1.6.3.5"
    int32_t rear;
    int32_t audio;
    int32_t videoOut;
    int32_t videoMode;
    int32_t overlayTime;
    int32_t gSensor;
    int32_t slide2;
    int32_t timezoneHour;
    int32_t timezoneMinute;
    int32_t summertime;
    int32_t fileNamingRule;
    int32_t frontLed;
    int32_t securityLed;
    int32_t quality;
    int32_t frontRotation;
    int32_t inCabinRotation;
    int32_t fps;
    uint16_t overspeedTime;
    uint8_t suddenAccelTime;
    uint8_t suddenBrakeTime;
    int32_t parking;
    int32_t network;
    int32_t sound;
    char hostname[32];
    float harshAccelA;
    float harshAccelB;
    float harshBrakeA;
    float harshBrakeB;
    int32_t emergency;
    int32_t overspeedLimit;
    char company[32];
    float harshLeftA;
    float harshLeftB;
    float harshRightA;
    float harshRightB;
    int8_t harshAccelLevel;
    int8_t harshBrakeLevel;
    int8_t harshLeftLevel;
    int8_t harshRightLevel;
    int32_t dstA;
    int32_t dstB;
    int32_t usbEvent;
    char vehicle[40];
    char vehicleNumber[24];
    char driver[32];
    char localHostname[32];
    char user[32];   // recording ID
    char passwd[32]; // recording password
    int32_t timezone;
    int32_t fileType;
    int32_t useOverspeedFps;
    int32_t overspeedFps;
    int32_t reserved460; // 0
    int32_t overspeed;
    int32_t reserved468[2]; // 0, 0
    int32_t suddenAccel;
    int32_t suddenBrake;
    int32_t suddenAccelThreshold;
    int32_t suddenBrakeThreshold;
    int32_t rearMirror;
    int32_t speedType;
    int32_t reserved500; // 5
    int32_t slide3;
    int32_t slide4;
    int32_t slide5; // always 1
    int32_t overlayType;
    int32_t overlaySize;
    int32_t reserved524; // 0
    int32_t ledScenario;
    int32_t modemPort;
    int32_t reserved536; // 600
    int32_t parkFps;
    int16_t streamingChannel;
    int16_t localBackup;
    int32_t usbBackup;
    int32_t lbp;
    int32_t lbpTime;
    int32_t reserved560; // 1
    int32_t externalEvent;
    uint16_t gpsFlags; // bits 1..3; 0 becomes 7
    int16_t usbStorage;
    char ssid[64];
    char key[64];
};
#pragma pack(pop)

constexpr size_t kSetupRecordSize = 700;
using SetupRecordBytes = std::array<uint8_t, kSetupRecordSize>;

static_assert(sizeof(SetupRecord) == kSetupRecordSize);
static_assert(offsetof(SetupRecord, model) == 0);
static_assert(offsetof(SetupRecord, lanType) == 10);
static_assert(offsetof(SetupRecord, lan) == 11);
static_assert(offsetof(SetupRecord, networkSendType) == 14);
static_assert(offsetof(SetupRecord, maker) == 16);
static_assert(offsetof(SetupRecord, recTime) == 20);
static_assert(offsetof(SetupRecord, fileBackup) == 24);
static_assert(offsetof(SetupRecord, eventPreTime) == 28);
static_assert(offsetof(SetupRecord, eventAfterTime) == 30);
static_assert(offsetof(SetupRecord, version) == 32);
static_assert(offsetof(SetupRecord, rear) == 48);
static_assert(offsetof(SetupRecord, audio) == 52);
static_assert(offsetof(SetupRecord, videoOut) == 56);
static_assert(offsetof(SetupRecord, videoMode) == 60);
static_assert(offsetof(SetupRecord, overlayTime) == 64);
static_assert(offsetof(SetupRecord, gSensor) == 68);
static_assert(offsetof(SetupRecord, slide2) == 72);
static_assert(offsetof(SetupRecord, timezoneHour) == 76);
static_assert(offsetof(SetupRecord, timezoneMinute) == 80);
static_assert(offsetof(SetupRecord, summertime) == 84);
static_assert(offsetof(SetupRecord, fileNamingRule) == 88);
static_assert(offsetof(SetupRecord, frontLed) == 92);
static_assert(offsetof(SetupRecord, securityLed) == 96);
static_assert(offsetof(SetupRecord, quality) == 100);
static_assert(offsetof(SetupRecord, frontRotation) == 104);
static_assert(offsetof(SetupRecord, inCabinRotation) == 108);
static_assert(offsetof(SetupRecord, fps) == 112);
static_assert(offsetof(SetupRecord, overspeedTime) == 116);
static_assert(offsetof(SetupRecord, suddenAccelTime) == 118);
static_assert(offsetof(SetupRecord, suddenBrakeTime) == 119);
static_assert(offsetof(SetupRecord, parking) == 120);
static_assert(offsetof(SetupRecord, network) == 124);
static_assert(offsetof(SetupRecord, sound) == 128);
static_assert(offsetof(SetupRecord, hostname) == 132);
static_assert(offsetof(SetupRecord, harshAccelA) == 164);
static_assert(offsetof(SetupRecord, harshAccelB) == 168);
static_assert(offsetof(SetupRecord, harshBrakeA) == 172);
static_assert(offsetof(SetupRecord, harshBrakeB) == 176);
static_assert(offsetof(SetupRecord, emergency) == 180);
static_assert(offsetof(SetupRecord, overspeedLimit) == 184);
static_assert(offsetof(SetupRecord, company) == 188);
static_assert(offsetof(SetupRecord, harshLeftA) == 220);
static_assert(offsetof(SetupRecord, harshLeftB) == 224);
static_assert(offsetof(SetupRecord, harshRightA) == 228);
static_assert(offsetof(SetupRecord, harshRightB) == 232);
static_assert(offsetof(SetupRecord, harshAccelLevel) == 236);
static_assert(offsetof(SetupRecord, harshBrakeLevel) == 237);
static_assert(offsetof(SetupRecord, harshLeftLevel) == 238);
static_assert(offsetof(SetupRecord, harshRightLevel) == 239);
static_assert(offsetof(SetupRecord, dstA) == 240);
static_assert(offsetof(SetupRecord, dstB) == 244);
static_assert(offsetof(SetupRecord, usbEvent) == 248);
static_assert(offsetof(SetupRecord, vehicle) == 252);
static_assert(offsetof(SetupRecord, vehicleNumber) == 292);
static_assert(offsetof(SetupRecord, driver) == 316);
static_assert(offsetof(SetupRecord, localHostname) == 348);
static_assert(offsetof(SetupRecord, user) == 380);
static_assert(offsetof(SetupRecord, passwd) == 412);
static_assert(offsetof(SetupRecord, timezone) == 444);
static_assert(offsetof(SetupRecord, fileType) == 448);
static_assert(offsetof(SetupRecord, useOverspeedFps) == 452);
static_assert(offsetof(SetupRecord, overspeedFps) == 456);
static_assert(offsetof(SetupRecord, reserved460) == 460);
static_assert(offsetof(SetupRecord, overspeed) == 464);
static_assert(offsetof(SetupRecord, reserved468) == 468);
static_assert(offsetof(SetupRecord, suddenAccel) == 476);
static_assert(offsetof(SetupRecord, suddenBrake) == 480);
static_assert(offsetof(SetupRecord, suddenAccelThreshold) == 484);
static_assert(offsetof(SetupRecord, suddenBrakeThreshold) == 488);
static_assert(offsetof(SetupRecord, rearMirror) == 492);
static_assert(offsetof(SetupRecord, speedType) == 496);
static_assert(offsetof(SetupRecord, reserved500) == 500);
static_assert(offsetof(SetupRecord, slide3) == 504);
static_assert(offsetof(SetupRecord, slide4) == 508);
static_assert(offsetof(SetupRecord, slide5) == 512);
static_assert(offsetof(SetupRecord, overlayType) == 516);
static_assert(offsetof(SetupRecord, overlaySize) == 520);
static_assert(offsetof(SetupRecord, reserved524) == 524);
static_assert(offsetof(SetupRecord, ledScenario) == 528);
static_assert(offsetof(SetupRecord, modemPort) == 532);
static_assert(offsetof(SetupRecord, reserved536) == 536);
static_assert(offsetof(SetupRecord, parkFps) == 540);
static_assert(offsetof(SetupRecord, streamingChannel) == 544);
static_assert(offsetof(SetupRecord, localBackup) == 546);
static_assert(offsetof(SetupRecord, usbBackup) == 548);
static_assert(offsetof(SetupRecord, lbp) == 552);
static_assert(offsetof(SetupRecord, lbpTime) == 556);
static_assert(offsetof(SetupRecord, reserved560) == 560);
static_assert(offsetof(SetupRecord, externalEvent) == 564);
static_assert(offsetof(SetupRecord, gpsFlags) == 568);
static_assert(offsetof(SetupRecord, usbStorage) == 570);
static_assert(offsetof(SetupRecord, ssid) == 572);
static_assert(offsetof(SetupRecord, key) == 636);

// All bytes zero, then every default (model, maker and version in the camera code page).
void SetDefaults(SetupRecord& record);
SetupRecord DefaultSetupRecord();

SetupRecordBytes SerializeSetupRecord(const SetupRecord& record);
// Copies up to 700 bytes over the start of the record; the rest keeps its content.
void OverlaySetupBytes(SetupRecord& record, std::span<const uint8_t> bytes);
// The recording ID and password never leave a loaded file or recording for the page.
void ClearCredentials(SetupRecord& record);
// "Load from recording": the open recording's 700-byte copy replaces the record, credentials cleared.
void LoadSetupFromRecordingCopy(SetupRecord& record, const SetupRecordBytes& copy);

// Text field <-> UTF-8. A text longer than the field is cut to field size - 1 bytes at a character
// boundary; the rest of the field is zeroed.
template <size_t N> std::string GetSetupText(const char (&field)[N]);
template <size_t N> void SetSetupText(char (&field)[N], std::string_view utf8);

// Range rules applied before the page shows the record: recTime 60..120, event times 1..15 (0 is 15).
void ClampTimesForShow(SetupRecord& record);

struct SetupFileResult {
    bool ok = false;
    std::string error;    // empty when ok
    size_t bytesRead = 0; // load: how many bytes of the file replaced the record's start
};

// Reads up to 700 bytes of `path` over `record`, then clears `user` and `passwd`. A failure to open
// leaves the record untouched.
SetupFileResult LoadSetupFile(const std::filesystem::path& path, SetupRecord& record);
// Creates (truncates) `path` and writes the 700 bytes.
SetupFileResult SaveSetupFile(const std::filesystem::path& path, const SetupRecord& record);

// The setup record as a recording carries it: one "V" record (the 700 bytes, type byte first, so
// the model's first byte is replaced by "V") or six "Z" pieces ("Z", piece digit, 100 bytes for
// pieces 1..5 and 200 for piece 6). Used by the recording writer of the sample cards.
std::vector<uint8_t> MakeSetupVRecord(const SetupRecord& record);
std::vector<std::vector<uint8_t>> MakeSetupZPieces(const SetupRecord& record);

template <size_t N> std::string GetSetupText(const char (&field)[N]) {
    return FromCameraCodePage(FieldText(field, N));
}

template <size_t N> void SetSetupText(char (&field)[N], std::string_view utf8) {
    std::string bytes = ToCameraCodePage(utf8, N - 1);
    std::memset(field, 0, N);
    std::memcpy(field, bytes.data(), bytes.size());
}
