#include "TrackRecords.h"

#include "camera_files.h"
#include "core/camera/SetupRecord.h"
#include "core/trackdata/InformationRecord.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

constexpr double kDegToRad = M_PI / 180.0;
constexpr double kEarthRadius = 6371000.0;
constexpr double kGravity = 9.80665;

std::string nmeaAngle(double deg, int degreeDigits) {
    deg = std::fabs(deg);
    int whole = int(deg);
    double minutes = (deg - whole) * 60.0;
    char text[32];
    std::snprintf(text, sizeof text, "%0*d%07.4f", degreeDigits, whole, minutes);
    return text;
}

uint8_t clampByte(double v) {
    return uint8_t(std::clamp(std::lround(v), 0L, 255L));
}

struct Motion {
    double speedKmh;
    double course;
};

Motion motionAt(const TrackPlan& plan, double t) {
    double v =
        38.0 + 26.0 * std::sin(2 * M_PI * (t + plan.phase) / 40.0) + 6.0 * std::sin(t / 3.1 + plan.phase);
    double course = std::fmod(70.0 + plan.phase * 17.0 + 35.0 * std::sin(t / 23.0 + plan.phase), 360.0);
    return {std::max(0.0, v), course < 0 ? course + 360.0 : course};
}

} // namespace

std::string MakeRmcSentence(const std::tm& utc, bool valid, double latDeg, double lonDeg, double knots,
                            double course, char event) {
    char body[256];
    std::snprintf(body, sizeof body, "GPRMC,%02d%02d%02d.00,%c,%s,%c,%s,%c,%.1f,%.1f,%02d%02d%02d,,,A,%c",
                  utc.tm_hour, utc.tm_min, utc.tm_sec, valid ? 'A' : 'V', nmeaAngle(latDeg, 2).c_str(),
                  latDeg < 0 ? 'S' : 'N', nmeaAngle(lonDeg, 3).c_str(), lonDeg < 0 ? 'W' : 'E', knots, course,
                  utc.tm_mday, utc.tm_mon + 1, utc.tm_year % 100, event);
    uint8_t sum = 0;
    for (const char* p = body; *p; ++p)
        sum ^= uint8_t(*p);
    char sentence[300];
    std::snprintf(sentence, sizeof sentence, "$%s*%02X", body, sum);
    return sentence;
}

std::vector<uint8_t> MakeGsensorRecord(char form, int sResolution, double x, double y, double z) {
    if (form == 'S') {
        // Raw counts around the middle of the word: 16 counts per G at 8 bits, 128 at 10 bits.
        const double perG = sResolution == 8 ? 16.0 : 128.0;
        const int middle = sResolution == 8 ? 128 : 512;
        const int top = sResolution == 8 ? 255 : 1023;
        std::vector<uint8_t> r{'S', uint8_t(sResolution)};
        for (double g : {x, y, z}) {
            auto w = uint16_t(std::clamp<long>(std::lround(middle + g * perG), 0, top));
            r.push_back(uint8_t(w));
            r.push_back(uint8_t(w >> 8));
        }
        return r;
    }
    const double range = form == '2' ? 2.0 : form == '4' ? 4.0 : 8.0;
    const double perG = 128.0 / range;
    return {uint8_t(form), clampByte(128 + x * perG), clampByte(128 + y * perG), clampByte(128 + z * perG)};
}

std::vector<TimedRecord> MakeTrackRecords(const TrackPlan& plan) {
    std::vector<TimedRecord> out;
    auto add = [&](uint32_t t, std::vector<uint8_t> bytes) { out.push_back({t, std::move(bytes)}); };

    // The camera's own setup record, with the recording's ID and password.
    SetupRecord record = SampleSetupRecord();
    if (plan.informationRecord) {
        RecordingInfoTexts info;
        info.version = GetSetupText(record.version);
        info.company = GetSetupText(record.company);
        info.vehicle = GetSetupText(record.vehicle);
        info.driver = GetSetupText(record.driver);
        info.serialNumber = "SN20140512-0042";
        add(0, MakeInformationRecord(info, plan.recordingId, plan.recordingPassword));
    }
    if (plan.setup != SetupForm::None) {
        SetSetupText(record.user, plan.recordingId);
        SetSetupText(record.passwd, plan.recordingPassword);
        if (plan.setup == SetupForm::V)
            add(0, MakeSetupVRecord(record));
        else
            for (auto& piece : MakeSetupZPieces(record))
                add(0, std::move(piece));
    }

    double lat = plan.startLat, lon = plan.startLon;
    const std::time_t start = timegm(const_cast<std::tm*>(&plan.utcStart));
    Motion previous = motionAt(plan, 0);
    for (uint32_t tick = 0; tick < plan.seconds * 10; ++tick) {
        const double t = tick / 10.0;
        const Motion m = motionAt(plan, t);
        const double v = m.speedKmh / 3.6;
        // Advance the position by 100 ms along the course.
        lat += v * 0.1 * std::cos(m.course * kDegToRad) / kEarthRadius / kDegToRad;
        lon +=
            v * 0.1 * std::sin(m.course * kDegToRad) / (kEarthRadius * std::cos(lat * kDegToRad)) / kDegToRad;

        char event = '0';
        for (const auto& [second, c] : plan.events)
            if (second == tick / 10)
                event = c;
        if (tick % 10 == 0) {
            std::time_t now = start + tick / 10;
            std::tm utc{};
            gmtime_r(&now, &utc);
            std::string s = MakeRmcSentence(utc, true, lat, lon, m.speedKmh / 1.852, m.course, event);
            add(tick * 100, std::vector<uint8_t>(s.begin(), s.end()));
        }
        // Longitudinal from the change of speed, lateral from the turn rate, gravity on z, a little
        // road vibration; an event second gets a hard jolt.
        double along = (m.speedKmh - previous.speedKmh) / 3.6 / 0.1 / kGravity;
        double turn = std::remainder(m.course - previous.course, 360.0) * kDegToRad / 0.1;
        double lateral = v * turn / kGravity;
        double z = 1.0 + 0.04 * std::sin(t * 17.0) + 0.02 * std::sin(t * 41.0);
        if (event != '0' && tick % 10 < 3) {
            along -= 1.4;
            lateral += 0.6;
        }
        add(tick * 100 + 50, MakeGsensorRecord(plan.gsensorForm, plan.sResolution, lateral, along, z));
        previous = m;
    }
    std::stable_sort(out.begin(), out.end(),
                     [](const auto& a, const auto& b) { return a.timeMs < b.timeMs; });
    return out;
}
