#include "camera_files.h"

#include "core/camera/CWBCIniLoader.h"
#include "core/common/FileReplace.h"
#include "core/tools/EventLog.h"

#include <cmath>
#include <fstream>
#include <system_error>

namespace {

namespace fs = std::filesystem;

void writeBytes(const fs::path& path, const void* data, size_t size) {
    const std::string error = ReplaceFileContents(path, std::string_view(static_cast<const char*>(data), size));
    if (!error.empty())
        throw fs::filesystem_error(error, path, std::make_error_code(std::errc::io_error));
}

// A day of a delivery van: power on, driving with a few events, parking, power off; then the
// ring buffer's older end (ordering drops), which the export must not show.
std::vector<EventLogRecord> sampleEvents() {
    struct Step {
        int type;
        int minute; // minutes after 06:00 UTC
        float speedKnots;
        float course;
        float gx, gy, gz;
    };
    const Step steps[] = {
        {120, 0, 0, 0, 0.00f, 0.00f, 1.00f},          {56, 1, 0, 0, 0.01f, 0.00f, 1.00f},
        {53, 2, 0, 0, 0.00f, 0.02f, 1.00f},           {25, 3, 0, 0, 0.00f, 0.00f, 1.00f},
        {26, 6, 4.2f, 35.5f, 0.05f, 0.01f, 1.01f},    {5, 14, 21.6f, 40.0f, 0.42f, 0.03f, 0.98f},
        {4, 27, 58.3f, 92.25f, 0.02f, 0.01f, 1.00f},  {6, 41, 33.1f, 180.5f, -0.61f, 0.05f, 1.02f},
        {1, 55, 12.4f, 181.0f, -1.35f, 0.72f, 1.40f}, {2, 63, 0, 270.0f, 0.00f, 0.00f, 1.00f},
        {13, 70, 18.0f, 275.0f, 0.10f, 0.00f, 1.00f}, {54, 82, 24.5f, 300.0f, 0.00f, 0.00f, 1.00f},
        {53, 84, 25.0f, 302.0f, 0.00f, 0.00f, 1.00f}, {57, 96, 0, 0, 0.00f, 0.00f, 1.00f},
        {51, 97, 0, 0, 0.00f, 0.00f, 1.00f},          {50, 140, 0, 0, 0.08f, 0.30f, 1.05f},
        {52, 141, 0, 0, 0.00f, 0.00f, 1.00f},         {106, 150, 0, 0, 0.00f, 0.00f, 1.00f},
    };
    std::vector<EventLogRecord> records;
    int ordering = 3100;
    double lat = 3733.9900, lon = 12658.6800; // NMEA ddmm.mmmm, central Seoul
    for (const Step& s : steps) {
        EventLogRecord e;
        e.ordering = ordering++;
        e.type = s.type;
        e.speed = s.speedKnots;
        e.direction = s.course;
        lat += s.speedKnots * 0.0125;
        lon += s.speedKnots * 0.0091;
        e.latitude = lat;
        e.longitude = lon;
        e.year = 26;
        e.month = 12;
        e.day = 7;
        e.hour = static_cast<int8_t>(6 + s.minute / 60);
        e.minute = static_cast<int8_t>(s.minute % 60);
        e.second = static_cast<int8_t>((s.minute * 7) % 60);
        e.gsensorX = s.gx;
        e.gsensorY = s.gy;
        e.gsensorZ = s.gz;
        e.gsensorSum = std::sqrt(s.gx * s.gx + s.gy * s.gy + s.gz * s.gz);
        records.push_back(e);
    }
    // Older records the camera has not overwritten yet.
    for (int i = 0; i < 3; ++i) {
        EventLogRecord old;
        old.ordering = 12 + i;
        old.type = 120;
        old.year = 26;
        old.month = 11;
        old.day = 30;
        records.push_back(old);
    }
    return records;
}

} // namespace

SetupRecord SampleSetupRecord() {
    SetupRecord r = DefaultSetupRecord();
    SetSetupText(r.company, "Halvorn Logistics");
    SetSetupText(r.vehicle, "Delivery Van 12");
    SetSetupText(r.vehicleNumber, "12GA3456");
    SetSetupText(r.driver, "Min-jun Park");
    SetSetupText(r.hostname, "fleet.example.net");
    r.networkSendType = 1; // as every record the setup page saves
    r.overspeedLimit = 100;
    r.harshAccelLevel = 7;
    r.harshBrakeLevel = 8;
    r.harshAccelA = 0.35f;
    r.harshAccelB = 0.50f;
    r.harshBrakeA = 0.40f;
    r.harshBrakeB = 0.60f;
    r.dstA = 0;
    r.dstB = 0;
    return r;
}

void WriteSampleCameraFiles(const fs::path& card) {
    fs::create_directories(card);

    // Quick settings as the camera writes them; one key the player does not know.
    std::string ini = "SENSOR_GY_STV=1\r\nLCD_BRIGHT_LV=2\r\nVOICE_GUIDE_ON=1\r\nVOICE_REC_ON=1\r\n"
                      "LED_PARKING_ON=0\r\nLCD_OFF_TIME=2\r\nVOLTAGE_CUTOFF_LV=1\r\nTIME_EXP_GMT=9\r\n"
                      "FW_AUTO_UPDATE=0\r\n";
    writeBytes(card / "setup.ini", ini.data(), ini.size());

    auto setup = SerializeSetupRecord(SampleSetupRecord());
    writeBytes(card / "setup.cfg", setup.data(), setup.size());

    std::vector<uint8_t> log;
    for (const auto& e : sampleEvents()) {
        auto bytes = EncodeEventLogRecord(e);
        log.insert(log.end(), bytes.begin(), bytes.end());
    }
    writeBytes(card / "eventlog.bin", log.data(), log.size());
}
