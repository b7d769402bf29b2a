#include "core/tools/ReportMoment.h"

#include "core/tools/GpxExport.h"

#include <cmath>
#include <cstdio>
#include <ctime>

ReportMoment ReportMomentAt(const RecordingData& data, int64_t positionMs, int64_t trackRangeMs) {
    ReportMoment m;
    for (const CGpsData& s : data.gps) {
        if (!s.valid || (s.latitude == 0 && s.longitude == 0))
            continue;
        const double lat = NmeaToDegrees(s.latitude), lon = NmeaToDegrees(s.longitude);
        if (std::isfinite(lat) && std::isfinite(lon) && std::fabs(lat) <= 90 && std::fabs(lon) <= 180)
            m.track.emplace_back(lat, lon);
    }
    const int index = data.gpsTimeline(trackRangeMs).indexAt(positionMs);
    if (index < 0)
        return m;
    const CGpsData& s = data.gps[static_cast<size_t>(index)];
    m.hasPosition = true;
    m.latitude = NmeaToDegrees(s.latitude);
    m.longitude = NmeaToDegrees(s.longitude);
    m.speedKnots = s.speed;
    // The sample's hour runs on to 32 (UTC + 9 without the date carried); the report shows a real
    // calendar time: the hours past midnight move into the next day.
    std::tm t{};
    t.tm_year = s.year + 2000 - 1900;
    t.tm_mon = s.month - 1;
    t.tm_mday = s.day;
    t.tm_hour = s.hour;
    t.tm_min = s.minute;
    t.tm_sec = s.second;
    const std::time_t seconds = timegm(&t);
    std::tm n{};
    if (s.month >= 1 && s.month <= 12 && s.day >= 1 && s.day <= 31 && gmtime_r(&seconds, &n)) {
        char text[96];
        std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", n.tm_year + 1900, n.tm_mon + 1,
                      n.tm_mday, n.tm_hour, n.tm_min, n.tm_sec);
        m.timeText = text;
    }
    return m;
}

std::string FormatReportSpeed(float knots, int unit) {
    float speed = knots;
    const char* name = "Knot/h";
    if (unit == 1) {
        speed = knots * 1.852f;
        name = "Km/h";
    } else if (unit == 2) {
        speed = knots * 1.150779f;
        name = "Mile/h";
    }
    char text[64];
    std::snprintf(text, sizeof text, "%.2f [%s]", static_cast<double>(speed), name);
    return text;
}
