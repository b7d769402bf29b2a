#include "core/tools/GpxExport.h"

#include "core/common/CText.h"
#include "core/common/FileReplace.h"

#include <cmath>
#include <cstdio>
#include <ctime>

namespace {

std::string fixed(double value, int decimals) {
    return FormatFixed(value, decimals);
}

} // namespace

std::string XmlEscaped(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            if (static_cast<unsigned char>(c) >= 0x20 || c == '\t' || c == '\n')
                out += c;
        }
    }
    return out;
}

double NmeaToDegrees(double nmea) {
    double a = std::fabs(nmea);
    double degrees = std::floor(a / 100.0);
    double minutes = a - degrees * 100.0;
    double d = degrees + minutes / 60.0;
    return nmea < 0 ? -d : d;
}

std::optional<std::string> GpxTime(const CWBCGPSData& s) {
    if (s.year <= 0 && s.month <= 0 && s.day <= 0)
        return std::nullopt;
    if (s.month < 1 || s.month > 12 || s.day < 1 || s.day > 31)
        return std::nullopt;
    std::tm tm{};
    tm.tm_year = (s.year < 70 ? 2000 + s.year : 1900 + s.year) - 1900;
    tm.tm_mon = s.month - 1;
    tm.tm_mday = s.day;
    tm.tm_hour = s.hour - 9;
    tm.tm_min = s.minute;
    tm.tm_sec = s.second;
    std::time_t t = timegm(&tm);
    std::tm utc{};
    if (!gmtime_r(&t, &utc))
        return std::nullopt;
    char buffer[96];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02dT%02d:%02d:%02dZ", utc.tm_year + 1900, utc.tm_mon + 1,
                  utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec);
    return std::string(buffer);
}

std::string MakeGpx(const std::vector<CWBCGPSData>& samples, const std::string& name, int* points) {
    return MakeGpxSegments({GpxSegment{name, samples}}, name, points);
}

std::string MakeGpxSegments(const std::vector<GpxSegment>& segments, const std::string& name, int* points) {
    std::string out;
    out += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    out += "<gpx version=\"1.1\" creator=\"Quillent\" xmlns=\"http://www.topografix.com/GPX/1/1\"\n"
           "     xmlns:gpxtpx=\"http://www.garmin.com/xmlschemas/TrackPointExtension/v2\"\n"
           "     xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\"\n"
           "     xsi:schemaLocation=\"http://www.topografix.com/GPX/1/1 "
           "http://www.topografix.com/GPX/1/1/gpx.xsd\">\n";
    out += "  <trk>\n    <name>" + XmlEscaped(name) + "</name>\n";
    int count = 0;
    for (const GpxSegment& segment : segments) {
        out += "    <trkseg>\n";
        for (const auto& s : segment.samples) {
            if (!s.valid || (s.latitude == 0 && s.longitude == 0))
                continue;
            double lat = NmeaToDegrees(s.latitude);
            double lon = NmeaToDegrees(s.longitude);
            if (!std::isfinite(lat) || !std::isfinite(lon) || std::fabs(lat) > 90 || std::fabs(lon) > 180)
                continue;
            out += "      <trkpt lat=\"" + fixed(lat, 6) + "\" lon=\"" + fixed(lon, 6) + "\">\n";
            if (auto time = GpxTime(s))
                out += "        <time>" + *time + "</time>\n";
            double metresPerSecond = s.speed / 3.6; // the store keeps km/h
            out += "        <extensions><gpxtpx:TrackPointExtension>";
            if (std::isfinite(metresPerSecond))
                out += "<gpxtpx:speed>" + fixed(metresPerSecond, 2) + "</gpxtpx:speed>";
            if (std::isfinite(s.course) && s.course >= 0 && s.course <= 360)
                out += "<gpxtpx:course>" + fixed(s.course, 1) + "</gpxtpx:course>";
            out += "</gpxtpx:TrackPointExtension></extensions>\n";
            out += "      </trkpt>\n";
            ++count;
        }
        out += "    </trkseg>\n";
    }
    out += "  </trk>\n</gpx>\n";
    if (points)
        *points = count;
    return out;
}

GpxExportResult WriteGpx(const std::vector<CWBCGPSData>& samples, const std::string& name,
                         const std::filesystem::path& path) {
    GpxExportResult result;
    std::string text = MakeGpx(samples, name, &result.points);
    result.error = ReplaceFileContents(path, text);
    result.ok = result.error.empty();
    return result;
}

GpxExportResult WriteGpxSegments(const std::vector<GpxSegment>& segments, const std::string& name,
                                 const std::filesystem::path& path) {
    GpxExportResult result;
    std::string text = MakeGpxSegments(segments, name, &result.points);
    result.error = ReplaceFileContents(path, text);
    result.ok = result.error.empty();
    return result;
}
