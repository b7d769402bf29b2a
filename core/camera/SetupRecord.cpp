#include "core/camera/SetupRecord.h"

#include "core/common/RegularFile.h"
#include "core/tools/FileReplace.h"

#include <algorithm>
#include <fstream>
#include <system_error>

void SetDefaults(SetupRecord& r) {
    std::memset(&r, 0, sizeof(r));
    SetSetupText(r.model, "Morvent");
    SetSetupText(r.maker, "QMV");
    SetSetupText(r.version, "1.6.3.5");
    r.recTime = 60;
    r.eventPreTime = 15;
    r.eventAfterTime = 15;
    r.rear = 2;
    r.audio = 1;
    r.videoOut = 2;
    r.gSensor = 2;
    r.slide2 = 200;
    r.timezoneHour = 9;
    r.frontLed = 1;
    r.securityLed = 1;
    r.fps = 4;
    r.overspeedTime = 20;
    r.suddenAccelTime = 1;
    r.suddenBrakeTime = 1;
    r.sound = 1;
    r.emergency = 1;
    r.overspeedLimit = 128;
    r.timezone = 61;
    r.fileType = 1;
    r.overspeedFps = 4;
    r.suddenAccel = 1;
    r.suddenBrake = 1;
    r.suddenAccelThreshold = 10;
    r.suddenBrakeThreshold = 15;
    r.reserved500 = 5;
    r.slide3 = 10;
    r.slide4 = 10;
    r.slide5 = 1;
    r.overlayType = 3;
    r.overlaySize = 1;
    r.modemPort = 3;
    r.reserved536 = 600;
    r.parkFps = 4;
    r.streamingChannel = 1;
    r.reserved560 = 1;
    r.gpsFlags = 7;
}

SetupRecord DefaultSetupRecord() {
    SetupRecord r;
    SetDefaults(r);
    return r;
}

SetupRecordBytes SerializeSetupRecord(const SetupRecord& record) {
    SetupRecordBytes bytes;
    std::memcpy(bytes.data(), &record, kSetupRecordSize);
    return bytes;
}

void OverlaySetupBytes(SetupRecord& record, std::span<const uint8_t> bytes) {
    if (!bytes.empty())
        std::memcpy(&record, bytes.data(), std::min(bytes.size(), kSetupRecordSize));
}

void ClearCredentials(SetupRecord& record) {
    std::memset(record.user, 0, sizeof(record.user));
    std::memset(record.passwd, 0, sizeof(record.passwd));
}

void LoadSetupFromRecordingCopy(SetupRecord& record, const SetupRecordBytes& copy) {
    OverlaySetupBytes(record, copy);
    ClearCredentials(record);
}

void ClampTimesForShow(SetupRecord& r) {
    r.recTime = std::clamp(r.recTime, 60, 120);
    if (r.eventPreTime == 0 || r.eventPreTime > 15)
        r.eventPreTime = 15;
    if (r.eventAfterTime == 0 || r.eventAfterTime > 15)
        r.eventAfterTime = 15;
}

SetupFileResult LoadSetupFile(const std::filesystem::path& path, SetupRecord& record) {
    SetupFileResult result;
    // Regular files only: a pipe or device chosen by mistake would block or never end.
    std::string bytes;
    if (!ReadFileStart(path, kSetupRecordSize, bytes, &result.error)) {
        result.error = "cannot open " + result.error;
        return result;
    }
    result.bytesRead = bytes.size();
    OverlaySetupBytes(record, std::span(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
    ClearCredentials(record);
    result.ok = true;
    return result;
}

SetupFileResult SaveSetupFile(const std::filesystem::path& path, const SetupRecord& record) {
    SetupFileResult result;
    auto bytes = SerializeSetupRecord(record);
    result.error = ReplaceFileContents(
        path, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    result.ok = result.error.empty();
    return result;
}

std::vector<uint8_t> MakeSetupVRecord(const SetupRecord& record) {
    auto bytes = SerializeSetupRecord(record);
    std::vector<uint8_t> v(bytes.begin(), bytes.end());
    v[0] = 'V';
    return v;
}

std::vector<std::vector<uint8_t>> MakeSetupZPieces(const SetupRecord& record) {
    auto bytes = SerializeSetupRecord(record);
    std::vector<std::vector<uint8_t>> pieces;
    for (int piece = 1; piece <= 6; ++piece) {
        size_t offset = 100 * (piece - 1);
        size_t length = piece == 6 ? 200 : 100;
        std::vector<uint8_t> v{'Z', static_cast<uint8_t>('0' + piece)};
        v.insert(v.end(), bytes.begin() + offset, bytes.begin() + offset + length);
        pieces.push_back(std::move(v));
    }
    return pieces;
}
