#include "TrackRecords.h"

#include "camera_files.h"
#include "core/camera/SetupRecord.h"
#include "core/trackdata/InformationRecord.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <tuple>

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
    if (plan.parked)
        return {0.0, 0.0};
    double v =
        38.0 + 26.0 * std::sin(2 * M_PI * (t + plan.phase) / 40.0) + 6.0 * std::sin(t / 3.1 + plan.phase);
    double course = std::fmod(70.0 + plan.phase * 17.0 + 35.0 * std::sin(t / 23.0 + plan.phase), 360.0);
    return {std::max(0.0, v), course < 0 ? course + 360.0 : course};
}

double distanceM(std::pair<double, double> a, std::pair<double, double> b) {
    const double dLat = (b.first - a.first) * kDegToRad;
    const double dLon = (b.second - a.second) * kDegToRad * std::cos((a.first + b.first) / 2 * kDegToRad);
    return kEarthRadius * std::hypot(dLat, dLon);
}

double bearingDeg(std::pair<double, double> a, std::pair<double, double> b) {
    const double dLat = b.first - a.first;
    const double dLon = (b.second - a.second) * std::cos((a.first + b.first) / 2 * kDegToRad);
    const double deg = std::atan2(dLon, dLat) / kDegToRad;
    return deg < 0 ? deg + 360.0 : deg;
}

// The point `metres` along the route (clamped to its ends).
std::pair<double, double> pointAlong(const std::vector<std::pair<double, double>>& route, double metres) {
    metres = std::max(0.0, metres);
    for (size_t i = 1; i < route.size(); ++i) {
        const double leg = distanceM(route[i - 1], route[i]);
        if (metres <= leg && leg > 0) {
            const double f = metres / leg;
            return {route[i - 1].first + f * (route[i].first - route[i - 1].first),
                    route[i - 1].second + f * (route[i].second - route[i - 1].second)};
        }
        metres -= leg;
    }
    return route.back();
}

// Heading at `metres` along the route, over 15 m either side so that corners are taken as curves.
double headingAlong(const std::vector<std::pair<double, double>>& route, double metres) {
    const double length = RouteLength(route);
    const double from = std::clamp(metres - 15.0, 0.0, std::max(0.0, length - 30.0));
    return bearingDeg(pointAlong(route, from), pointAlong(route, from + 30.0));
}

} // namespace

const std::vector<std::pair<double, double>>& DemoRoute() {
    static const std::vector<std::pair<double, double>> route{
        {37.55995, 126.97530},                        // Sungnyemun gate
        {37.56260, 126.97580},                        // Sejong-daero
        {37.56480, 126.97680}, {37.56620, 126.97720}, // Seoul City Hall
        {37.56890, 126.97700}, {37.57060, 126.97690}, // Sejongno crossing, turn east into Jongno
        {37.57020, 126.97900}, {37.57000, 126.98320}, // Jonggak
        {37.57020, 126.98780}, {37.57040, 126.99180}, // Jongno 3-ga
        {37.57090, 126.99850},                        // Jongno 4-ga
        {37.57090, 127.00190},                        // Jongno 5-ga
        {37.57110, 127.00950},                        // Dongdaemun gate
        {37.57300, 127.01600},                        // Wangsan-ro
        {37.57600, 127.02480},                        // Sinseol-dong
    };
    return route;
}

double RouteLength(const std::vector<std::pair<double, double>>& route) {
    double length = 0;
    for (size_t i = 1; i < route.size(); ++i)
        length += distanceM(route[i - 1], route[i]);
    return length;
}

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

    const bool onRoute = plan.route.size() >= 2;
    double lat = plan.startLat, lon = plan.startLon;
    double along = plan.routeStartM; // metres driven along the route
    if (onRoute)
        std::tie(lat, lon) = pointAlong(plan.route, along);
    const double routeEnd = onRoute ? RouteLength(plan.route) : 0.0;
    const std::time_t start = timegm(const_cast<std::tm*>(&plan.utcStart));
    Motion previous = motionAt(plan, 0);
    if (onRoute)
        previous.course = headingAlong(plan.route, along);
    for (uint32_t tick = 0; tick < plan.seconds * 10; ++tick) {
        const double t = tick / 10.0;
        Motion m = motionAt(plan, t);
        if (onRoute && !plan.parked) {
            // Slow down for corners ahead, and stop at the end of the route.
            const double turn = std::fabs(std::remainder(
                headingAlong(plan.route, along + 40.0) - headingAlong(plan.route, along), 360.0));
            double target = std::min(m.speedKmh, std::max(15.0, 70.0 - turn * 0.6));
            if (along >= routeEnd)
                target = 0;
            // At most 0.4 G of braking and 0.3 G of acceleration per 100 ms.
            m.speedKmh = std::clamp(target, std::max(0.0, previous.speedKmh - 1.4), previous.speedKmh + 1.0);
            along = std::min(routeEnd, along + m.speedKmh / 3.6 * 0.1);
            std::tie(lat, lon) = pointAlong(plan.route, along);
            m.course = m.speedKmh > 0 ? headingAlong(plan.route, along) : previous.course;
        } else if (onRoute) {
            m.course = previous.course;
        }
        const double v = m.speedKmh / 3.6;
        if (!onRoute) {
            // Advance the position by 100 ms along the course.
            lat += v * 0.1 * std::cos(m.course * kDegToRad) / kEarthRadius / kDegToRad;
            lon += v * 0.1 * std::sin(m.course * kDegToRad) / (kEarthRadius * std::cos(lat * kDegToRad)) /
                   kDegToRad;
        }

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
        double longitudinal = (m.speedKmh - previous.speedKmh) / 3.6 / 0.1 / kGravity;
        double turn = std::remainder(m.course - previous.course, 360.0) * kDegToRad / 0.1;
        double lateral = v * turn / kGravity;
        double z = 1.0 + 0.04 * std::sin(t * 17.0) + 0.02 * std::sin(t * 41.0);
        if (event != '0' && tick % 10 < 3) {
            longitudinal -= 1.4;
            lateral += 0.6;
        }
        add(tick * 100 + 50, MakeGsensorRecord(plan.gsensorForm, plan.sResolution, lateral, longitudinal, z));
        previous = m;
    }
    std::stable_sort(out.begin(), out.end(),
                     [](const auto& a, const auto& b) { return a.timeMs < b.timeMs; });
    return out;
}
